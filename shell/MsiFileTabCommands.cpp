// The commands the database and transform tabs share: Find, the views, adding, importing, exporting and
// dropping tables, and searching the tab's tables for the Find dialog.
#include "shell/MsiFileTabBase.h"

#include "foundation/Errors.h"
#include "foundation/FileDialogs.h"
#include "foundation/Prompt.h"
#include "model/installer/MsiApi.h"
#include "model/MsiFile.h"
#include "resources/ShellIds.h"
#include "shell/ImportTablesDlg.h"
#include "shell/MainWindow.h"
#include "shell/ReferenceDatabase.h"
#include "shell/SaveNames.h"
#include "shell/SelectionDlg.h"
#include "views/tree/MsiTableNode.h"
#include "foundation/NoRedraw.h"
#include "views/tree/TreeView.h"

#include <algorithm>

namespace {

// Database tables (system tables left out) in name order.
std::vector<MsiTableRef> UserTables(MsiFile& file)
{
    std::vector<MsiTableRef> tables;
    for (const auto& entry : file.tables())
        if (entry.second->user_table())
            tables.push_back(entry.second);
    std::sort(tables.begin(), tables.end(),
              [](const MsiTableRef& a, const MsiTableRef& b) { return a->name() < b->name(); });
    return tables;
}

} // namespace

const wchar_t MsiFileTabBase::kBeginTransformQuestion[] =
    L"You must save this file before beginning a transform.\n\nDo you wish to save this file now?";
const wchar_t MsiFileTabBase::kApplyTransformQuestion[] =
    L"You must save this file before applying a transform.\n\nDo you wish to save this file now?";

namespace {
// The Tables menu's commands that change the database: grey while it is read-only.
const UINT kWritingCommands[] = {ID_TABLES_ADD, ID_TABLES_IMPORT, ID_TABLES_DROP, ID_TABLES_CODE_PAGE};
const wchar_t kTransformFilter[] = L"Transforms (*.mst)\0*.mst\0";
std::wstring TransformFilter()
{
    return FilterText(kTransformFilter);
}
} // namespace

HMENU MsiFileTabBase::LoadTabMenuBar(int resource)
{
    HMENU bar = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource));
    if (bar && read_only_) {
        for (UINT id : kWritingCommands)
            EnableMenuItem(bar, id, MF_BYCOMMAND | MF_GRAYED);
    }
    return bar;
}

void MsiFileTabBase::UpdateWritingCommands()
{
    MainWindow* frame = GetMainWindow();
    HMENU bar = frame ? GetMenu(frame->GetWindowHandle()) : nullptr;
    MENUITEMINFOW merged = {};
    merged.cbSize = sizeof(merged);
    merged.fMask = MIIM_DATA;
    if (!bar || !GetMenuItemInfoW(bar, 1, TRUE, &merged) ||
        merged.dwItemData != reinterpret_cast<ULONG_PTR>(static_cast<MDIChild*>(this)))
        return;
    UINT state = MF_BYCOMMAND | (read_only_ ? MF_GRAYED : MF_ENABLED);
    for (UINT id : kWritingCommands)
        EnableMenuItem(bar, id, state);
}

std::wstring MsiFileTabBase::AskNewTransform(const std::wstring& folder)
{
    return BrowseForSaveFile(DialogOwner(), folder, TransformFilter(),
                             OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, L"New Transform",
                             L"mst");
}

std::wstring MsiFileTabBase::AskExistingTransform(const std::wstring& folder)
{
    return BrowseForFile(DialogOwner(), TransformFilter(), OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST,
                         L"Open Transform", folder);
}

bool MsiFileTabBase::OnSharedCommand(UINT id)
{
    switch (id) {
    case ID_EDIT_FIND:
        OnFind();
        return true;
    case ID_VIEW_TABLES:
        SelectView(MainTabCtrl::TABLES);
        return true;
    case ID_VIEW_DIALOGS:
        SelectView(MainTabCtrl::DIALOGS);
        return true;
    case ID_VIEW_COMPONENTS:
        SelectView(MainTabCtrl::COMPONENTS);
        return true;
    case ID_VIEW_FEATURES:
        SelectView(MainTabCtrl::FEATURES);
        return true;
    case ID_TABLES_ADD:
        if (!read_only_)
            OnAddTables();
        return true;
    case ID_TABLES_IMPORT:
        if (!read_only_)
            OnImportTables();
        return true;
    case ID_TABLES_EXPORT:
        OnExportTables();
        return true;
    case ID_TABLES_DROP:
        if (!read_only_)
            OnDropTables();
        return true;
    }
    return false;
}

bool MsiFileTabBase::SaveBeforeTransform(const std::wstring& question)
{
    if (!IsDirty())
        return true;
    if (ShowMessageBox(DialogOwner(), question, L"Cannot transform edited file",
                       MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return false;
    Save();
    return true;
}

bool MsiFileTabBase::IsSingleTransform(const std::vector<std::wstring>& paths)
{
    return paths.size() == 1 && HasExtension(paths[0], L".mst");
}

void MsiFileTabBase::OnFind()
{
    if (MainWindow* frame = GetMainWindow())
        frame->GetFindDialog().Show();
}

std::vector<MsiTableNode*> MsiFileTabBase::TableNodes()
{
    std::vector<MsiTableNode*> nodes;
    for (const auto& child : GetTablesTree()->Root()->GetChildren())
        if (auto* node = dynamic_cast<MsiTableNode*>(child.node.get()))
            nodes.push_back(node);
    return nodes;
}

void MsiFileTabBase::ReloadSchemaNodes()
{
    for (const wchar_t* schema : {L"_Tables", L"_Columns"})
        if (MsiTableNode* node = FindTableNode(schema))
            node->Reload();
}

void MsiFileTabBase::OnAddTables()
{
    std::vector<QualifiedComponent> entries = RegisteredReferenceDatabases();
    int chosen = ChooseReferenceDatabase(entries);
    if (chosen < 0) {
        ShowMessageBox(DialogOwner(), L"Could not find a reference database", L"No tables to add", MB_OK);
        return;
    }
    MsiFile reference;
    reference.Open(entries[static_cast<size_t>(chosen)].path, MSIDBOPEN_READONLY);
    MsiFile& own = GetMsiFile();
    std::vector<MsiTableRef> missing;
    for (const MsiTableRef& table : UserTables(reference))
        if (!own.FindTable(table->name()))
            missing.push_back(table);
    if (missing.empty()) {
        ShowMessageBox(DialogOwner(), L"This database contains all the tables from the reference database",
                       LoadAppName(), MB_OK);
        return;
    }
    SelectionDlg dialog;
    dialog.prompt = L"Please select the tables to be added";
    dialog.title = L"Select tables to add";
    for (size_t i = 0; i < missing.size(); ++i)
        dialog.items[static_cast<int>(i)] = missing[i]->name();
    if (dialog.DoModal(DialogOwner()) != IDOK)
        return;
    for (const auto& item : dialog.Chosen())
        CreateTableLookup(*missing[static_cast<size_t>(item.first)], true);
    ReloadSchemaNodes();
    UpdateStatusBar();
    InvalidateRect(GetWindowHandle(), nullptr, TRUE);
}

void MsiFileTabBase::OnImportTables()
{
    ImportTablesDlg dialog(*this);
    // Tables that went in before a failed one are in also when the dialog is then cancelled.
    if (dialog.DoModal(DialogOwner()) == 0 || dialog.ImportedAny()) {
        ReloadSchemaNodes();
        UpdateStatusBar();
    }
}

void MsiFileTabBase::OnExportTables()
{
    std::vector<std::wstring> names;
    for (MsiTableNode* node : TableNodes()) {
        MsiTable* table = node->GetLookup()->GetTable();
        if (table && table->user_table())
            names.push_back(table->name());
    }
    if (names.empty())
        return;
    SelectionDlg dialog;
    dialog.prompt = L"Please select the tables to be exported";
    dialog.title = L"Export Tables";
    for (size_t i = 0; i < names.size(); ++i)
        dialog.items[static_cast<int>(i)] = names[i];
    if (dialog.DoModal(DialogOwner()) != IDOK)
        return;
    std::wstring folder = BrowseForFolder(DialogOwner(), L"Choose export folder");
    if (folder.empty())
        return;
    for (const auto& item : dialog.Chosen())
        ExportTable(names[static_cast<size_t>(item.first)], folder);
}

void MsiFileTabBase::ExportTable(const std::wstring& table_name, const std::wstring& chosen_folder)
{
    std::wstring folder = chosen_folder;
    std::wstring file = table_name + L".idt";
    if (folder.empty()) {
        static const wchar_t kFilter[] = L"Table files (*.idt)\0*.idt\0";
        std::wstring path = BrowseForSaveFile(DialogOwner(), std::wstring(), FilterText(kFilter),
                                              OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, L"Export File", L"idt");
        if (path.empty())
            return;
        size_t slash = path.rfind(L'\\');
        folder = slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
        file = slash == std::wstring::npos ? path : path.substr(slash + 1);
    }
    std::wstring target = folder + L"\\" + file;
    bool existed = GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    try {
        msi::DatabaseExport(GetMsiFile().handle(), table_name, folder, file);
    } catch (...) {
        // The library leaves an empty file behind when the table cannot be written.
        if (!existed)
            DeleteFileW(target.c_str());
        throw;
    }
}

void MsiFileTabBase::OnDropTables()
{
    std::vector<MsiTableRef> tables = UserTables(GetMsiFile());
    SelectionDlg dialog;
    dialog.prompt = L"Please select the tables to be drop";
    dialog.title = L"Select tables to drop";
    for (size_t i = 0; i < tables.size(); ++i) {
        size_t rows = tables[i]->rows().size();
        dialog.items[static_cast<int>(i)] =
            tables[i]->name() +
            (rows ? L" (" + std::to_wstring(rows) + L" rows)" : std::wstring(L" (empty)"));
    }
    if (dialog.DoModal(DialogOwner()) != IDOK)
        return;
    // By the name kept for each item: the label carries the row count.
    std::vector<std::wstring> names;
    for (const auto& item : dialog.Chosen())
        names.push_back(tables[static_cast<size_t>(item.first)]->name());
    tables.clear();
    {
        NoRedraw quiet(GetTablesTree()->GetWindow());
        for (const std::wstring& name : names)
            DropTableNamed(name);
    }
    UpdateStatusBar();
}

void MsiFileTabBase::DropTableNamed(const std::wstring& name)
{
    if (MsiTableNode* node = FindTableNode(name)) {
        DropTable(node);
        return;
    }
    MsiFile& file = GetMsiFile();
    MsiTableRef table = file.FindTable(name);
    if (!table)
        return;
    file.DropTable(*table);
    ReloadSchemaNodes();
    SetDirty(true);
}

bool MsiFileTabBase::ShowFound(const FindCriteria& location)
{
    if (!SelectTable(location))
        return false;
    SetFocus(GetTreeContext()->GetWindowHandle());
    return true;
}

void MsiFileTabBase::GetFindNames(std::set<std::wstring>& tables, std::set<std::wstring>& columns)
{
    for (MsiTableNode* node : TableNodes()) {
        MsiTableLookupBase& lookup = *node->GetLookup();
        tables.insert(lookup.GetTableName());
        for (int column = 0; column < lookup.ColumnCount(); ++column)
            if (MsiFieldDefRef def = lookup.GetFieldDef(column))
                columns.insert(def->name());
    }
}

FindCriteria MsiFileTabBase::FindNext(const FindCriteria& position, const FindPattern& pattern, bool up,
                                      bool before_position)
{
    std::vector<MsiTableNode*> nodes = TableNodes();
    if (nodes.empty())
        return FindCriteria();
    if (up)
        std::reverse(nodes.begin(), nodes.end());
    // The node of the position's table; a table that lost its node (dropped) starts from the first.
    size_t start = 0;
    bool placed = false;
    if (!position.empty()) {
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (nodes[i]->GetLookup()->GetTableName() == position.table_name) {
                start = i;
                placed = true;
                break;
            }
        }
    }
    if (before_position) {
        // From the document's start up to and including the position.
        size_t end = placed ? start : nodes.size() - 1;
        for (size_t i = 0; i <= end; ++i) {
            FindCriteria match = nodes[i]->Find(pattern, FindCriteria(), up, false);
            if (match.empty())
                continue;
            if (!placed || i < end)
                return match;
            // In the position's own table: only a match that does not lie past the position.
            MsiTableLookupBase& lookup = *nodes[i]->GetLookup();
            int sort = nodes[i]->GetListSortColumn();
            int found_row = lookup.FindRow(match.key_values, sort);
            int start_row = lookup.FindRow(position.key_values, sort);
            int found_column = lookup.FindColumn(match.column_name);
            int start_column = lookup.FindColumn(position.column_name);
            bool before =
                up ? (found_row > start_row || (found_row == start_row && found_column >= start_column))
                   : (found_row < start_row || (found_row == start_row && found_column <= start_column));
            return before ? match : FindCriteria();
        }
        return FindCriteria();
    }
    for (size_t i = start; i < nodes.size(); ++i) {
        bool from_position = placed && i == start;
        FindCriteria match =
            nodes[i]->Find(pattern, from_position ? position : FindCriteria(), up, from_position);
        if (!match.empty())
            return match;
    }
    return FindCriteria();
}

#include "shell/MsiFileTab.h"

#include "foundation/NoRedraw.h"
#include "model/PreparedOpen.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "model/lookups/MsiStreamsTableLookupTemplate.h"
#include "model/lookups/MsiTableLookup.h"
#include "resources/ShellIds.h"
#include "shell/CodePageDlg.h"
#include "shell/SaveNames.h"
#include "shell/SummaryInfoDlg.h"
#include "shell/MDITabsParent.h"
#include "shell/MainWindow.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <vector>

MsiFileTab::MsiFileTab(MDITabsParent* owner, StatusBarManager* status, std::wstring path, bool read_only)
    : MsiFileTabBase(L"MsiFileTab", owner, status, read_only), path_(std::move(path))
{
}

MsiFileTab::~MsiFileTab()
{
    ClearTrees();
    lookups_.clear();
}

std::shared_ptr<MDIChild> MsiFileTab::Make(MainWindow& frame, const std::wstring& path)
{
    return std::make_shared<MsiFileTab>(&frame.GetTabs(), &frame, path);
}

std::shared_ptr<void> MsiFileTab::PrepareOpen(const std::wstring& path)
{
    // A tab opens its file transacted unless the file refuses.
    return PreparedOpen::Start(path);
}

void MsiFileTab::PaintWhilePreparing()
{
    // Only paints: anything else could act on this tab before it has a file.
    while (!WaitForPreparedOpens(10)) {
        MSG message;
        for (int i = 0; i < 64 && PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
            DispatchMessageW(&message);
    }
}

void MsiFileTab::Create(HWND parent, int x, int y, int width, int height)
{
    MsiFileTabBase::Create(parent, x, y, width, height);
    GetTreeContext()->AddToolTip();
    PaintWhilePreparing();
    read_only_ = file_.Open(path_, read_only_ ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
    UpdateTabText();
    AddTableViews(file_, false);
    ShowFirstTable();
}

void MsiFileTab::OnCommand(HMENU, UINT id)
{
    if (OnSharedCommand(id))
        return;
    switch (id) {
    case ID_TABLES_SUMMARY_INFO:
        OnSummaryInfo();
        break;
    case ID_TABLES_CODE_PAGE:
        OnCodePage();
        break;
    case ID_TABLES_VALIDATE:
        OnValidate();
        break;
    case ID_TRANSFORM_NEW:
        OnNewTransform();
        break;
    case ID_TRANSFORM_APPLY:
        OnApplyTransform();
        break;
    }
}

HMENU MsiFileTab::LoadMenuBar()
{
    return LoadTabMenuBar(IDR_DATABASE_MENU);
}

void MsiFileTab::OnSummaryInfo()
{
    if (ShowSummaryInfoDialog(file_.summary_info(), read_only_, GetWindowHandle()))
        SetDirty(true);
}

void MsiFileTab::OnCodePage()
{
    CodePageDlg dialog;
    if (dialog.DoModal(static_cast<int>(file_.GetCodepage()), read_only_, GetWindowHandle())) {
        file_.SetCodepage(static_cast<UINT>(dialog.CodePage()));
        SetDirty(true);
    }
}

void MsiFileTab::OnNewTransform()
{
    if (!SaveBeforeTransform(kBeginTransformQuestion))
        return;
    std::wstring chosen = AskNewTransform(FolderOfPath(path_));
    if (chosen.empty())
        return;
    OpenTransform(chosen, true);
}

void MsiFileTab::OnApplyTransform()
{
    if (!SaveBeforeTransform(kApplyTransformQuestion))
        return;
    std::wstring chosen = AskExistingTransform(FolderOfPath(path_));
    if (chosen.empty())
        return;
    OpenTransform(chosen, false);
}

bool MsiFileTab::OpenDroppedFile(const std::vector<std::wstring>& paths)
{
    if (!IsSingleTransform(paths) || !SaveBeforeTransform(kApplyTransformQuestion))
        return false;
    OpenTransform(paths[0], false);
    return true;
}

void MsiFileTab::OpenTransform(const std::wstring& transform, bool new_transform)
{
    MainWindow* frame = GetMainWindow();
    if (!frame)
        return;
    MainWindow::TransformRequest request;
    request.base = path_;
    request.transform = transform;
    request.new_transform = new_transform;
    // This tab closes inside: nothing of it is touched after.
    frame->OpenTransformTab(request);
}

MsiFileTab::DroppedTableWatch::~DroppedTableWatch()
{
    tab_.file_.table_events().Unsubscribe(this);
}

void MsiFileTab::DroppedTableWatch::Watch(MsiTable& table)
{
    if (table.owner() == &tab_.file_)
        tab_.file_.table_events().Subscribe(&table, this);
}

bool MsiFileTab::DroppedTableWatch::notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, Engine&)
{
    if (std::get<0>(arg) != MsiFile::TableDropped)
        return false;
    // Unsubscribed first: the lookup that goes may take the walk's subscriptions with it.
    tab_.file_.table_events().Unsubscribe(table, this);
    auto kept = tab_.lookups_.find(table->name());
    if (kept != tab_.lookups_.end() && kept->second->GetTable() == table)
        tab_.lookups_.erase(kept);
    return true;
}

std::shared_ptr<MsiTableLookupBase> MsiFileTab::MakeLookup(MsiTable& table)
{
    dropped_tables_.Watch(table);
    // Exact names: "directory" is a plain table.
    if (table.name() == L"Directory")
        return std::make_shared<MsiDirectoryTableLookup>(table);
    if (table.name() == L"_Streams")
        return std::make_shared<MsiStreamsTableLookupTemplate<MsiTableLookup>>(table);
    return std::make_shared<MsiTableLookup>(table);
}

void MsiFileTab::AddTableViews(MsiFile& database, bool only_database_tables)
{
    bool foreign = &database != &file_ && database.path() != file_.path();
    // A copy of the map: adding tables to this database while walking the other's is safe.
    std::vector<MsiTableRef> tables;
    for (const auto& entry : database.tables())
        tables.push_back(entry.second);
    // One repaint for the whole tree: each item added to a tree that draws costs a layout of it.
    NoRedraw quiet(GetTablesTree()->GetWindow());
    for (const MsiTableRef& table : tables) {
        if (only_database_tables && !table->user_table())
            continue;
        MsiTable* shown = table.get();
        if (foreign) {
            table->ExtractBinaries();
            shown = file_.AddTableWithRows(*table).get();
            SetDirty(true);
        }
        if (shown && !shown->rows().empty())
            CreateTableLookup(*shown, false);
    }
}

void MsiFileTab::CreateTableLookup(MsiTable& table, bool add)
{
    MsiTable* shown = &table;
    if (add) {
        table.ExtractBinaries();
        shown = file_.AddTableWithRows(table).get();
        lookups_.erase(shown->name());
        SetDirty(true);
    }
    std::shared_ptr<MsiTableLookupBase>& lookup = lookups_[shown->name()];
    if (!lookup || lookup->GetTable() != shown)
        lookup = MakeLookup(*shown);
    GetTablesTree()->Root()->AddChild(new MsiTableNode(this, lookup));
}

MsiTableNode* MsiFileTab::FindTableNode(const std::wstring& name)
{
    return dynamic_cast<MsiTableNode*>(GetTablesTree()->Root()->FindChild(ContainerNode::CutLabel(name)));
}

bool MsiFileTab::SelectTable(const FindCriteria& location)
{
    MsiTableNode* node = FindTableNode(location.table_name);
    if (!node)
        return false;
    SelectView(MainTabCtrl::TABLES);
    TreeView* tree = GetTablesTree();
    SendMessageW(tree->GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->GetItem()));
    return node->SelectRow(location);
}

void MsiFileTab::DropTable(MsiTableNode* node)
{
    if (!node || read_only_)
        return;
    std::wstring name = node->GetLookup()->GetTableName();
    // Held until its node and lookup are gone, which still refer to it.
    MsiTableRef table = file_.FindTable(name);
    if (!table || !table->user_table())
        return;
    file_.DropTable(*table);
    for (const wchar_t* schema : {L"_Tables", L"_Columns"})
        if (MsiTableNode* listing = FindTableNode(schema))
            listing->Reload();
    GetTablesTree()->Root()->RemoveChild(node);
    lookups_.erase(name);
    SetDirty(true);
    UpdateStatusBar();
}

std::shared_ptr<MsiTableLookupBase> MsiFileTab::GetTableLookup(const std::wstring& name)
{
    if (MsiTableNode* node = FindTableNode(name))
        return node->GetLookup();
    auto kept = lookups_.find(name);
    MsiTableRef table = file_.FindTable(name);
    if (!table)
        return std::shared_ptr<MsiTableLookupBase>();
    if (kept != lookups_.end() && kept->second->GetTable() == table.get())
        return kept->second;
    return lookups_[name] = MakeLookup(*table);
}

void MsiFileTab::OnShowEmptyTables()
{
    bool show = SendMessageW(GetCheckBox(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    TreeView* tree = GetTablesTree();
    {
        NoRedraw quiet(tree->GetWindow());
        if (!show) {
            std::vector<ContainerNode*> empty;
            for (const auto& child : tree->Root()->GetChildren()) {
                auto* node = dynamic_cast<MsiTableNode*>(child.node.get());
                if (node && node->GetLookup()->RowCount() == 0)
                    empty.push_back(node);
            }
            // The lookups stay kept: a node shown again later uses the same one.
            for (ContainerNode* node : empty)
                tree->Root()->RemoveChild(node);
        } else {
            std::vector<MsiTableRef> missing;
            for (const auto& entry : file_.tables())
                if (!tree->Root()->FindChild(ContainerNode::CutLabel(entry.first)))
                    missing.push_back(entry.second);
            for (const MsiTableRef& table : missing)
                CreateTableLookup(*table, false);
        }
    }
    UpdateStatusBar();
}

void MsiFileTab::OnValidate()
{
    RunValidation(L"MsiFileTab failed to validate");
}

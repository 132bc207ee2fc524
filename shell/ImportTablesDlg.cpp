#include "shell/ImportTablesDlg.h"

#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/Prompt.h"
#include "foundation/TempFiles.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TableFileCheck.h"
#include "model/MsiFile.h"
#include "resources/ShellDialogsIds.h"
#include "views/tree/TableViewsTab.h"

#include <commctrl.h>
#include <commdlg.h>

namespace {

const int kActionButtons[] = {IDC_IMPORT_SKIP, IDC_IMPORT_IMPORT, IDC_IMPORT_MERGE, IDC_IMPORT_REPLACE};

const wchar_t* ActionText(int action)
{
    switch (action) {
    case TableImportInfo::Skip:
        return L"Skip";
    case TableImportInfo::Replace:
        return L"Replace";
    case TableImportInfo::Import:
        return L"Import";
    default:
        return L"Error";
    }
}

int ButtonOfAction(int action)
{
    switch (action) {
    case TableImportInfo::Skip:
        return IDC_IMPORT_SKIP;
    case TableImportInfo::Replace:
        return IDC_IMPORT_REPLACE;
    case TableImportInfo::Import:
        return IDC_IMPORT_IMPORT;
    default:
        return 0;
    }
}

} // namespace

TableImportInfo::TableImportInfo(std::wstring path) : path(std::move(path)) {}

TableImportInfo::~TableImportInfo()
{
    if (database_path.empty())
        return;
    GlobalTempFiles().Release(database_path);
    DeleteFileW(database_path.c_str());
}

void TableImportInfo::Load()
{
    action = Error;
    try {
        database_path = GlobalTempFiles().Create(std::wstring());
        MsiHandle database = msi::OpenDatabase(database_path, MSIDBOPEN_CREATEDIRECT);
        std::wstring folder, file;
        SplitPathAtLastBackslash(path, folder, file);
        msi::DatabaseImport(database.get(), folder.empty() ? L"." : folder, file);
        msi::DatabaseCommit(database.get());
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT `Name` FROM `_Tables`");
        msi::ViewExecute(view.get(), 0);
        std::wstring name;
        while (MsiHandle record = msi::ViewFetch(view.get()))
            name = msi::RecordGetString(record.get(), 1);
        table = name;
        // A file that defines no table (the code page's "_ForceCodepage") has nothing to import.
        if (!table.empty())
            action = Replace;
    } catch (const msi::TableFileError& failure) {
        error = failure.description();
    } catch (const tfc::Win32Error& failure) {
        error = path + L"\r\n" + failure.description();
    } catch (...) {
        error = path;
    }
}

ImportTablesDlg::ImportTablesDlg(TableViewsTab& document)
    : FormDialog(L"ImportTablesDlg"), document_(document)
{
}

INT_PTR ImportTablesDlg::DoModal(HWND owner)
{
    return run_modal(IDD_IMPORT_TABLES, owner);
}

bool ImportTablesDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_IMPORT_BROWSE:
        if (Browse())
            RebuildList();
        return true;
    case IDC_IMPORT_SKIP:
        SetAction(TableImportInfo::Skip);
        return true;
    case IDC_IMPORT_IMPORT:
        SetAction(TableImportInfo::Import);
        return true;
    case IDC_IMPORT_REPLACE:
        SetAction(TableImportInfo::Replace);
        return true;
    }
    return false;
}

void ImportTablesDlg::OnCancel()
{
    EndDialog(dialog_, 1);
}

BOOL ImportTablesDlg::OnInitDialog()
{
    HWND list = GetDlgItem(dialog_, IDC_IMPORT_LIST);
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = 200;
    column.pszText = const_cast<wchar_t*>(L"Table");
    ListView_InsertColumn(list, 0, &column);
    column.pszText = const_cast<wchar_t*>(L"Action");
    ListView_InsertColumn(list, 1, &column);
    ListView_SetColumnWidth(list, 1, LVSCW_AUTOSIZE_USEHEADER);
    for (int id : kActionButtons)
        EnableWindow(GetDlgItem(dialog_, id), FALSE);
    if (!Browse()) {
        EndDialog(dialog_, 1);
        return TRUE;
    }
    RebuildList();
    return TRUE;
}

bool ImportTablesDlg::Browse()
{
    static const wchar_t kFilter[] = L"*.idt\0*.idt\0All Files\0*.*\0";
    std::vector<std::wstring> paths;
    if (!ShowOpenFilesDialog(dialog_, FilterText(kFilter),
                             OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                             L"Import File", nullptr, std::wstring(), paths) ||
        paths.empty())
        return false;
    std::wstring refused;
    for (const std::wstring& path : paths) {
        auto file = std::make_shared<TableImportInfo>(path);
        file->Load();
        if (!file->error.empty())
            refused += L"\r\n\r\n" + file->error;
        files_.push_back(file);
    }
    // The list only says "Error"; the user is told why.
    if (!refused.empty())
        ShowMessageBox(dialog_, L"These files cannot be imported:" + refused, L"Import Tables",
                       MB_OK | MB_ICONEXCLAMATION);
    return true;
}

bool ImportTablesDlg::HasTable(const std::wstring& name)
{
    return static_cast<bool>(document_.GetMsiFile().FindTable(name));
}

void ImportTablesDlg::RebuildList()
{
    HWND list = GetDlgItem(dialog_, IDC_IMPORT_LIST);
    ListView_DeleteAllItems(list);
    int index = 0;
    for (const auto& file : files_) {
        if (file->action != TableImportInfo::Error && file->action != TableImportInfo::Skip)
            file->action = HasTable(file->table) ? TableImportInfo::Replace : TableImportInfo::Import;
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.pszText = const_cast<wchar_t*>(file->table.c_str());
        ListView_InsertItem(list, &item);
        ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(ActionText(file->action)));
        ++index;
    }
}

LRESULT ImportTablesDlg::OnNotify(NMHDR* header)
{
    if (header->idFrom != IDC_IMPORT_LIST || header->code != LVN_ITEMCHANGED)
        return 0;
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
        !(change->uOldState & LVIS_SELECTED))
        OnRowSelected(change->iItem);
    return 0;
}

void ImportTablesDlg::OnRowSelected(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= files_.size())
        return;
    const TableImportInfo& file = *files_[row];
    if (file.action == TableImportInfo::Error) {
        for (int id : kActionButtons)
            EnableWindow(GetDlgItem(dialog_, id), FALSE);
        return;
    }
    SendDlgItemMessageW(dialog_, ButtonOfAction(file.action), BM_CLICK, 0, 0);
    bool has_table = HasTable(file.table);
    EnableWindow(GetDlgItem(dialog_, IDC_IMPORT_SKIP), TRUE);
    EnableWindow(GetDlgItem(dialog_, IDC_IMPORT_MERGE), FALSE);
    EnableWindow(GetDlgItem(dialog_, IDC_IMPORT_REPLACE), has_table);
    EnableWindow(GetDlgItem(dialog_, IDC_IMPORT_IMPORT), !has_table);
}

void ImportTablesDlg::SetAction(int action)
{
    HWND list = GetDlgItem(dialog_, IDC_IMPORT_LIST);
    int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= files_.size() || files_[row]->action == TableImportInfo::Error)
        return;
    files_[row]->action = action;
    ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(ActionText(action)));
}

void ImportTablesDlg::OnOk()
{
    HWND list = GetDlgItem(dialog_, IDC_IMPORT_LIST);
    // A file leaves the list once its table is in: when a later one fails, the dialog stays open offering
    // only what is left, so a second OK does not import anything twice.
    for (size_t at = 0; at < files_.size();) {
        int action = files_[at]->action;
        if (action != TableImportInfo::Replace && action != TableImportInfo::Import) {
            ++at;
            continue;
        }
        ImportOne(*files_[at]);
        imported_any_ = true;
        files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(at));
        ListView_DeleteItem(list, static_cast<int>(at));
    }
    EndDialog(dialog_, 0);
}

void ImportTablesDlg::ImportOne(TableImportInfo& file)
{
    // The new table is opened and its streams extracted before the old one goes, so a file that fails
    // here leaves the database's table as it was.
    MsiFile imported;
    imported.Open(file.database_path, MSIDBOPEN_READONLY);
    for (auto& entry : imported.tables()) {
        if (entry.second->user_table())
            entry.second->ExtractBinaries();
    }
    if (file.action == TableImportInfo::Replace) {
        if (MsiTableNode* node = document_.FindEditableTableNode(file.table))
            document_.DropTable(node);
        else if (MsiTableRef table = document_.GetMsiFile().FindTable(file.table))
            document_.GetMsiFile().DropTable(*table);
    }
    document_.AddTableViews(imported, true);
}

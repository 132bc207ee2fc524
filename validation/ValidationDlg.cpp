#include "validation/ValidationDlg.h"

#include "foundation/CheckList.h"
#include "foundation/FileDialogs.h"
#include "foundation/Prompt.h"
#include "foundation/RegKey.h"
#include "foundation/WindowText.h"
#include "resources/ValidationIds.h"

#include <commctrl.h>

ValidationDlg::ValidationDlg(const std::wstring& profile_name)
    : FormDialog(L"ValidationDlg"), original_name_(profile_name), profile_(profile_name)
{
}

INT_PTR ValidationDlg::DoModal(HWND owner)
{
    return run_modal(IDD_VALIDATION_PROFILE, owner);
}

bool ValidationDlg::OnCommand(int id)
{
    if (id != IDC_PROFILE_BROWSE)
        return false;
    OnBrowse();
    return true;
}

HWND ValidationDlg::Cubs() const
{
    return GetDlgItem(dialog_, IDC_PROFILE_CUBS);
}

HWND ValidationDlg::Ices() const
{
    return GetDlgItem(dialog_, IDC_PROFILE_ICES);
}

BOOL ValidationDlg::OnInitDialog()
{
    SetDlgItemTextW(dialog_, IDC_PROFILE_NAME, profile_.name().c_str());
    HWND list = Cubs();
    UseCheckBoxes(list);
    RECT client = {};
    GetClientRect(list, &client);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = client.right - GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(list, 0, &column);
    for (const ValidationCub& cub : profile_.cubs())
        InsertCubRow(cub);
    if (!profile_.cubs().empty())
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    return TRUE;
}

void ValidationDlg::InsertCubRow(const ValidationCub& cub)
{
    HWND list = Cubs();
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(cub.name.c_str());
    int row = ListView_InsertItem(list, &item);
    ListView_SetCheckState(list, row, cub.enabled);
}

LRESULT ValidationDlg::OnNotify(NMHDR* header)
{
    if (header->idFrom != IDC_PROFILE_CUBS)
        return 0;
    if (header->code == LVN_ITEMCHANGED) {
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED)) {
            StoreShownCub();
            ShowCub(change->iItem);
        }
    } else if (header->code == NM_CLICK) {
        // A click on the check box alone would not select the row.
        auto* click = reinterpret_cast<NMITEMACTIVATE*>(header);
        if (click->iItem >= 0)
            ListView_SetItemState(Cubs(), click->iItem, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
    }
    return 0;
}

void ValidationDlg::StoreShownCub()
{
    if (shown_ < 0 || static_cast<size_t>(shown_) >= profile_.cubs().size())
        return;
    ValidationCub& cub = profile_.cubs()[shown_];
    HWND ices = Ices();
    cub.selected_ices.clear();
    int count = static_cast<int>(SendMessageW(ices, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessageW(ices, LB_GETSEL, i, 0) > 0)
            cub.selected_ices.push_back(static_cast<uint32_t>(i));
    cub.ShowInfo = IsDlgButtonChecked(dialog_, IDC_PROFILE_SHOW_INFO) == BST_CHECKED;
}

void ValidationDlg::ShowCub(int row)
{
    if (row < 0 || static_cast<size_t>(row) >= profile_.cubs().size())
        return;
    shown_ = row;
    const ValidationCub& cub = profile_.cubs()[row];
    HWND ices = Ices();
    SendMessageW(ices, WM_SETREDRAW, FALSE, 0);
    SendMessageW(ices, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& name : cub.ice_names)
        SendMessageW(ices, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    for (uint32_t position : cub.selected_ices)
        SendMessageW(ices, LB_SETSEL, TRUE, static_cast<LPARAM>(position));
    SendMessageW(ices, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(ices, nullptr, TRUE);
    CheckDlgButton(dialog_, IDC_PROFILE_SHOW_INFO, cub.ShowInfo ? BST_CHECKED : BST_UNCHECKED);
}

void ValidationDlg::AddCub(const std::wstring& path)
{
    profile_.cubs().emplace_back(path);
    if (dialog_)
        InsertCubRow(profile_.cubs().back());
}

void ValidationDlg::OnBrowse()
{
    static const wchar_t kFilter[] = L"Cub files (*.cub)\0*.cub\0All files\0*.*\0";
    std::wstring path =
        BrowseForFile(dialog_, FilterText(kFilter), OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY,
                      L"Select cub file", std::wstring());
    if (!path.empty())
        AddCub(path);
}

std::wstring ValidationDlg::RefusalOf(const std::wstring& name) const
{
    if (name.empty())
        return L"You must specify a name";
    if (!ValidationProfile::IsValidName(name))
        return L"A profile name cannot contain \"\\\"";
    // Keys ignore letter case: only another profile's key counts.
    if (lstrcmpiW(name.c_str(), original_name_.c_str()) != 0) {
        tfc::RegKey existing;
        if (existing.open(HKEY_CURRENT_USER, ValidationProfile::KeyPath(name), KEY_READ))
            return L"There is already a profile named " + name;
    }
    return std::wstring();
}

void ValidationDlg::OnOk()
{
    std::wstring name = GetWindowTextString(GetDlgItem(dialog_, IDC_PROFILE_NAME));
    std::wstring refusal = RefusalOf(name);
    if (!refusal.empty()) {
        ShowMessageBox(dialog_, refusal, L"Invalid Name", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    StoreShownCub();
    HWND list = Cubs();
    for (size_t i = 0; i < profile_.cubs().size(); ++i)
        profile_.cubs()[i].enabled = ListView_GetCheckState(list, static_cast<int>(i)) != FALSE;
    profile_.set_name(name);
    profile_.Save();
    // The old key goes once the new one is complete. A profile opened without a name has no key of its
    // own (deleting "its" key would delete them all); one renamed in letter case only is the same key.
    if (ValidationProfile::IsValidName(original_name_) &&
        lstrcmpiW(name.c_str(), original_name_.c_str()) != 0)
        tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::KeyPath(original_name_));
    EndDialog(dialog_, IDOK);
}

#include "validation/ValidationFilesDlg.h"

#include "foundation/CheckList.h"
#include "foundation/FileUtil.h"
#include "foundation/Prompt.h"
#include "foundation/RegKey.h"
#include "foundation/WindowText.h"
#include "resources/ValidationIds.h"
#include "frame/DocumentTab.h"
#include "validation/ValidationDlg.h"

#include <commctrl.h>
#include <algorithm>

namespace {

const wchar_t kNewProfile[] = L"New Validation Profile";
const wchar_t kLastUsed[] = L"LastUsedProfile";

} // namespace

ValidationFilesDlg::ValidationFilesDlg(std::vector<EditableMsiFileTab*> documents,
                                       std::vector<EditableMsiFileTab*> ticked)
    : FormDialog(L"ValidationFilesDlg"), documents_(std::move(documents)), ticked_(std::move(ticked))
{
}

bool ValidationFilesDlg::DoModal(HWND owner)
{
    chosen_.clear();
    profile_.reset();
    return run_modal(IDD_VALIDATION_FILES, owner) == IDOK && profile_;
}

bool ValidationFilesDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_FILES_SELECT_ALL:
        CheckAll(List());
        return true;
    case IDC_FILES_INVERT:
        InvertChecks(List());
        return true;
    case IDC_FILES_NEW:
        OnNew();
        return true;
    case IDC_FILES_EDIT:
        OnEdit();
        return true;
    case IDC_FILES_DELETE:
        OnDelete();
        return true;
    }
    return false;
}

HWND ValidationFilesDlg::List() const
{
    return GetDlgItem(dialog_, IDC_FILES_LIST);
}

HWND ValidationFilesDlg::Combo() const
{
    return GetDlgItem(dialog_, IDC_FILES_PROFILE);
}

BOOL ValidationFilesDlg::OnInitDialog()
{
    HWND list = List();
    UseCheckBoxes(list);
    const wchar_t* titles[] = {L"Name", L"Path"};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.cx = i == 0 ? 120 : 280;
        ListView_InsertColumn(list, i, &column);
    }
    for (size_t i = 0; i < documents_.size(); ++i) {
        std::wstring path = documents_[i]->GetPath();
        std::wstring name = FileNameOf(path);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(name.c_str());
        int row = ListView_InsertItem(list, &item);
        ListView_SetItemText(list, row, 1, const_cast<wchar_t*>(path.c_str()));
        bool tick = std::find(ticked_.begin(), ticked_.end(), documents_[i]) != ticked_.end();
        ListView_SetCheckState(list, row, tick);
    }
    tips_.Create(this);
    for (int id : {IDC_FILES_EDIT, IDC_FILES_NEW, IDC_FILES_DELETE})
        tips_.AddTool(GetDlgItem(dialog_, id));
    if (!LoadProfiles())
        EndDialog(dialog_, IDCANCEL);
    return TRUE;
}

bool ValidationFilesDlg::LoadProfiles()
{
    tfc::RegKey profiles;
    profiles.create(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
    HWND combo = Combo();
    for (const std::wstring& name : tfc::EnumRegistrySubkeyNames(profiles))
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) == 0) {
        std::wstring made = EditProfile(kNewProfile);
        if (made.empty())
            return false;
        SelectProfile(made);
        return true;
    }
    if (profiles.value_exists(kLastUsed)) {
        // CB_FINDSTRING: the first entry that begins with the text, ignoring case.
        std::wstring last = profiles.query_string(kLastUsed);
        LRESULT found = SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(last.c_str()));
        SendMessageW(combo, CB_SETCURSEL, found == CB_ERR ? static_cast<WPARAM>(-1) : found, 0);
    }
    return true;
}

void ValidationFilesDlg::GetToolTipText(NMTTDISPINFOW* info)
{
    HWND tool = reinterpret_cast<HWND>(info->hdr.idFrom);
    switch (GetDlgCtrlID(tool)) {
    case IDC_FILES_EDIT:
        tooltip_text_ = L"Edit Validation Profile";
        break;
    case IDC_FILES_NEW:
        tooltip_text_ = L"Create new Validation Profile";
        break;
    case IDC_FILES_DELETE:
        tooltip_text_ = L"Delete Validation Profile";
        break;
    default:
        tooltip_text_.clear();
    }
    Sink::GetToolTipText(info);
}

std::wstring ValidationFilesDlg::EditProfile(const std::wstring& name)
{
    ValidationDlg editor(name);
    if (editor.DoModal(dialog_) != IDOK)
        return std::wstring();
    return editor.profile().name();
}

void ValidationFilesDlg::SelectProfile(const std::wstring& name)
{
    HWND combo = Combo();
    LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(name.c_str()));
    if (index == CB_ERR)
        index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageW(combo, CB_SETCURSEL, index, 0);
}

void ValidationFilesDlg::OnNew()
{
    HWND combo = Combo();
    std::wstring name = kNewProfile;
    // CB_FINDSTRINGEXACT ignores case, as the keys do.
    for (int number = 1; SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(name.c_str())) != CB_ERR;
         ++number)
        name = kNewProfile + std::to_wstring(number);
    std::wstring made = EditProfile(name);
    if (!made.empty())
        SelectProfile(made);
}

void ValidationFilesDlg::OnEdit()
{
    HWND combo = Combo();
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    std::wstring old_name =
        index == CB_ERR ? std::wstring() : GetComboBoxItemText(combo, static_cast<int>(index));
    std::wstring made = EditProfile(old_name);
    if (made.empty())
        return;
    if (index != CB_ERR)
        SendMessageW(combo, CB_DELETESTRING, index, 0);
    SelectProfile(made);
}

void ValidationFilesDlg::OnDelete()
{
    HWND combo = Combo();
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return;
    if (SendMessageW(combo, CB_GETCOUNT, 0, 0) < 2) {
        ShowMessageBox(dialog_, L"You must have at least one profile", L"Cannot delete", MB_OK);
        return;
    }
    std::wstring name = GetComboBoxItemText(combo, static_cast<int>(index));
    if (ShowMessageBox(dialog_, L"Are you sure you wish to delete " + name + L"?", L"Confirm deletion",
                       MB_YESNO) != IDYES)
        return;
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::KeyPath(name));
    SendMessageW(combo, CB_DELETESTRING, index, 0);
    SendMessageW(combo, CB_SETCURSEL, index > 0 ? index - 1 : 0, 0);
}

void ValidationFilesDlg::OnOk()
{
    HWND combo = Combo();
    LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        ShowMessageBox(dialog_, L"You must select a validation profile", L"No profile selected", MB_OK);
        return;
    }
    std::wstring name = GetComboBoxItemText(combo, static_cast<int>(index));
    HWND list = List();
    chosen_.clear();
    for (size_t i = 0; i < documents_.size(); ++i)
        if (ListView_GetCheckState(list, static_cast<int>(i)))
            chosen_.push_back(documents_[i]);
    tfc::RegKey profiles;
    profiles.create(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
    profiles.set_string(kLastUsed, name);
    profile_ = std::make_shared<ValidationProfile>(name);
    EndDialog(dialog_, IDOK);
}

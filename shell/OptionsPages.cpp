#include "shell/OptionsPages.h"
#include "foundation/WindowPlace.h"

#include "foundation/Prompt.h"
#include "foundation/WindowText.h"
#include "resources/NewFileOptionsIds.h"

#include <climits>
#include <cwchar>

EditedOptions EditedOptions::From(const Options& options)
{
    EditedOptions edited;
    edited.last_saved_by_state = options.last_saved_by_state;
    edited.last_saved_by_name = options.last_saved_by_name;
    edited.tracking_threshold = options.tracking_threshold;
    edited.field_tips = options.field_tips;
    edited.bit_flags_display = options.bit_flags_display;
    edited.bit_flags_menu_numbers = options.bit_flags_menu_numbers;
    return edited;
}

void EditedOptions::StoreIn(Options& options) const
{
    options.last_saved_by_state = last_saved_by_state;
    options.last_saved_by_name = last_saved_by_name;
    options.tracking_threshold = tracking_threshold;
    options.field_tips = field_tips;
    options.bit_flags_display = bit_flags_display;
    options.bit_flags_menu_numbers = bit_flags_menu_numbers;
}

namespace {

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Check(HWND page, int id, bool checked)
{
    CheckDlgButton(page, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

std::wstring ItemText(HWND page, int id)
{
    return GetWindowTextString(GetDlgItem(page, id));
}

} // namespace

OptionsPage::OptionsPage(const wchar_t* name, int resource, EditedOptions& staged)
    : Dialog(name), staged_(staged), resource_(resource)
{
}

PROPSHEETPAGEW OptionsPage::Page()
{
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(resource_);
    page.pfnDlgProc = &FirstMessage;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR CALLBACK OptionsPage::FirstMessage(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    // The sheet hands each page its PROPSHEETPAGEW, whose lParam is the page object.
    auto* object = reinterpret_cast<OptionsPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lparam)->lParam);
    object->attach(page);
    // From here on the bound procedure (with its error handling) gets every message, this one too.
    auto bound = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(page, DWLP_DLGPROC));
    return bound(page, message, wparam, lparam);
}

INT_PTR OptionsPage::dialog_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        if (centres_sheet_) {
            HWND sheet = GetParent(page);
            CentreOver(sheet, GetWindow(sheet, GW_OWNER));
        }
        OnInit(page);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED)
            OnCommand(page, LOWORD(wparam));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lparam)->code == PSN_APPLY)
            return OnApply(page);
        return FALSE;
    }
    return FALSE;
}

SaveOptionsPage::SaveOptionsPage(EditedOptions& staged)
    : OptionsPage(L"SaveOptionsPage", IDD_SAVE_OPTIONS, staged)
{
}

void SaveOptionsPage::OnInit(HWND page)
{
    int state = staged_.last_saved_by_state;
    Check(page, IDC_SAVE_UNCHANGED, state == Options::SI_UNCHANGED);
    Check(page, IDC_SAVE_BY_USERNAME, state == Options::SI_USERNAME);
    Check(page, IDC_SAVE_BY_CUSTOM_NAME, state == Options::SI_CUSTOM_NAME);
    SetDlgItemTextW(page, IDC_SAVE_CUSTOM_NAME, staged_.last_saved_by_name.c_str());
    EnableWindow(GetDlgItem(page, IDC_SAVE_CUSTOM_NAME), state == Options::SI_CUSTOM_NAME);
}

void SaveOptionsPage::OnCommand(HWND page, UINT id)
{
    if (id == IDC_SAVE_UNCHANGED || id == IDC_SAVE_BY_USERNAME || id == IDC_SAVE_BY_CUSTOM_NAME)
        EnableWindow(GetDlgItem(page, IDC_SAVE_CUSTOM_NAME), Checked(page, IDC_SAVE_BY_CUSTOM_NAME));
}

LRESULT SaveOptionsPage::OnApply(HWND page)
{
    int state = Checked(page, IDC_SAVE_BY_USERNAME) ? Options::SI_USERNAME
                : Checked(page, IDC_SAVE_UNCHANGED) ? Options::SI_UNCHANGED
                                                    : Options::SI_CUSTOM_NAME;
    std::wstring name = ItemText(page, IDC_SAVE_CUSTOM_NAME);
    if (state == Options::SI_CUSTOM_NAME && name.empty()) {
        ShowMessageBox(page, L"You must specify a name", L"Invalid \"Last Saved By\" name", MB_OK);
        return PSNRET_INVALID;
    }
    staged_.last_saved_by_state = state;
    staged_.last_saved_by_name = name;
    return PSNRET_NOERROR;
}

LoadOptionsPage::LoadOptionsPage(EditedOptions& staged)
    : OptionsPage(L"LoadOptionsPage", IDD_LOAD_OPTIONS, staged)
{
}

int LoadOptionsPage::ParseThreshold(const std::wstring& text)
{
    long long number = std::wcstoll(text.c_str(), nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

void LoadOptionsPage::OnInit(HWND page)
{
    int threshold = staged_.tracking_threshold;
    Check(page, IDC_LOAD_TRACKING, threshold != 0);
    SetDlgItemTextW(page, IDC_LOAD_THRESHOLD, std::to_wstring(threshold == 0 ? 2000 : threshold).c_str());
    EnableWindow(GetDlgItem(page, IDC_LOAD_THRESHOLD), threshold != 0);
}

void LoadOptionsPage::OnCommand(HWND page, UINT id)
{
    if (id == IDC_LOAD_TRACKING)
        EnableWindow(GetDlgItem(page, IDC_LOAD_THRESHOLD), Checked(page, IDC_LOAD_TRACKING));
}

LRESULT LoadOptionsPage::OnApply(HWND page)
{
    bool tracking = Checked(page, IDC_LOAD_TRACKING);
    int threshold = tracking ? ParseThreshold(ItemText(page, IDC_LOAD_THRESHOLD)) : 0;
    if (threshold < 0) {
        ShowMessageBox(page, L"Negative (or very large) thresholds are invalid.", L"Invalid threshold",
                       MB_OK);
        return PSNRET_INVALID_NOCHANGEPAGE;
    }
    staged_.tracking_threshold = threshold;
    return PSNRET_NOERROR;
}

ViewOptionsPage::ViewOptionsPage(EditedOptions& staged)
    : OptionsPage(L"ViewOptionsPage", IDD_VIEW_OPTIONS, staged)
{
}

void ViewOptionsPage::OnInit(HWND page)
{
    Check(page, IDC_VIEW_FIELD_TIPS, staged_.field_tips);
    int display = staged_.bit_flags_display;
    Check(page, IDC_VIEW_DECIMAL, display == Options::BIT_FLAGS_DECIMAL);
    Check(page, IDC_VIEW_HEX, display == Options::BIT_FLAGS_HEX);
    Check(page, IDC_VIEW_DEFAULT, display != Options::BIT_FLAGS_DECIMAL && display != Options::BIT_FLAGS_HEX);
    Check(page, IDC_VIEW_MENU_NUMBERS, staged_.bit_flags_menu_numbers);
}

LRESULT ViewOptionsPage::OnApply(HWND page)
{
    staged_.field_tips = Checked(page, IDC_VIEW_FIELD_TIPS);
    staged_.bit_flags_display = Checked(page, IDC_VIEW_HEX)       ? Options::BIT_FLAGS_HEX
                                : Checked(page, IDC_VIEW_DECIMAL) ? Options::BIT_FLAGS_DECIMAL
                                                                  : Options::BIT_FLAGS_DEFAULT;
    staged_.bit_flags_menu_numbers = Checked(page, IDC_VIEW_MENU_NUMBERS);
    return PSNRET_NOERROR;
}

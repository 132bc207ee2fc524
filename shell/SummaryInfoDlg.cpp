#include "shell/SummaryInfoDlg.h"

#include "foundation/Prompt.h"
#include "foundation/WindowText.h"
#include "resources/DocumentDialogsIds.h"
#include "shell/DecimalText.h"
#include "views/grid/GuidText.h"

#include <commctrl.h>
#include <msidefs.h>
#include <vector>

namespace {

// The properties shown as plain text, and their controls.
const std::pair<UINT, int> kTextControls[] = {
    {PID_TITLE, IDC_SI_TITLE},          {PID_AUTHOR, IDC_SI_AUTHOR},
    {PID_SUBJECT, IDC_SI_SUBJECT},      {PID_COMMENTS, IDC_SI_COMMENTS},
    {PID_KEYWORDS, IDC_SI_KEYWORDS},    {PID_REVNUMBER, IDC_SI_PACKAGE_CODE},
    {PID_PAGECOUNT, IDC_SI_SCHEMA},     {PID_LASTAUTHOR, IDC_SI_LAST_SAVED_BY},
    {PID_APPNAME, IDC_SI_CREATING_APP}, {PID_CREATE_DTM, IDC_SI_CREATED},
    {PID_LASTSAVE_DTM, IDC_SI_SAVED},   {PID_LASTPRINTED, IDC_SI_ADMIN_INSTALL},
    {PID_CODEPAGE, IDC_SI_CODE_PAGE},
};

const int kStateControls[] = {
    IDC_SI_TITLE,      IDC_SI_AUTHOR,    IDC_SI_SUBJECT,       IDC_SI_COMMENTS,     IDC_SI_KEYWORDS,
    IDC_SI_PLATFORM,   IDC_SI_LANGUAGES, IDC_SI_PACKAGE_CODE,  IDC_SI_SCHEMA,       IDC_SI_SECURITY,
    IDC_SI_IMAGE_TYPE, IDC_SI_ELEVATED,  IDC_SI_LAST_SAVED_BY, IDC_SI_CREATING_APP, IDC_SI_CODE_PAGE};

const wchar_t* const kSchemas[] = {L"100", L"110", L"120", L"200", L"300", L"400"};
const wchar_t* const kSecurity[] = {L"No restriction", L"Read-only recommended", L"Read-only enforced"};
const wchar_t* const kImageTypes[] = {L"External tree. Long filenames",  L"External tree. Short filenames",
                                      L"Compressed. Long filenames",     L"Compressed. Short filenames",
                                      L"Admin External. Long filenames", L"Admin External. Short filenames"};

const int kImageCompressed = 2;
const int kImageAdmin = 4;
const int kImageNoElevation = 8;

bool is_list(int control)
{
    return control == IDC_SI_SECURITY || control == IDC_SI_IMAGE_TYPE;
}

void add_strings(HWND combo, const wchar_t* const* texts, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts[i]));
}

} // namespace

SummaryInfoDlg::SummaryInfoDlg(SummaryInfoMap& summary, bool read_only)
    : Dialog(L"SummaryInfoDlg"), summary_(summary), read_only_(read_only)
{
}

INT_PTR SummaryInfoDlg::Run(HWND owner)
{
    return run_modal(IDD_SUMMARY_INFO, owner);
}

bool ShowSummaryInfoDialog(SummaryInfoMap& summary, bool read_only, HWND owner)
{
    SummaryInfoDlg dialog(summary, read_only);
    return dialog.Run(owner) == 1;
}

INT_PTR SummaryInfoDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_SI_SCHEMA:
            if (HIWORD(wparam) == CBN_SELCHANGE || HIWORD(wparam) == CBN_EDITCHANGE)
                OnSchemaChanged(dialog, HIWORD(wparam) == CBN_SELCHANGE);
            return TRUE;
        case IDC_SI_NEW_GUID:
            SetDlgItemTextW(dialog, IDC_SI_PACKAGE_CODE, GenerateGuidString().c_str());
            return TRUE;
        case IDOK:
            if (!CheckNumbers(dialog) || !CheckTexts(dialog))
                return TRUE;
            EndDialog(dialog, Store(dialog) > 0 ? 1 : 2);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void SummaryInfoDlg::OnInit(HWND dialog)
{
    add_strings(GetDlgItem(dialog, IDC_SI_SCHEMA), kSchemas, 6);
    add_strings(GetDlgItem(dialog, IDC_SI_SECURITY), kSecurity, 3);
    add_strings(GetDlgItem(dialog, IDC_SI_IMAGE_TYPE), kImageTypes, 6);
    if (read_only_) {
        // Nothing of a read-only database may change, the informational fields included.
        for (int control : kStateControls)
            EnableWindow(GetDlgItem(dialog, control), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_SI_NEW_GUID), FALSE);
    }
    auto property = [this](UINT pid) -> MsiSIProperty* {
        auto found = summary_.find(pid);
        return found == summary_.end() || !found->second || found->second->is_null() ? nullptr
                                                                                     : found->second.get();
    };
    if (MsiSIProperty* pages = property(PID_PAGECOUNT))
        FillPlatforms(dialog, pages->numeric_value());
    for (const auto& [pid, control] : kTextControls)
        if (MsiSIProperty* value = property(pid))
            SetDlgItemTextW(dialog, control, value->to_string().c_str());
    if (MsiSIProperty* value = property(PID_TEMPLATE)) {
        std::wstring text = value->to_string();
        size_t separator = text.find(L';');
        SetDlgItemTextW(dialog, IDC_SI_PLATFORM, text.substr(0, separator).c_str());
        if (separator != std::wstring::npos && separator + 1 < text.size())
            SetDlgItemTextW(dialog, IDC_SI_LANGUAGES, text.substr(separator + 1).c_str());
    }
    if (MsiSIProperty* value = property(PID_WORDCOUNT)) {
        int flags = value->numeric_value();
        if (flags & kImageAdmin)
            flags &= ~kImageCompressed;
        SendDlgItemMessageW(dialog, IDC_SI_IMAGE_TYPE, CB_SETCURSEL, flags & ~kImageNoElevation, 0);
        CheckDlgButton(dialog, IDC_SI_ELEVATED, (flags & kImageNoElevation) ? BST_UNCHECKED : BST_CHECKED);
    }
    if (MsiSIProperty* value = property(PID_SECURITY))
        SendDlgItemMessageW(dialog, IDC_SI_SECURITY, CB_SETCURSEL, value->numeric_value() / 2, 0);

    tip_.Create(this);
    for (int control : {IDC_SI_TITLE, IDC_SI_AUTHOR, IDC_SI_SUBJECT, IDC_SI_KEYWORDS, IDC_SI_COMMENTS})
        tip_.AddTool(GetDlgItem(dialog, control));
    SendMessageW(tip_.control(), TTM_SETMAXTIPWIDTH, 0, 400);

    for (int control : kStateControls)
        shown_[control] = ControlState(dialog, control);
}

void SummaryInfoDlg::FillPlatforms(HWND dialog, int schema)
{
    HWND combo = GetDlgItem(dialog, IDC_SI_PLATFORM);
    // Refilling empties the edit part too: the user's text stays.
    std::wstring text = GetWindowTextString(combo);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    std::vector<const wchar_t*> platforms = {L"Intel"};
    if (schema < 101) {
        platforms.push_back(L"Alpha");
        platforms.push_back(L"Intel;Alpha");
    }
    if (schema >= 150)
        platforms.push_back(L"Intel64");
    if (schema >= 200)
        platforms.push_back(L"AMD64");
    add_strings(combo, platforms.data(), platforms.size());
    SetWindowTextW(combo, text.c_str());
}

void SummaryInfoDlg::OnSchemaChanged(HWND dialog, bool chosen)
{
    HWND combo = GetDlgItem(dialog, IDC_SI_SCHEMA);
    if (chosen) {
        LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (item != CB_ERR)
            SetWindowTextW(combo, GetComboBoxItemText(combo, static_cast<int>(item)).c_str());
    }
    if (!CheckNumbers(dialog))
        return;
    int schema = 0;
    ParseDecimalField(GetWindowTextString(combo), schema);
    FillPlatforms(dialog, schema);
}

bool SummaryInfoDlg::CheckNumbers(HWND dialog)
{
    int value = 0;
    // The code page is stored in 16 bits: 65001 goes in as well as its signed form -535, 70000 would not.
    return ReadDecimalControl(dialog, IDC_SI_SCHEMA, value) &&
           ReadDecimalControl(dialog, IDC_SI_CODE_PAGE, value, SHRT_MIN, USHRT_MAX);
}

bool SummaryInfoDlg::CheckTexts(HWND dialog)
{
    std::vector<int> controls = {IDC_SI_PLATFORM, IDC_SI_LANGUAGES};
    for (const auto& [pid, control] : kTextControls)
        if (SummaryPropertyDefs().at(pid).type == VT_LPSTR)
            controls.push_back(control);
    for (int control : controls) {
        if (!Changed(dialog, control))
            continue;
        std::wstring refusal = SummaryTextRefusal(summary_, GetWindowTextString(GetDlgItem(dialog, control)));
        if (refusal.empty())
            continue;
        ShowMessageBox(dialog, refusal, L"Summary Information", MB_OK | MB_ICONERROR);
        SetFocus(GetDlgItem(dialog, control));
        return false;
    }
    return true;
}

std::wstring SummaryInfoDlg::ControlState(HWND dialog, int control) const
{
    if (is_list(control))
        return std::to_wstring(SendDlgItemMessageW(dialog, control, CB_GETCURSEL, 0, 0));
    if (control == IDC_SI_ELEVATED)
        return std::to_wstring(IsDlgButtonChecked(dialog, control));
    return GetWindowTextString(GetDlgItem(dialog, control));
}

bool SummaryInfoDlg::Changed(HWND dialog, int control) const
{
    auto shown = shown_.find(control);
    return shown == shown_.end() || ControlState(dialog, control) != shown->second;
}

int SummaryInfoDlg::Store(HWND dialog)
{
    // Only what the user changed is written: a value the dialog cannot show exactly (a null template, an
    // image type with both the compressed and the administrative flag) stays as it was.
    int set = 0;
    auto text_of = [dialog](int control) { return GetWindowTextString(GetDlgItem(dialog, control)); };
    for (auto& [pid, property] : summary_) {
        if (!property)
            continue;
        if (pid == PID_TEMPLATE) {
            if (!Changed(dialog, IDC_SI_PLATFORM) && !Changed(dialog, IDC_SI_LANGUAGES))
                continue;
            std::wstring platform = text_of(IDC_SI_PLATFORM);
            std::wstring languages = text_of(IDC_SI_LANGUAGES);
            if (!platform.empty() && platform.back() == L';')
                platform.pop_back();
            if (!languages.empty() && languages.front() == L';')
                languages.erase(0, 1);
            std::wstring value = platform + L";" + languages;
            if (property->is_null() || value != property->to_string()) {
                property->set_string(value);
                ++set;
            }
        } else if (pid == PID_WORDCOUNT) {
            if (!Changed(dialog, IDC_SI_IMAGE_TYPE) && !Changed(dialog, IDC_SI_ELEVATED))
                continue;
            LRESULT entry = SendDlgItemMessageW(dialog, IDC_SI_IMAGE_TYPE, CB_GETCURSEL, 0, 0);
            int value = entry == CB_ERR ? 1 : static_cast<int>(entry);
            if (IsDlgButtonChecked(dialog, IDC_SI_ELEVATED) != BST_CHECKED)
                value |= kImageNoElevation;
            if (property->is_null() || property->numeric_value() != value) {
                property->set_integer(value);
                ++set;
            }
        } else if (pid == PID_SECURITY) {
            if (!Changed(dialog, IDC_SI_SECURITY))
                continue;
            LRESULT entry = SendDlgItemMessageW(dialog, IDC_SI_SECURITY, CB_GETCURSEL, 0, 0);
            if (entry == CB_ERR) {
                if (!property->is_null()) {
                    property->set_null();
                    ++set;
                }
            } else if (property->is_null() || property->numeric_value() != entry * 2) {
                property->set_integer(static_cast<int>(entry * 2));
                ++set;
            }
        } else if (pid == PID_CREATE_DTM || pid == PID_LASTSAVE_DTM || pid == PID_LASTPRINTED) {
            // Shown only.
        } else {
            int control = 0;
            for (const auto& [text_pid, text_control] : kTextControls)
                if (text_pid == pid)
                    control = text_control;
            if (!control || !Changed(dialog, control))
                continue;
            std::wstring text = text_of(control);
            VARTYPE type = SummaryPropertyDefs().at(pid).type;
            if (type == VT_I2 || type == VT_I4) {
                int value = 0;
                ParseDecimalField(text, value);
                if (!property->is_null() && property->numeric_value() == value)
                    continue;
                if (type == VT_I2)
                    property->set_short(static_cast<short>(value));
                else
                    property->set_integer(value);
            } else {
                if (!property->is_null() && property->to_string() == text)
                    continue;
                property->set_string(text);
            }
            ++set;
        }
    }
    return set;
}

void SummaryInfoDlg::GetToolTipText(NMTTDISPINFOW* info)
{
    switch (GetDlgCtrlID(reinterpret_cast<HWND>(info->hdr.idFrom))) {
    case IDC_SI_TITLE:
        tooltip_text_ = L"Recommended Title value:\r\nInstallation Database:\t\"Installation Database\"";
        break;
    case IDC_SI_AUTHOR:
        tooltip_text_ = L"Recommended Author value:\r\nInstallation Database:\tManufacturer Property";
        break;
    case IDC_SI_SUBJECT:
        tooltip_text_ = L"Recommended Subject value:\r\nInstallation Database:\tProductName property";
        break;
    case IDC_SI_KEYWORDS:
        tooltip_text_ = L"Recommended Keywords value:\r\nInstallation Database:\tUsed by file browsers to do "
                        L"keyword searches for a file. Keyword set typically includes \"Installer\" as well "
                        L"as product-specific keywords.";
        break;
    case IDC_SI_COMMENTS:
        tooltip_text_ = L"Recommended Comments value:\r\nInstallation Database:\t\"This installer database "
                        L"contains the logic and data required to install <product name>.\"";
        break;
    default:
        tooltip_text_.clear();
    }
    ToolTip::Sink::GetToolTipText(info);
}

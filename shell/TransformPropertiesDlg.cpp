#include "shell/TransformPropertiesDlg.h"

#include "resources/DocumentDialogsIds.h"

#include <msiquery.h>

namespace {

struct FlagBox
{
    int control;
    bool validation;
    unsigned flag;
};

const FlagBox kBoxes[] = {
    {IDC_TP_ADD_EXISTING_ROW, false, MSITRANSFORM_ERROR_ADDEXISTINGROW},
    {IDC_TP_DELETE_MISSING_ROW, false, MSITRANSFORM_ERROR_DELMISSINGROW},
    {IDC_TP_ADD_EXISTING_TABLE, false, MSITRANSFORM_ERROR_ADDEXISTINGTABLE},
    {IDC_TP_DELETE_MISSING_TABLE, false, MSITRANSFORM_ERROR_DELMISSINGTABLE},
    {IDC_TP_MODIFY_MISSING_ROW, false, MSITRANSFORM_ERROR_UPDATEMISSINGROW},
    {IDC_TP_CHANGE_CODE_PAGE, false, MSITRANSFORM_ERROR_CHANGECODEPAGE},
    {IDC_TP_SAME_LANGUAGE, true, MSITRANSFORM_VALIDATE_LANGUAGE},
    {IDC_TP_SAME_PRODUCT, true, MSITRANSFORM_VALIDATE_PRODUCT},
    {IDC_TP_SAME_UPGRADE_CODE, true, MSITRANSFORM_VALIDATE_UPGRADECODE},
};

const wchar_t* const kVersionParts[] = {L"Major (#)", L"Major.Minor (#.#)", L"Major.Minor.Upgrade (#.#.#)"};
const unsigned kVersionPartFlags[] = {MSITRANSFORM_VALIDATE_MAJORVERSION, MSITRANSFORM_VALIDATE_MINORVERSION,
                                      MSITRANSFORM_VALIDATE_UPDATEVERSION};
const wchar_t* const kRelations[] = {L"< transform", L"<= transform", L"= transform", L">= transform",
                                     L"> transform"};
const unsigned kRelationFlags[] = {
    MSITRANSFORM_VALIDATE_NEWLESSBASEVERSION, MSITRANSFORM_VALIDATE_NEWLESSEQUALBASEVERSION,
    MSITRANSFORM_VALIDATE_NEWEQUALBASEVERSION, MSITRANSFORM_VALIDATE_NEWGREATEREQUALBASEVERSION,
    MSITRANSFORM_VALIDATE_NEWGREATERBASEVERSION};

const unsigned kVersionFlags = MSITRANSFORM_VALIDATE_MAJORVERSION | MSITRANSFORM_VALIDATE_MINORVERSION |
                               MSITRANSFORM_VALIDATE_UPDATEVERSION;

// The bits the dialog has a control for; the others (platform checks among them) are kept as they are.
unsigned controlled(bool validation)
{
    unsigned mask = 0;
    for (const FlagBox& box : kBoxes)
        if (box.validation == validation)
            mask |= box.flag;
    if (validation) {
        mask |= kVersionFlags;
        for (unsigned flag : kRelationFlags)
            mask |= flag;
    }
    return mask;
}

} // namespace

INT_PTR TransformPropertiesDlg::Run(HWND owner)
{
    return run_modal(IDD_TRANSFORM_PROPERTIES, owner);
}

INT_PTR TransformPropertiesDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_TP_PRODUCT_VERSION:
            EnableVersionChoices(dialog);
            return TRUE;
        case IDOK:
            if (ControlStates(dialog) != opened_)
                Store(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 1);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void TransformPropertiesDlg::OnInit(HWND dialog)
{
    for (const FlagBox& box : kBoxes) {
        unsigned word = box.validation ? validation_ : errors_;
        CheckDlgButton(dialog, box.control, (word & box.flag) ? BST_CHECKED : BST_UNCHECKED);
    }
    CheckDlgButton(dialog, IDC_TP_PRODUCT_VERSION,
                   (validation_ & kVersionFlags) ? BST_CHECKED : BST_UNCHECKED);
    HWND parts = GetDlgItem(dialog, IDC_TP_VERSION_PARTS);
    for (const wchar_t* text : kVersionParts)
        SendMessageW(parts, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    int part = (validation_ & MSITRANSFORM_VALIDATE_UPDATEVERSION)  ? 2
               : (validation_ & MSITRANSFORM_VALIDATE_MINORVERSION) ? 1
               : (validation_ & MSITRANSFORM_VALIDATE_MAJORVERSION) ? 0
                                                                    : 2;
    SendMessageW(parts, CB_SETCURSEL, part, 0);
    HWND relations = GetDlgItem(dialog, IDC_TP_VERSION_RELATION);
    for (const wchar_t* text : kRelations)
        SendMessageW(relations, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    int relation = 2;
    for (int i = 0; i < 5; ++i) {
        if (validation_ & kRelationFlags[i]) {
            relation = i;
            break;
        }
    }
    SendMessageW(relations, CB_SETCURSEL, relation, 0);
    EnableVersionChoices(dialog);
    opened_ = ControlStates(dialog);
}

void TransformPropertiesDlg::EnableVersionChoices(HWND dialog)
{
    bool on = IsDlgButtonChecked(dialog, IDC_TP_PRODUCT_VERSION) == BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_TP_VERSION_PARTS), on);
    EnableWindow(GetDlgItem(dialog, IDC_TP_VERSION_RELATION), on);
}

std::vector<LRESULT> TransformPropertiesDlg::ControlStates(HWND dialog) const
{
    std::vector<LRESULT> states;
    for (const FlagBox& box : kBoxes)
        states.push_back(IsDlgButtonChecked(dialog, box.control));
    states.push_back(IsDlgButtonChecked(dialog, IDC_TP_PRODUCT_VERSION));
    states.push_back(SendDlgItemMessageW(dialog, IDC_TP_VERSION_PARTS, CB_GETCURSEL, 0, 0));
    states.push_back(SendDlgItemMessageW(dialog, IDC_TP_VERSION_RELATION, CB_GETCURSEL, 0, 0));
    return states;
}

void TransformPropertiesDlg::Store(HWND dialog)
{
    unsigned errors = errors_ & ~controlled(false);
    unsigned validation = validation_ & ~controlled(true);
    for (const FlagBox& box : kBoxes) {
        if (IsDlgButtonChecked(dialog, box.control) == BST_CHECKED)
            (box.validation ? validation : errors) |= box.flag;
    }
    if (IsDlgButtonChecked(dialog, IDC_TP_PRODUCT_VERSION) == BST_CHECKED) {
        LRESULT part = SendDlgItemMessageW(dialog, IDC_TP_VERSION_PARTS, CB_GETCURSEL, 0, 0);
        if (part >= 0 && part < 3)
            validation |= kVersionPartFlags[part];
        LRESULT relation = SendDlgItemMessageW(dialog, IDC_TP_VERSION_RELATION, CB_GETCURSEL, 0, 0);
        if (relation >= 0 && relation < 5)
            validation |= kRelationFlags[relation];
    }
    errors_ = errors;
    validation_ = validation;
}

#include "shell/NewFileDlg.h"

#include "foundation/FileDialogs.h"
#include "foundation/Prompt.h"
#include "model/TemplateKinds.h"
#include "resources/NewFileOptionsIds.h"

#include <commdlg.h>

INT_PTR NewFileDlg::Run(HWND owner)
{
    return run_modal(IDD_NEW_FILE, owner);
}

INT_PTR NewFileDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_NEW_FILE_TYPE:
            if (HIWORD(wparam) == LBN_SELCHANGE)
                FillSchemas(dialog);
            return TRUE;
        case IDOK:
            OnOK(dialog);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR NewFileDlg::OnInitDialog(HWND dialog)
{
    HWND types = GetDlgItem(dialog, IDC_NEW_FILE_TYPE);
    for (const TemplateKind& kind : TemplateKinds()) {
        std::vector<QualifiedComponent> found = EnumQualifiedComponents(kind.category);
        if (found.empty())
            continue;
        SendMessageW(types, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind.name));
        templates_.push_back(std::move(found));
        extensions_.push_back(kind.default_extension);
        std::wstring filter = kind.filter_name;
        filter.push_back(L'\0');
        filter += kind.filter_pattern;
        filters_.push_back(filter);
    }
    // With no kind registered the list stays empty and nothing is selected.
    SendMessageW(types, LB_SETCURSEL, 0, 0);
    FillSchemas(dialog);
    return TRUE;
}

int NewFileDlg::SelectedKind(HWND dialog) const
{
    LRESULT selected = SendDlgItemMessageW(dialog, IDC_NEW_FILE_TYPE, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR || selected < 0 || static_cast<size_t>(selected) >= templates_.size())
        return -1;
    return static_cast<int>(selected);
}

void NewFileDlg::FillSchemas(HWND dialog)
{
    HWND schemas = GetDlgItem(dialog, IDC_NEW_FILE_SCHEMA);
    SendMessageW(schemas, CB_RESETCONTENT, 0, 0);
    int kind = SelectedKind(dialog);
    if (kind < 0)
        return;
    for (const QualifiedComponent& entry : templates_[kind])
        SendMessageW(schemas, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.application_data.c_str()));
    LRESULT count = SendMessageW(schemas, CB_GETCOUNT, 0, 0);
    if (count > 0)
        SendMessageW(schemas, CB_SETCURSEL, count - 1, 0);
}

void NewFileDlg::OnOK(HWND dialog)
{
    int kind = SelectedKind(dialog);
    if (kind < 0) {
        ShowMessageBox(dialog, L"You must select a file type", L"New File", MB_OK);
        return;
    }
    const std::vector<QualifiedComponent>& entries = templates_[kind];
    LRESULT schema = SendDlgItemMessageW(dialog, IDC_NEW_FILE_SCHEMA, CB_GETCURSEL, 0, 0);
    // A listed kind has templates; should the drop-down lose its selection, the preselected last one holds.
    if (schema == CB_ERR || schema < 0 || static_cast<size_t>(schema) >= entries.size())
        schema = static_cast<LRESULT>(entries.size()) - 1;
    std::wstring path =
        BrowseForSaveFile(dialog, std::wstring(), filters_[kind],
                          OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_NOREADONLYRETURN,
                          L"New File", extensions_[kind]);
    if (path.empty())
        return;
    new_path_ = path;
    template_path_ = entries[schema].path;
    EndDialog(dialog, IDOK);
}

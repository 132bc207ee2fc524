#include "shell/CodePageDlg.h"

#include "resources/DocumentDialogsIds.h"
#include "shell/DecimalText.h"

#include <string>

bool CodePageDlg::DoModal(int code_page, bool read_only, HWND owner)
{
    code_page_ = code_page;
    read_only_ = read_only;
    return run_modal(IDD_CODE_PAGE, owner) == 1;
}

INT_PTR CodePageDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_CURRENT_CODE_PAGE, std::to_wstring(code_page_).c_str());
        SetDlgItemTextW(dialog, IDC_NEW_CODE_PAGE, std::to_wstring(code_page_).c_str());
        EnableWindow(GetDlgItem(dialog, IDC_NEW_CODE_PAGE), !read_only_);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            int chosen = 0;
            if (!ReadDecimalControl(dialog, IDC_NEW_CODE_PAGE, chosen))
                return TRUE;
            bool changed = chosen != code_page_;
            code_page_ = chosen;
            EndDialog(dialog, changed ? 1 : 2);
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, 2);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

#include "views/dialogs/UIPreviewDlg.h"

#include "resources/TreesIds.h"

UIPreviewDlg::UIPreviewDlg() : Dialog(L"UIPreviewDlg") {}

INT_PTR UIPreviewDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

INT_PTR ShowUIPreviewDialog(HWND owner)
{
    UIPreviewDlg dialog;
    return dialog.run_modal(IDD_UI_PREVIEW, owner);
}

#include "foundation/FormDialog.h"

namespace tamblewick_foundation_classes_v1_0 {

INT_PTR FormDialog::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        dialog_ = dialog;
        return OnInitDialog();
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lparam));
    case WM_COMMAND: {
        int id = LOWORD(wparam);
        if (OnCommand(id))
            return TRUE;
        if (id == IDOK)
            OnOk();
        else if (id == IDCANCEL)
            OnCancel();
        else
            return FALSE;
        return TRUE;
    }
    }
    return FALSE;
}

} // namespace tamblewick_foundation_classes_v1_0

#pragma once
// The procedure most of the program's dialogs share: the set-up, OK, Cancel, the other commands and the
// notifications each go to a hook, so a dialog writes only what it does. OK and Cancel end the dialog with
// their id unless the dialog does something else.
#include "foundation/Dialog.h"

#include <commctrl.h>

namespace tamblewick_foundation_classes_v1_0 {

class FormDialog : public Dialog
{
public:
    using Dialog::Dialog;
    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

protected:
    // WM_INITDIALOG, with dialog_ set: TRUE lets the dialog manager set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOk() { EndDialog(dialog_, IDOK); }
    virtual void OnCancel() { EndDialog(dialog_, IDCANCEL); }
    // Any command; false leaves it to OK and Cancel (or to nobody).
    virtual bool OnCommand(int id)
    {
        (void)id;
        return false;
    }
    // The notification's result.
    virtual LRESULT OnNotify(NMHDR* header)
    {
        (void)header;
        return 0;
    }

    HWND dialog_ = nullptr;
};

} // namespace tamblewick_foundation_classes_v1_0

#pragma once
// Dialog objects bound to dialog boxes made from the program's templates.
//
// A subclass overrides `dialog_proc` and returns what a DLGPROC returns: TRUE for a handled message, FALSE
// to leave it to the dialog manager; WM_INITDIALOG as usual. For WM_NOTIFY it returns the notification's
// result itself: the base stores it in DWLP_MSGRESULT (and tells the dialog manager the message was
// handled), so no dialog does that on its own.
//
//     class NameDlg : public tfc::Dialog {
//     public:
//         NameDlg() : Dialog(L"NameDlg") {}
//         INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override {
//             switch (message) {
//             case WM_INITDIALOG: return on_init(dialog);
//             case WM_COMMAND: return on_command(dialog, LOWORD(wparam), HIWORD(wparam));
//             }
//             return FALSE;
//         }
//     };
//     NameDlg dlg;
//     if (dlg.run_modal(IDD_NAME, owner) == IDOK) ...          // modal: EndDialog's value
//     HWND find = finder.create_modeless(IDD_FIND, owner);     // modeless: the message loop passes it
//                                                              // IsDialogMessage; destroy it with
//                                                              // destroy_modeless
//
// An exception thrown by `dialog_proc` is caught in one place and shown as the constructor's ErrorHandling
// says, with the constructor's name in the trail line; the procedure then returns FALSE.
#include "foundation/Errors.h" // also the tfc alias
#include "foundation/ProcedureErrors.h"

#include <windows.h>

namespace tamblewick_foundation_classes_v1_0 {

class DialogBase
{
public:
    virtual ~DialogBase() = default;
    virtual void attach(HWND dialog) = 0;
    virtual INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) = 0;
};

class Dialog : public DialogBase
{
public:
    // `name` goes in front of "failed to process message ..." trail lines; it must be a literal.
    explicit Dialog(const wchar_t* name, ErrorHandling handling = ErrorHandling::Full);
    // Unbinds a dialog box that is still bound to this object (it is not destroyed).
    ~Dialog() override;
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    void attach(HWND dialog) override;
    // Unbinds: the dialog box's messages no longer reach this object.
    void detach(HWND dialog);

    // DialogBoxParamW with the program's template `resource`; returns EndDialog's value. A dialog box that
    // cannot be made throws Win32Error "DialogBoxParam".
    INT_PTR run_modal(int resource, HWND owner);
    // CreateDialogParamW; failure throws Win32Error "CreateDialogParam".
    HWND create_modeless(int resource, HWND owner);
    // Detaches, then DestroyWindow; the handle becomes null. A null handle is ignored.
    void destroy_modeless(HWND& dialog);

    // The object bound to a dialog box, or null.
    static DialogBase* dialog_object(HWND dialog);
    // The first procedure of every dialog box: binds this thread's pending dialog object.
    static INT_PTR CALLBACK initial_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

    const wchar_t* error_name() const { return name_; }
    ErrorHandling error_handling() const { return handling_; }

protected:
    // The result of a message other than WM_NOTIFY that the dialog manager reads from DWLP_MSGRESULT
    // (such as WM_GETDLGCODE); return TRUE after it.
    static void set_message_result(HWND dialog, LRESULT result);

private:
    static INT_PTR CALLBACK static_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR dispatch(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

    HWND attached_ = nullptr; // the last dialog box bound, for the destructor's safety net
    const wchar_t* name_;
    ErrorHandling handling_;
};

} // namespace tamblewick_foundation_classes_v1_0

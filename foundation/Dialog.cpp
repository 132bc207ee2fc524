#include "foundation/Dialog.h"
#include "foundation/Errors.h"
#include "foundation/WindowPlace.h"

namespace tamblewick_foundation_classes_v1_0 {
namespace {

// The dialog object a thread is about to bind; consumed by the first message of the next dialog box.
thread_local Dialog* t_pending_dialog = nullptr;

// Forgets the pending object when the call returns, also when the dialog box was never made.
class PendingDialog
{
public:
    explicit PendingDialog(Dialog* dialog) { t_pending_dialog = dialog; }
    ~PendingDialog() { t_pending_dialog = nullptr; }
    PendingDialog(const PendingDialog&) = delete;
    PendingDialog& operator=(const PendingDialog&) = delete;
};

} // namespace

Dialog::Dialog(const wchar_t* name, ErrorHandling handling) : name_(name), handling_(handling) {}

Dialog::~Dialog()
{
    if (t_pending_dialog == this)
        t_pending_dialog = nullptr;
    if (attached_ && IsWindow(attached_))
        detach(attached_);
}

void Dialog::attach(HWND dialog)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&static_dialog_proc));
    attached_ = dialog;
}

void Dialog::detach(HWND dialog)
{
    if (dialog && GetWindowLongPtrW(dialog, DWLP_USER) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
    if (attached_ == dialog)
        attached_ = nullptr;
}

INT_PTR Dialog::run_modal(int resource, HWND owner)
{
    PendingDialog pending(this);
    SetLastError(0);
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), owner,
                                     &initial_dialog_proc, 0);
    DWORD error = GetLastError();
    if (result == -1 && error != 0)
        throw Win32Error(error, L"DialogBoxParam");
    return result;
}

HWND Dialog::create_modeless(int resource, HWND owner)
{
    PendingDialog pending(this);
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), owner,
                                     &initial_dialog_proc, 0);
    if (!dialog)
        throw_last_error(L"CreateDialogParam");
    return dialog;
}

void Dialog::destroy_modeless(HWND& dialog)
{
    HWND doomed = dialog;
    dialog = nullptr;
    if (!doomed)
        return;
    detach(doomed);
    DestroyWindow(doomed);
}

DialogBase* Dialog::dialog_object(HWND dialog)
{
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void Dialog::set_message_result(HWND dialog, LRESULT result)
{
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
}

INT_PTR CALLBACK Dialog::initial_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    Dialog* object = t_pending_dialog;
    if (!object)
        return FALSE; // a dialog box made without a pending object: leave it to the dialog manager
    t_pending_dialog = nullptr;
    try {
        object->attach(dialog);
    } catch (...) {
        return FALSE;
    }
    return object->dispatch(dialog, message, wparam, lparam);
}

INT_PTR CALLBACK Dialog::static_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* object = reinterpret_cast<Dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!object)
        return FALSE;
    return object->dispatch(dialog, message, wparam, lparam);
}

INT_PTR Dialog::dispatch(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    try {
        INT_PTR result = dialog_proc(dialog, message, wparam, lparam);
        // The dialog manager centres DS_CENTER on the screen; ours open over the window they belong to,
        // at the size their own set-up gave them.
        if (message == WM_INITDIALOG && (GetWindowLongW(dialog, GWL_STYLE) & DS_CENTER))
            CentreOver(dialog, GetWindow(dialog, GW_OWNER));
        if (message == WM_NOTIFY) {
            // A DLGPROC's own return value is not the notification's result.
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return result;
    } catch (...) {
        report_procedure_error(dialog, name_, handling_, message, wparam, lparam);
        return FALSE;
    }
}

} // namespace tamblewick_foundation_classes_v1_0

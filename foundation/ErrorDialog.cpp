#include "foundation/ErrorDialog.h"
#include "foundation/Format.h"
#include "foundation/MessageTrail.h"
#include "foundation/Prompt.h"
#include "resources/ErrorDialog_rc.h"

ErrorDialog::ErrorDialog(std::wstring text)
    // Quiet: a failure inside the error dialog must not open another one.
    : Dialog(L"ErrorDialog", tfc::ErrorHandling::Quiet), text_(std::move(text))
{
}

INT_PTR ErrorDialog::Run(HWND owner)
{
    return run_modal(IDD_ERROR_DIALOG, owner);
}

INT_PTR ErrorDialog::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextW(dialog, IDC_ERROR_TEXT, text_.c_str());
        return TRUE;
    case WM_COMMAND:
        return on_command(dialog, LOWORD(wparam), HIWORD(wparam));
    }
    return FALSE;
}

BOOL ErrorDialog::on_command(HWND dialog, WORD id, WORD code)
{
    if (code != 0)
        return FALSE;
    switch (id) {
    case IDC_ERROR_ABORT:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_ERROR_CONTINUE:
        EndDialog(dialog, 1);
        return TRUE;
    }
    return FALSE; // IDCANCEL from Escape or the close box among them
}

void ShowErrorDialog(HWND owner, const std::wstring& message) noexcept
{
    try {
        tfc::Format(L"");
        std::wstring text = message;
        for (const std::wstring& line : tfc::thread_messages())
            text += L"\r\n" + line;

        bool abort = false;
        PromptRequest request;
        request.kind = PromptKind::ErrorDialog;
        request.owner = owner;
        request.text = text;
        request.caption = L"Error";
        PromptAnswer answer;
        if (AnswerPrompt(request, answer))
            abort = answer.result == IDABORT;
        else
            abort = ErrorDialog(text).Run(owner) == 0;

        if (abort && owner) {
            HWND top = GetAncestor(owner, GA_ROOTOWNER);
            SendMessageW(top ? top : owner, WM_CLOSE, 0, 0);
        }
    } catch (...) {
    }
    try {
        tfc::thread_messages().clear();
    } catch (...) {
    }
}

void ShowManageableError(HWND owner, const tfc::ManageableError& error) noexcept
{
    try {
        ShowMessageBox(owner, error.message, error.caption, MB_OK);
    } catch (...) {
    }
    try {
        tfc::clear_thread_messages();
    } catch (...) {
    }
}

#pragma once
// Showing failures to the user: the modal error dialog with the thread's message trail, and the plain
// message box of a ManageableError. Both go through the prompt seam (foundation/Prompt.h) first, and both
// empty the calling thread's trail when they are done. Neither throws.
#include "foundation/Dialog.h"
#include "foundation/Errors.h"

#include <string>

// Dialog 9: the text in a read-only edit, "&Abort" (ends with 0) and "&Continue" (ends with 1). It has
// no cancel: Escape and the close box do nothing.
class ErrorDialog : public tfc::Dialog
{
public:
    explicit ErrorDialog(std::wstring text);
    // 0 for Abort, 1 for Continue.
    INT_PTR Run(HWND owner);
    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    BOOL on_command(HWND dialog, WORD id, WORD code);

    std::wstring text_;
};

// The message, then "\r\n" and each line of the calling thread's trail (which ends with an empty line).
// Abort sends WM_CLOSE to the owner's top-level window (a pane closing itself would leave its object with
// a dead window and the program running). Then the trail is emptied.
void ShowErrorDialog(HWND owner, const std::wstring& message) noexcept;

// A message box with the error's message and caption (MB_OK); then the trail is emptied.
void ShowManageableError(HWND owner, const tfc::ManageableError& error) noexcept;

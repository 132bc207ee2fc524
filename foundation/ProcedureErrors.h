#pragma once
// The one error path of window and dialog procedures: what an exception becomes when it reaches a callback.
// Nothing here throws; an exception must never unwind through the platform's frames.
#include <windows.h>
#include <string>

namespace tamblewick_foundation_classes_v1_0 {

enum class ErrorHandling
{
    // ManageableError: a message box with its message and caption. Anything else: the trail line
    // "<Name> failed to process message %i with params %i, %i", then the error dialog.
    Full,
    // As Full, but a ManageableError is treated as an unexpected error (error dialog, "Unexpected error").
    NoManageable,
    // Swallowed without a word: for the error dialog itself, which must not open another one.
    Quiet,
};

// Call only from inside a catch block: shows the exception being handled the way `handling` says.
void report_procedure_error(HWND window, const wchar_t* name, ErrorHandling handling, UINT message,
                            WPARAM wparam, LPARAM lparam) noexcept;

} // namespace tamblewick_foundation_classes_v1_0

// The same handlers for operations that are not window procedures (a validate command, a node's context
// menu): call from inside `catch (...)`; `trail_line` (say "MsiFileTab failed to validate") goes to the
// trail before the error dialog, but not before the message box of a ManageableError.
void ShowCurrentError(HWND owner, const std::wstring& trail_line) noexcept;

#pragma once
// The shell tests' names for the shared modal driver: `step` runs every few milliseconds, also inside the
// dialog's own loop, until it answers true.
#include "support/WindowTesting.h"

#include <string>

namespace shell_testing {

using DialogDriver = window_testing::ModalDriver;

// The visible dialog box of this thread with that caption, or null.
inline HWND FindDialog(const std::wstring& caption)
{
    return window_testing::FindThreadDialog(caption);
}

// Clicks a dialog's button as the button reports it.
inline void PressButton(HWND dialog, int id)
{
    window_testing::ClickDialogButton(dialog, id);
}

} // namespace shell_testing

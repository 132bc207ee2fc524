#pragma once
// The shell tests' names for the shared modal driver: `step` runs every few milliseconds, also inside the
// dialog's own loop, until it answers true.
#include "resources/ShellIds.h"
#include "support/TestSupport.h"
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

// Import Tables through a tab's own command: the file dialog answers `file`, and OK in the dialog imports
// it. True once the dialog was there to drive.
template <class Tab> bool ImportThroughCommand(Tab& tab, const std::wstring& file)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, {file}, false});
    DialogDriver import([] {
        HWND window = FindDialog(L"Import Tables");
        if (!window)
            return false;
        PressButton(window, IDOK);
        return true;
    });
    tab.OnCommand(nullptr, ID_TABLES_IMPORT);
    return import.finished();
}

} // namespace shell_testing

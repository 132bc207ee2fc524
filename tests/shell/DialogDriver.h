#pragma once
// Works a modal dialog of this thread from a timer: `step` runs every few milliseconds, also inside the
// dialog's own loop, until it answers true.
#include <windows.h>
#include <functional>
#include <string>

namespace shell_testing {

class DialogDriver
{
public:
    explicit DialogDriver(std::function<bool()> step);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    bool finished() const;

private:
    UINT_PTR timer_;
};

// The visible dialog box of this thread with that caption, or null.
HWND FindDialog(const std::wstring& caption);
// Clicks a dialog's button as the button reports it.
void PressButton(HWND dialog, int id);

} // namespace shell_testing

#pragma once
// Helpers for tests that drive real windows: a registered test class, message pumping and a driver that
// works a modal dialog box from a timer while its modal loop runs.
#include <windows.h>
#include <functional>

namespace window_testing {

// "DravnettaTestWindow", registered once with DefWindowProcW.
const wchar_t* TestClassName();

// Dispatches this thread's messages until `done` answers true or `timeout_ms` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);
// Dispatches what is queued now.
void PumpPending();

// While alive, calls `step` every few milliseconds with the active dialog box of this thread (a
// "#32770" window), until `step` answers true. Use around a call that runs a modal dialog.
class DialogDriver
{
public:
    explicit DialogDriver(std::function<bool(HWND dialog)> step);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    bool finished() const;

private:
    UINT_PTR timer_;
};

// A click on a dialog's button, as the button itself reports it.
void ClickDialogButton(HWND dialog, int id);

} // namespace window_testing

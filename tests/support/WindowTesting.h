#pragma once
// Helpers for tests that drive real windows: a registered test class, message pumping, and drivers that
// work a modal loop (a dialog box, an editor, a menu) from a timer while it runs.
#include <windows.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace window_testing {

// "DravnettaTestWindow", registered once with DefWindowProcW.
const wchar_t* TestClassName();

// Dispatches what is queued now. A WM_QUIT (posted by a frame that closed) is dropped, so it cannot end a
// later loop.
void PumpPending();
// Dispatches this thread's messages until `done` answers true or `timeout_ms` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);
// Takes a WM_QUIT that a closing frame posted.
void DropQuitMessage();

// While alive, calls `step` every few milliseconds (also inside modal loops) until it answers true. A step
// that opens a nested loop of its own is not called again inside it.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<bool()> step, UINT interval_ms = 20);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    bool finished() const { return finished_; }

private:
    static void CALLBACK Drive(HWND, UINT, UINT_PTR timer, DWORD);

    std::function<bool()> step_;
    bool finished_ = false;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

// A ModalDriver whose step gets the active dialog box of this thread (a "#32770" window); it waits while
// there is none.
class DialogDriver : public ModalDriver
{
public:
    explicit DialogDriver(std::function<bool(HWND dialog)> step);
};

// The visible dialog box of this thread (a "#32770" window) with that caption (empty: any), or null.
HWND FindThreadDialog(const std::wstring& caption = std::wstring());

// GDI+ started once for the test program (screenshots, cell gradients).
void EnsureGdiplus();
// The screen shows what the window (with its children) has drawn.
bool ScreenShowsWindow(HWND window);
// What the screen shows of the window, as a PNG file (written whole, then moved in place), once the screen
// has caught up with the window's drawing (bounded).
void SaveScreenshot(HWND window, const std::wstring& path);

// What the screen shows in that rectangle (screen coordinates): top-down rows of 0x00RRGGBB pixels.
std::vector<DWORD> ScreenPixels(const RECT& rect);

// A 32-bit top-down device-independent bitmap of this size, as pixel comparisons read them.
BITMAPINFO TopDownBitmapInfo(int width, int height);

// Synthesized input, as a person's keys and mouse give it to the foreground window: the keys pressed
// in order and released in reverse (VK_CONTROL, VK_SHIFT, VK_MENU for Alt, letters as 'A'...).
void PressKeys(std::initializer_list<WORD> keys);
// Characters typed as a keyboard gives them, any Unicode character included.
void TypeText(const std::wstring& text);
// A left click at that point of the screen.
void ClickScreen(POINT point);
// Makes the window the foreground window (bounded); false when it did not become it.
bool BringToForeground(HWND window);

// A click on a dialog's button, as the button itself reports it.
void ClickDialogButton(HWND dialog, int id);

} // namespace window_testing

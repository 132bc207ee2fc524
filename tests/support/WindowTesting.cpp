#include "support/WindowTesting.h"

#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <cstring>
#include <map>
#include <vector>

namespace window_testing {
namespace {

std::map<UINT_PTR, ModalDriver*>& Drivers()
{
    static std::map<UINT_PTR, ModalDriver*> drivers;
    return drivers;
}

struct DialogSearch
{
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK find_dialog(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    if (!search->caption->empty()) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        if (*search->caption != text)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

} // namespace

const wchar_t* TestClassName()
{
    static ATOM atom = [] {
        WNDCLASSEXW window_class = {};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        window_class.lpszClassName = L"DravnettaTestWindow";
        return RegisterClassExW(&window_class);
    }();
    (void)atom;
    return L"DravnettaTestWindow";
}

void PumpPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

void PressKeys(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        inputs.push_back(input);
    }
    for (auto key = keys.end(); key != keys.begin();) {
        --key;
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = *key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(*key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t character : text) {
        for (DWORD flags : {DWORD(KEYEVENTF_UNICODE), DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = character;
            input.ki.dwFlags = flags;
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickScreen(POINT point)
{
    // Absolute positions run from 0 to 65535 across the primary screen.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(point.x, 65535, width - 1);
        input.mi.dy = MulDiv(point.y, 65535, height - 1);
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
    }
    inputs[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, inputs, sizeof(INPUT));
}

bool BringToForeground(HWND window)
{
    SetForegroundWindow(window);
    return PumpUntil([window] { return GetForegroundWindow() == window; });
}

void DropQuitMessage()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

ModalDriver::ModalDriver(std::function<bool()> step, UINT interval_ms) : step_(std::move(step))
{
    timer_ = SetTimer(nullptr, 0, interval_ms, &Drive);
    Drivers()[timer_] = this;
}

ModalDriver::~ModalDriver()
{
    KillTimer(nullptr, timer_);
    Drivers().erase(timer_);
}

void CALLBACK ModalDriver::Drive(HWND, UINT, UINT_PTR timer, DWORD)
{
    auto found = Drivers().find(timer);
    if (found == Drivers().end())
        return;
    ModalDriver* driver = found->second;
    if (driver->finished_ || driver->running_ || !driver->step_)
        return;
    driver->running_ = true;
    bool done = driver->step_();
    // The step may have ended the test's use of the driver; it is looked up again.
    found = Drivers().find(timer);
    if (found != Drivers().end() && found->second == driver) {
        driver->running_ = false;
        driver->finished_ = done;
    }
}

DialogDriver::DialogDriver(std::function<bool(HWND dialog)> step)
    : ModalDriver([step = std::move(step)] {
          HWND dialog = FindThreadDialog();
          return dialog && step(dialog);
      })
{
}

HWND FindThreadDialog(const std::wstring& caption)
{
    DialogSearch search = {&caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &find_dialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void EnsureGdiplus()
{
    static ULONG_PTR token = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR started = 0;
        Gdiplus::GdiplusStartup(&started, &input, nullptr);
        return started;
    }();
    (void)token;
}

namespace {

// The pixels of a rectangle of a device context, top-down 32 bits each.
std::vector<DWORD> CopyPixels(HDC source, int x, int y, int width, int height)
{
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size() * sizeof(DWORD));
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    return pixels;
}

} // namespace

bool ScreenShowsWindow(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC own = GetWindowDC(window);
    std::vector<DWORD> drawn = CopyPixels(own, 0, 0, width, height);
    ReleaseDC(window, own);
    HDC screen = GetDC(nullptr);
    std::vector<DWORD> shown = CopyPixels(screen, rect.left, rect.top, width, height);
    ReleaseDC(nullptr, screen);
    return drawn == shown;
}

std::vector<DWORD> ScreenPixels(const RECT& rect)
{
    HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels =
        CopyPixels(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void SaveScreenshot(HWND window, const std::wstring& path)
{
    EnsureGdiplus();
    // The screen shows a window's drawing a little later than it is drawn. Taken anyway when it never
    // catches up (another window on top): the picture is for a person, not an assertion.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpUntil([window] { return ScreenShowsWindow(window); }, 3000);
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        // The PNG encoder's class id.
        CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        // Written beside and then moved in place, so that a reader never sees half a file.
        std::wstring partial = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
        EXPECT_EQ(Gdiplus::Ok, image.Save(partial.c_str(), &png, nullptr));
        EXPECT_TRUE(MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

void ClickDialogButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

} // namespace window_testing

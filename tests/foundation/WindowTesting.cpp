#include "WindowTesting.h"

namespace window_testing {
namespace {

std::function<bool(HWND)> g_step;
bool g_finished = false;

BOOL CALLBACK find_dialog(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK drive(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_finished || !g_step)
        return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &find_dialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog && g_step(dialog))
        g_finished = true;
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
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

DialogDriver::DialogDriver(std::function<bool(HWND dialog)> step)
{
    g_step = std::move(step);
    g_finished = false;
    timer_ = SetTimer(nullptr, 0, 20, &drive);
}

DialogDriver::~DialogDriver()
{
    KillTimer(nullptr, timer_);
    g_step = nullptr;
}

bool DialogDriver::finished() const
{
    return g_finished;
}

void ClickDialogButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace window_testing

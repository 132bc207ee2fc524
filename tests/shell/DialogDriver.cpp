#include "DialogDriver.h"

namespace shell_testing {

namespace {

std::function<bool()> g_step;
bool g_finished = false;
bool g_running = false;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    // A step that opens a modal loop of its own must not run again inside it.
    if (g_finished || g_running)
        return;
    g_running = true;
    g_finished = g_step();
    g_running = false;
}

struct Search
{
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t name[16] = {}, text[256] = {};
    GetClassNameW(window, name, 16);
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && std::wstring(name) == L"#32770" && search->caption == text) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

DialogDriver::DialogDriver(std::function<bool()> step)
{
    g_step = std::move(step);
    g_finished = false;
    timer_ = SetTimer(nullptr, 0, 20, &OnTimer);
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

HWND FindDialog(const std::wstring& caption)
{
    Search search{caption};
    EnumThreadWindows(GetCurrentThreadId(), &Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PressButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

} // namespace shell_testing

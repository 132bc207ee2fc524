#pragma once
// Small things the row dialogs share.
#include <windows.h>
#include <string>

// The wait cursor while a piece of work runs; the arrow comes back however it ends.
class WaitCursor
{
public:
    WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The application's name (string 111), the caption of the dialogs' messages.
inline std::wstring DialogAppName()
{
    wchar_t buffer[260] = {};
    LoadStringW(GetModuleHandleW(nullptr), 111, buffer, 260);
    return buffer;
}

#include "foundation/WindowPlace.h"

#include <algorithm>
#include <string>

void CentreOver(HWND window, HWND over)
{
    if (!window || !over || !IsWindow(over) || IsIconic(over))
        return;
    RECT outer = {}, own = {};
    if (!GetWindowRect(over, &outer) || !GetWindowRect(window, &own))
        return;
    int width = own.right - own.left, height = own.bottom - own.top;
    int x = outer.left + (outer.right - outer.left - width) / 2;
    int y = outer.top + (outer.bottom - outer.top - height) / 2;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(over, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        x = std::max<int>(work.left, std::min<int>(x, work.right - width));
        y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    }
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ControlTextWidth(HWND control)
{
    int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    length = GetWindowTextW(control, &text[0], length + 1);
    int width = 0;
    if (HDC dc = GetDC(control)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        if (GetTextExtentPoint32W(dc, text.c_str(), length, &extent))
            width = extent.cx;
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }
    return width;
}

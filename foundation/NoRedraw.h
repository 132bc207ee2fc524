#pragma once
// Stops a window redrawing for a scope; it redraws and repaints at the end, also after a failure.
#include <windows.h>

class NoRedraw
{
public:
    explicit NoRedraw(HWND window) : window_(window) { SendMessageW(window_, WM_SETREDRAW, FALSE, 0); }
    ~NoRedraw()
    {
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    NoRedraw(const NoRedraw&) = delete;
    NoRedraw& operator=(const NoRedraw&) = delete;

private:
    HWND window_;
};

#pragma once
// One pane of the bottom strip.
#include <windows.h>

class LogTabWindow
{
public:
    virtual ~LogTabWindow() = default;
    virtual void Show() { ShowWindow(GetWindowHandle(), SW_SHOWNORMAL); }
    virtual void Hide() { ShowWindow(GetWindowHandle(), SW_HIDE); }
    virtual HWND GetWindowHandle() = 0;
};

#pragma once
// The wait cursor for as long as it lives; the arrow after, also when an exception leaves the scope.
#include <windows.h>

class WaitCursor
{
public:
    WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }
    ~WaitCursor() { SetCursor(LoadCursorW(nullptr, IDC_ARROW)); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

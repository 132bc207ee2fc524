#pragma once
// Layout sizes are written for 96 dots per inch; these scale them to the window's own DPI.
#include <windows.h>

namespace tamblewick_foundation_classes_v1_0 {

// The window's DPI where the system tells it per window, else the screen's; 96 when neither answers.
UINT window_dpi(HWND window) noexcept;

// `value` pixels at 96 DPI, in pixels at `dpi`.
inline int scale_to_dpi(int value, UINT dpi) noexcept
{
    return MulDiv(value, static_cast<int>(dpi), 96);
}

inline int scale_for(HWND window, int value) noexcept
{
    return scale_to_dpi(value, window_dpi(window));
}

} // namespace tamblewick_foundation_classes_v1_0

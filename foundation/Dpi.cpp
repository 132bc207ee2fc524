#include "foundation/Dpi.h"

namespace tamblewick_foundation_classes_v1_0 {

UINT window_dpi(HWND window) noexcept
{
    // Per-window DPI exists from Windows 10 on: looked up, so older systems still start.
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    static const auto get_dpi_for_window = reinterpret_cast<GetDpiForWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (window && get_dpi_for_window) {
        UINT dpi = get_dpi_for_window(window);
        if (dpi)
            return dpi;
    }
    UINT dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        int pixels = GetDeviceCaps(screen, LOGPIXELSY);
        if (pixels > 0)
            dpi = static_cast<UINT>(pixels);
        ReleaseDC(nullptr, screen);
    }
    return dpi;
}

} // namespace tamblewick_foundation_classes_v1_0

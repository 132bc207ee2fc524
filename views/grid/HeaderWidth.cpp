#include "views/grid/HeaderWidth.h"

#include <algorithm>
#include <commctrl.h>

int HeaderItemWidth(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    if (!header)
        return 0;
    wchar_t text[256] = {};
    HDITEMW item = {};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = 256;
    if (!SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item)))
        return 0;
    int width = 0;
    if (HDC dc = GetDC(header)) {
        auto font = reinterpret_cast<HFONT>(SendMessageW(header, WM_GETFONT, 0, 0));
        if (!font)
            font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SIZE extent = {};
        if (GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent))
            width = extent.cx;
        if (old)
            SelectObject(dc, old);
        ReleaseDC(header, dc);
    }
    // The header keeps three edges of margin on each side of the caption.
    width += 6 * GetSystemMetrics(SM_CXEDGE) + 2;
    if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) {
        RECT rect = {};
        SendMessageW(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&rect));
        width += std::max<int>(16, rect.bottom - rect.top);
    }
    return width;
}

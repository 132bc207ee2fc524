#include "foundation/ListScroll.h"

#include <commctrl.h>

namespace tamblewick_foundation_classes_v1_0 {

void ScrollBackToTop(HWND list, int top)
{
    int moved = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    if (moved == top)
        return;
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, moved, reinterpret_cast<LPARAM>(&row));
    SendMessageW(list, LVM_SCROLL, 0, (top - moved) * (row.bottom - row.top));
}

} // namespace tamblewick_foundation_classes_v1_0

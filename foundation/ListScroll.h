#pragma once
// Report lists whose item count is changed and set back (to clear a selection or fit a column at once)
// may scroll on the way.
#include <windows.h>

namespace tamblewick_foundation_classes_v1_0 {

// Scrolls the report list back so that row `top` is the first one shown again.
void ScrollBackToTop(HWND list, int top);

} // namespace tamblewick_foundation_classes_v1_0

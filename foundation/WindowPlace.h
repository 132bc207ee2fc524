#pragma once
// Where a popup opens: over the window it belongs to rather than where the system first put it.
#include <windows.h>

// Moves `window` so that its centre is the centre of `over`, kept inside the work area of the monitor
// that shows `over`. Without `over` (or when it is minimised) nothing moves.
void CentreOver(HWND window, HWND over);

// The width in pixels of the control's own text in its own font (0 when it cannot be measured).
int ControlTextWidth(HWND control);

#pragma once
// How wide a list view's column must be for its header to show the whole caption.
#include <windows.h>

// The caption in the header's font, its margins on both sides and, for a column with a sort arrow, room
// for the arrow. 0 when the list has no such column.
int HeaderItemWidth(HWND list, int column);

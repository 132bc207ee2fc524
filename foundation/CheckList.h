#pragma once
// Lists of check boxes (list-view controls in report view) from which a dialog's user picks items.
#include <windows.h>

// Check boxes and whole-row selection; before the rows go in, so that every row gets its check box.
void UseCheckBoxes(HWND list);
void CheckAll(HWND list);
void InvertChecks(HWND list);

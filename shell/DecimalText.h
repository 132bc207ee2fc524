#pragma once
// The property dialogs' number fields: decimal to the last character, an empty text counting as 0.
#include <windows.h>
#include <climits>
#include <string>

// False when the text is not such a number (or does not fit an int).
bool ParseDecimalField(const std::wstring& text, int& value);

// The control's text; false after the "Number only" message, with the focus put on the control. A number
// outside [lowest, highest] counts as invalid too.
bool ReadDecimalControl(HWND dialog, int control, int& value, int lowest = INT_MIN, int highest = INT_MAX);

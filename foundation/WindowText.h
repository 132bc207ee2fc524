#pragma once
// Reading texts out of controls; each adds a trail line and rethrows on failure.
#include <windows.h>
#include <string>

std::wstring GetWindowTextString(HWND window);
std::wstring GetComboBoxItemText(HWND combo, int item);
// 256 characters, then once 512: longer texts come back cut (owner-data lists supply their own texts).
std::wstring GetListViewItemText(HWND list, int item, int column);

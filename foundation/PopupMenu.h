#pragma once
// Context menus kept as resources: load, track, destroy.
#include <windows.h>
#include <functional>

// Shows the first submenu of menu resource `id` at a screen point, owned by `owner`, after `prepare` (may be
// empty) has greyed what does not apply; the chosen command, 0 for none. Throws Win32Error "LoadMenu".
UINT TrackResourceMenu(int id, POINT point, HWND owner,
                       const std::function<void(HMENU popup)>& prepare = nullptr);

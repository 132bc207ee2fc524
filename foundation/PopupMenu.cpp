#include "foundation/PopupMenu.h"

#include "foundation/Errors.h"

UINT TrackResourceMenu(int id, POINT point, HWND owner, const std::function<void(HMENU popup)>& prepare)
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    if (!menu)
        tfc::throw_last_error(L"LoadMenu");
    HMENU popup = GetSubMenu(menu, 0);
    UINT command = 0;
    if (popup) {
        if (prepare)
            prepare(popup);
        command = static_cast<UINT>(
            TrackPopupMenu(popup, TPM_RETURNCMD | TPM_NONOTIFY, point.x, point.y, 0, owner, nullptr));
    }
    DestroyMenu(menu);
    return command;
}

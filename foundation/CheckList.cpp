#include "foundation/CheckList.h"

#include <commctrl.h>

void UseCheckBoxes(HWND list)
{
    ListView_SetExtendedListViewStyleEx(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
                                        LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
}

void CheckAll(HWND list)
{
    for (int i = 0, count = ListView_GetItemCount(list); i < count; ++i)
        ListView_SetCheckState(list, i, TRUE);
}

void InvertChecks(HWND list)
{
    for (int i = 0, count = ListView_GetItemCount(list); i < count; ++i)
        ListView_SetCheckState(list, i, !ListView_GetCheckState(list, i));
}

#include "shell/SelectionDlg.h"

#include "foundation/CheckList.h"
#include "resources/ShellDialogsIds.h"

#include <commctrl.h>

SelectionDlg::SelectionDlg() : FormDialog(L"SelectionDlg") {}

INT_PTR SelectionDlg::DoModal(HWND owner)
{
    chosen_.clear();
    return run_modal(IDD_SELECTION, owner);
}

bool SelectionDlg::OnCommand(int id)
{
    if (id != IDC_SELECTION_INVERT)
        return false;
    InvertChecks(List());
    return true;
}

HWND SelectionDlg::List() const
{
    return GetDlgItem(dialog_, IDC_SELECTION_LIST);
}

BOOL SelectionDlg::OnInitDialog()
{
    HWND list = List();
    if (single_selection)
        SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SINGLESEL);
    UseCheckBoxes(list);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(L"Selection");
    column.cx = 100;
    ListView_InsertColumn(list, 0, &column);
    int index = 0;
    for (const auto& item : items) {
        LVITEMW entry = {};
        entry.mask = LVIF_TEXT | LVIF_PARAM;
        entry.iItem = index++;
        entry.pszText = const_cast<wchar_t*>(item.second.c_str());
        entry.lParam = item.first;
        ListView_InsertItem(list, &entry);
    }
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE);
    SetWindowTextW(dialog_, title.c_str());
    SetDlgItemTextW(dialog_, IDC_SELECTION_PROMPT, prompt.c_str());
    return TRUE;
}

void SelectionDlg::OnOk()
{
    HWND list = List();
    int count = ListView_GetItemCount(list);
    chosen_.clear();
    for (int i = 0; i < count; ++i) {
        if (!ListView_GetCheckState(list, i))
            continue;
        LVITEMW entry = {};
        entry.mask = LVIF_PARAM;
        entry.iItem = i;
        ListView_GetItem(list, &entry);
        auto found = items.find(static_cast<int>(entry.lParam));
        if (found != items.end())
            chosen_.insert(*found);
    }
    EndDialog(dialog_, IDOK);
}

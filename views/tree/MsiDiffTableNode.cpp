#include "views/tree/MsiDiffTableNode.h"

#include "foundation/MessageTrail.h"
#include "model/lookups/CellAppearance.h"
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "resources/NodesIds.h"
#include "views/tree/TableViewsTab.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/TreeView.h"

#include <stdexcept>

MsiDiffTableNode::MsiDiffTableNode(TableViewsTab* tab, std::shared_ptr<MsiTableLookupBase> lookup)
    : MsiTableNode(tab, lookup), diff_(dynamic_cast<MsiDiffTableLookupBasic*>(lookup.get()))
{
    if (!diff_)
        throw std::invalid_argument("MsiDiffTableNode needs a comparison lookup");
}

unsigned MsiDiffTableNode::TableStateFlag()
{
    if (!diff_->GetTable())
        return CELL_FILL_BASE_ONLY;
    if (!diff_->GetBaseTable() || diff_->HasDifferences())
        return CELL_FILL_DIFFERENT;
    return CELL_FILL_VALID;
}

bool MsiDiffTableNode::CanRevertTable()
{
    return !IsReadOnly() && diff_->GetTable() && diff_->GetBaseTable() && diff_->HasDifferences();
}

LRESULT MsiDiffTableNode::OnCustomDraw(NMTVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT:
        break;
    default:
        return 0;
    }
    TreeView* tree = GetTree();
    RECT rect = {};
    if (!tree || !tree->GetWindow() || !TreeView::GetItemRect(tree->GetWindow(), GetItem(), true, rect))
        return 0;
    HWND window = tree->GetWindow();
    HDC dc = draw->nmcd.hdc;
    CellPainter& painter = CurrentCellPainter();
    painter.Fill(dc, TableStateFlag(), rect);
    if (reinterpret_cast<HTREEITEM>(SendMessageW(window, TVM_GETNEXTITEM, TVGN_CARET, 0)) == GetItem())
        painter.Fill(dc, CELL_FILL_SELECTED, rect);
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    int old_mode = SetBkMode(dc, TRANSPARENT);
    COLORREF colour = static_cast<COLORREF>(SendMessageW(window, TVM_GETTEXTCOLOR, 0, 0));
    SetTextColor(dc, colour == CLR_NONE ? GetSysColor(COLOR_WINDOWTEXT) : colour);
    DrawTextW(dc, GetLabel().c_str(), static_cast<int>(GetLabel().size()), &rect, DT_SINGLELINE | DT_BOTTOM);
    SetBkMode(dc, old_mode);
    if (old_font)
        SelectObject(dc, old_font);
    return CDRF_SKIPDEFAULT;
}

void MsiDiffTableNode::OnTreeContextMenu(int x, int y)
{
    bool no_drop = IsReadOnly() || !diff_->GetTable() || !diff_->GetTable()->user_table();
    bool revert = CanRevertTable();
    UINT command = TrackMenu(IDM_DIFF_TREE_MENU, POINT{x, y}, [no_drop, revert](HMENU popup) {
        if (no_drop)
            EnableMenuItem(popup, ID_TABLE_DROP, MF_BYCOMMAND | MF_GRAYED);
        if (!revert)
            EnableMenuItem(popup, ID_REVERT_TO_BASE, MF_BYCOMMAND | MF_GRAYED);
    });
    if (command == ID_TABLE_EXPORT)
        GetTab()->ExportTable(diff_->GetTableName(), std::wstring());
    else if (command == ID_TABLE_DROP)
        GetTab()->DropTable(this);
    else if (command == ID_REVERT_TO_BASE && revert)
        RevertTable();
}

void MsiDiffTableNode::RevertTable()
{
    diff_->CreateEditableTable();
    // A table of another shape was made anew, which lists it afresh in the schema tables.
    for (const wchar_t* schema : {L"_Tables", L"_Columns"})
        if (MsiTableNode* node = GetTab()->FindTableNode(schema))
            if (node != this)
                node->Reload();
    if (ObjectWindow* list = AttachedList())
        OnSelected(list);
    Refresh(true);
}

void MsiDiffTableNode::RevertCell(int item, int column)
{
    diff_->RevertCell(column, item, SortColumn());
    Refresh(false);
}

void MsiDiffTableNode::GetFieldTip(std::wstring& text, int item, int column)
{
    MsiTableNode::GetFieldTip(text, item, column);
    if (item < 0 || item >= diff_->RowCount() || column < 0 || column >= diff_->ColumnCount() ||
        diff_->CellState(column, item, SortColumn()) != MsiDiffTableLookupBasic::CellChanged)
        return;
    std::wstring tip = L"Original value: " + diff_->GetOriginalCellText(column, item, SortColumn());
    if (!text.empty())
        tip += L"\r\n\r\n" + text;
    text = tip;
}

LRESULT MsiDiffTableNode::OnContextMenu(ObjectWindow& list, HWND, int x, int y)
{
    try {
        POINT point = ListMenuPoint(list, x, y);
        bool grey = IsReadOnly() || !diff_->GetTable();
        LVHITTESTINFO hit = {};
        hit.pt = point;
        ScreenToClient(list.GetWindowHandle(), &hit.pt);
        SendMessageW(list.GetWindowHandle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (static_cast<short>(x) == -1 || static_cast<short>(y) == -1) {
            hit.iItem = list.GetFocusedItem();
            hit.iSubItem = list.GetCurrentColumn();
        }
        bool revert =
            !IsReadOnly() && hit.iItem >= 0 && hit.iItem < diff_->RowCount() && hit.iSubItem >= 0 &&
            hit.iSubItem < diff_->ColumnCount() &&
            diff_->CellState(hit.iSubItem, hit.iItem, SortColumn()) == MsiDiffTableLookupBasic::CellChanged;
        UINT command = TrackMenu(IDM_DIFF_LIST_MENU, point, [this, grey, revert](HMENU popup) {
            SetEditingItemsState(popup, grey);
            if (!revert)
                EnableMenuItem(popup, ID_REVERT_TO_BASE, MF_BYCOMMAND | MF_GRAYED);
        });
        if (command == ID_REVERT_TO_BASE) {
            if (revert)
                RevertCell(hit.iItem, hit.iSubItem);
        } else if (command) {
            OnListCommand(command, point); // grey items cannot be chosen
        }
    } catch (...) {
        tfc::thread_messages().push_back(L"MsiDiffTableNode failed to handle the context menu");
        throw;
    }
    return 0;
}

#include "shell/TableRowsNode.h"

#include "shell/DocumentTab.h"
#include "views/grid/ObjectWindow.h"

#include <algorithm>

TableRowsNode::TableRowsNode(EditableMsiFileTab* document, std::shared_ptr<MsiTableLookupBase> lookup)
    : ContainerNode(CutLabel(lookup->GetTableName())), document_(document), lookup_(std::move(lookup))
{
}

int TableRowsNode::GetIconId()
{
    return lookup_->RowCount() > 0 ? 1001 : 1003;
}

void TableRowsNode::OnSelected(ObjectWindow* list)
{
    list_ = list;
    if (!list)
        return;
    std::vector<std::wstring> captions;
    for (int column = lookup_->FirstColumn(); column < lookup_->ColumnCount(); ++column)
        captions.push_back(lookup_->GetFieldDef(column)->name());
    list->SetHandler(this, captions, lookup_->RowCount(), 0, lookup_->GetSortDirection(0));
}

void TableRowsNode::OnDeselected()
{
    list_ = nullptr;
}

int TableRowsNode::SortColumn() const
{
    return list_ ? std::max(0, list_->GetSortColumn()) : 0;
}

LRESULT TableRowsNode::GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info)
{
    int item = info->item.iItem, column = info->item.iSubItem;
    if (!(info->item.mask & LVIF_TEXT))
        return 1;
    if (item < 0 || item >= lookup_->RowCount() || column < 0 || column >= lookup_->ColumnCount())
        SetDispText(info, std::wstring());
    else
        SetDispText(info, lookup_->GetCellText(column, item, SortColumn()));
    return 1;
}

LRESULT TableRowsNode::OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        int item = static_cast<int>(draw->nmcd.dwItemSpec), column = draw->iSubItem;
        if (item >= lookup_->RowCount() || column >= lookup_->ColumnCount())
            return CDRF_DODEFAULT;
        if (COLORREF colour = lookup_->GetCellTextColour(column, item, SortColumn()))
            draw->clrText = colour;
        UINT state = static_cast<UINT>(
            SendMessageW(list.GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
        return lookup_->DrawListCell(column, item, SortColumn(), list.GetWindowHandle(), 0, state,
                                     column == list.GetCurrentColumn());
    }
    }
    return CDRF_DODEFAULT;
}

void TableRowsNode::Sort(int old_column, int new_column, bool ascending)
{
    if (!list_)
        return;
    std::vector<int> selected = list_->GetSelectedItems();
    int focused = list_->GetFocusedItem();
    lookup_->Sort(new_column, ascending, std::max(0, old_column), selected, focused);
    list_->SetSelection(selected);
    if (focused >= 0)
        list_->FocusItem(focused);
}

InPlaceEditorPtr TableRowsNode::CreateEditor(ObjectWindow&, int item, int column)
{
    if (document_ && document_->IsReadOnly())
        return InPlaceEditorPtr();
    return CreateLookupEditor(lookup_, column, item, SortColumn(), this);
}

void TableRowsNode::Refresh(bool)
{
    if (document_)
        document_->SetDirty(true);
    if (list_) {
        list_->SetItemCount(lookup_->RowCount());
        InvalidateRect(list_->GetWindowHandle(), nullptr, FALSE);
    }
}

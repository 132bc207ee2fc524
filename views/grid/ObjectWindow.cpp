#include "views/grid/ObjectWindow.h"
#include "views/grid/ObjectBase.h"

#include "foundation/Options.h"

ObjectWindow::ObjectWindow() = default;

ObjectWindow::~ObjectWindow()
{
    if (window_ && IsWindow(window_))
        KillTimer(window_, kFieldTipTimer);
    if (handler_)
        handler_->attached_list_ = nullptr;
    handler_ = nullptr;
    DestroyControl();
}

void ObjectWindow::AddToolTip()
{
    if (tooltip_.IsCreated())
        return;
    tooltip_.Create(this);
    tooltip_.AddRelayedTool(window_);
}

void ObjectWindow::SetHandler(ObjectBase* handler, const std::vector<std::wstring>& columns, int item_count,
                              int sort_column, int direction)
{
    if (handler_ && handler_ != handler)
        handler_->attached_list_ = nullptr;
    if (handler && handler->attached_list_ && handler->attached_list_ != this)
        handler->attached_list_->DetachHandler(handler);
    handler_ = handler;
    paint_failed_ = false;
    if (handler_)
        handler_->attached_list_ = this;
    else
        SetItemCount(0);
    SendMessageW(window_, LVM_DELETEALLITEMS, 0, 0);
    SetColumns(columns);
    SetSortArrow(sort_column, direction);
    SetItemCount(item_count);
}

void ObjectWindow::SetItemCount(int count)
{
    SendMessageW(window_, LVM_SETITEMCOUNT, count, 0);
}

void ObjectWindow::DetachHandler(ObjectBase* handler)
{
    if (handler_ != handler)
        return;
    handler_ = nullptr;
    paint_failed_ = false;
    if (window_ && IsWindow(window_)) {
        SetItemCount(0);
        InvalidateRect(window_, nullptr, TRUE);
    }
}

void ObjectWindow::SetSortArrow(int column, int direction)
{
    sort_column_ = column;
    HWND header = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0));
    if (!header)
        return;
    int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == column && direction == 1)
            item.fmt |= HDF_SORTUP;
        else if (i == column && direction == 2)
            item.fmt |= HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
}

LRESULT ObjectWindow::OnContextMenu(int x, int y)
{
    return handler_ ? handler_->OnContextMenu(*this, window_, x, y) : 0;
}

LRESULT ObjectWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    tooltip_.RelayEvent(window, message, wparam, lparam);
    return NavigableListView::window_proc(window, message, wparam, lparam);
}

LRESULT ObjectWindow::OnMouseMove(WPARAM wparam, LPARAM lparam)
{
    if (gOptions.field_tips)
        SetTimer(window_, kFieldTipTimer, 400, nullptr);
    return NavigableListView::OnMouseMove(wparam, lparam);
}

LRESULT ObjectWindow::OnTimer(WPARAM timer)
{
    if (timer != kFieldTipTimer)
        return 1;
    POINT cursor = {};
    RECT bounds = {};
    GetCursorPos(&cursor);
    GetWindowRect(window_, &bounds);
    if (!PtInRect(&bounds, cursor))
        KillTimer(window_, kFieldTipTimer);
    else if (tooltip_.IsCreated())
        SendMessageW(tooltip_.control(), TTM_POPUP, 0, 0);
    return 0;
}

LRESULT ObjectWindow::OnClick(NMITEMACTIVATE* click)
{
    NavigableListView::OnClick(click);
    return handler_ ? handler_->OnClick(*this, click) : 0;
}

LRESULT ObjectWindow::OnKeyDown(NMLVKEYDOWN* key)
{
    NavigableListView::OnKeyDown(key);
    return handler_ ? handler_->OnKeyDown(*this, key) : 0;
}

InPlaceEditorPtr ObjectWindow::CreateEditor(int item, int column)
{
    return handler_ ? handler_->CreateEditor(*this, item, column) : InPlaceEditorPtr();
}

LRESULT ObjectWindow::OnGetDispInfo(NMLVDISPINFOW* info)
{
    if (handler_)
        return handler_->GetDispInfo(*this, info);
    NavigableListView::OnGetDispInfo(info);
    return 1;
}

LRESULT ObjectWindow::OnColumnClick(NMLISTVIEW* view)
{
    int column = view->iSubItem;
    ascending_ = column == sort_column_ ? !ascending_ : true;
    if (handler_) {
        handler_->Sort(sort_column_, column, ascending_);
        SetSortArrow(column, ascending_ ? 1 : 2);
    }
    InvalidateRect(window_, nullptr, TRUE);
    return 0;
}

LRESULT ObjectWindow::OnItemChanged(NMLISTVIEW* view)
{
    return handler_ ? handler_->OnItemChanged(*this, view) : 0;
}

LRESULT ObjectWindow::OnCustomDraw(NMLVCUSTOMDRAW* draw)
{
    if (!handler_)
        return CDRF_DODEFAULT;
    try {
        return handler_->OnCustomDraw(*this, draw);
    } catch (...) {
        // A paint that fails fails for every cell, also while the error dialog covers the list: the first
        // failure is reported, the others leave the cell to the control, until the list shows another
        // handler.
        if (paint_failed_)
            return CDRF_DODEFAULT;
        paint_failed_ = true;
        throw;
    }
}

void ObjectWindow::GetToolTipText(NMTTDISPINFOW* info)
{
    if (handler_) {
        handler_->GetToolTipText(info);
        return;
    }
    tooltip_text_.clear();
    info->lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
}

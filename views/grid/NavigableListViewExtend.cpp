// Cursor keys in a NavigableListView. With Shift: the selection extended by what changes, not by what is
// selected; the control itself sets every item of the new range one by one, asking the owner about each,
// which in a long list costs a second a key press. Without: the selection cleared in one go; the control
// sets every item of the list to clear it.
#include "views/grid/NavigableListView.h"
#include "foundation/ListScroll.h"

#include <algorithm>

int NavigableListView::KeyTarget(WORD key, int focused) const
{
    int count = GetItemCount();
    int top = static_cast<int>(SendMessageW(window_, LVM_GETTOPINDEX, 0, 0));
    int page = static_cast<int>(SendMessageW(window_, LVM_GETCOUNTPERPAGE, 0, 0));
    int target = -1;
    switch (key) {
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = count - 1;
        break;
    case VK_UP:
        target = focused > 0 ? focused - 1 : -1;
        break;
    case VK_DOWN:
        target = focused + 1 < count ? focused + 1 : -1;
        break;
    case VK_PRIOR:
        target = std::max(0, focused == top ? top - page + 1 : top);
        break;
    case VK_NEXT:
        target = std::min(count - 1, focused == top + page - 1 ? focused + page - 1 : top + page - 1);
        break;
    }
    return target;
}

void NavigableListView::NotifyKeyDown(WORD key)
{
    // As the control does: the owner hears of the key first.
    NMLVKEYDOWN press = {};
    press.hdr.hwndFrom = window_;
    press.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window_));
    press.hdr.code = LVN_KEYDOWN;
    press.wVKey = key;
    SendMessageW(GetParent(window_), WM_NOTIFY, press.hdr.idFrom, reinterpret_cast<LPARAM>(&press));
}

void NavigableListView::SetItemSelected(int item, bool selected)
{
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(window_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

bool NavigableListView::ExtendSelection(WORD key)
{
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    if ((style & LVS_SINGLESEL) || (style & LVS_TYPEMASK) != LVS_REPORT)
        return false;
    int count = GetItemCount();
    int mark = static_cast<int>(SendMessageW(window_, LVM_GETSELECTIONMARK, 0, 0));
    int focused = GetFocusedItem();
    int selected = static_cast<int>(SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0));
    if (mark < 0 || focused < 0 || selected != std::abs(focused - mark) + 1)
        return false;
    if (!extent_.valid || count != extent_.items || mark != extent_.mark || focused != extent_.focus) {
        // Not as the last extension left it: the range holds the selection when none is selected before
        // it and none after it. The control's own search asks the owner nothing.
        int first =
            static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        int after = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM,
                                                  static_cast<WPARAM>(std::max(mark, focused)),
                                                  LVNI_SELECTED | LVNI_BELOW));
        if (first != std::min(mark, focused) || after > std::max(mark, focused))
            return false;
    }
    int target = KeyTarget(key, focused);
    if (target < 0 || target >= count)
        return false;

    NotifyKeyDown(key);
    if (target == focused)
        return true;

    int old_low = std::min(mark, focused), old_high = std::max(mark, focused);
    int low = std::min(mark, target), high = std::max(mark, target);
    // Each range less the other is at most two runs, below and above what both share.
    auto set_runs = [this](int from, int to, int keep_low, int keep_high, bool selected) {
        for (int item = from; item <= std::min(to, keep_low - 1); ++item)
            SetItemSelected(item, selected);
        for (int item = std::max(from, keep_high + 1); item <= to; ++item)
            SetItemSelected(item, selected);
    };
    extending_ = true;
    try {
        set_runs(old_low, old_high, low, high, false);
        set_runs(low, high, old_low, old_high, true);
    } catch (...) {
        extending_ = false;
        extent_.valid = false;
        throw;
    }
    extending_ = false;
    LVITEMW focus = {};
    focus.stateMask = LVIS_FOCUSED;
    focus.state = LVIS_FOCUSED;
    SendMessageW(window_, LVM_SETITEMSTATE, target, reinterpret_cast<LPARAM>(&focus));
    SendMessageW(window_, LVM_ENSUREVISIBLE, target, FALSE);
    extent_.valid = true;
    extent_.mark = mark;
    extent_.focus = target;
    extent_.items = count;
    return true;
}

void NavigableListView::RecordExtent(int focused_before)
{
    // Only a moved focus says the control selected the range from the mark to it, and nothing else.
    extent_.focus = GetFocusedItem();
    extent_.mark = static_cast<int>(SendMessageW(window_, LVM_GETSELECTIONMARK, 0, 0));
    extent_.items = GetItemCount();
    int selected = static_cast<int>(SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0));
    extent_.valid = extent_.focus >= 0 && extent_.focus != focused_before && extent_.mark >= 0 &&
                    selected == std::abs(extent_.focus - extent_.mark) + 1;
}

bool NavigableListView::IsMultiSelectReport() const
{
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    return !(style & LVS_SINGLESEL) && (style & LVS_TYPEMASK) == LVS_REPORT;
}

bool NavigableListView::MoveSelection(WORD key)
{
    if (!IsMultiSelectReport())
        return false;
    int focused = GetFocusedItem();
    if (focused < 0)
        return false;
    int target = KeyTarget(key, focused);
    // Where the focus stays the control changes nothing.
    if (target < 0 || target >= GetItemCount() || target == focused)
        return false;
    NotifyKeyDown(key);
    extent_.valid = false;
    ClearSelection();
    LVITEMW state = {};
    state.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    state.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(window_, LVM_SETITEMSTATE, target, reinterpret_cast<LPARAM>(&state));
    SendMessageW(window_, LVM_SETSELECTIONMARK, 0, target);
    SendMessageW(window_, LVM_ENSUREVISIBLE, target, FALSE);
    UpdateWindow(window_);
    // The selection is the one item: a Shift key next needs no search of the list.
    extent_.valid = SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0) == 1;
    extent_.mark = extent_.focus = target;
    extent_.items = GetItemCount();
    return true;
}

void NavigableListView::ClearBeforeClick(POINT point)
{
    if (!IsMultiSelectReport() || SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0) < 2)
        return;
    LVHITTESTINFO hit = {};
    hit.pt = point;
    int item = static_cast<int>(SendMessageW(window_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    // A click on a selected item keeps the selection until the button comes up (it may start a drag).
    if (item < 0 || !(hit.flags & LVHT_ONITEM) ||
        SendMessageW(window_, LVM_GETITEMSTATE, item, LVIS_SELECTED) != 0)
        return;
    ClearSelection();
}

void NavigableListView::ClearSelection()
{
    if (SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return;
    int focused = GetFocusedItem();
    int count = GetItemCount();
    int top = static_cast<int>(SendMessageW(window_, LVM_GETTOPINDEX, 0, 0));
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(window_, LVM_SETITEMCOUNT, 0, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    SendMessageW(window_, LVM_SETITEMCOUNT, count, LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
    tfc::ScrollBackToTop(window_, top);
    // A control that keeps the selection past the count clears what is left item by item.
    if (SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0) > 0) {
        for (int item : GetSelectedItems())
            SetItemSelected(item, false);
    }
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, FALSE);
    NotifyItemChanged(-1, LVIS_SELECTED, 0);
    // The focus went with the selection: the owner hears of it as the control tells it, before whatever
    // the caller selects next.
    if (focused >= 0 && GetFocusedItem() != focused)
        NotifyItemChanged(focused, LVIS_FOCUSED, 0);
}

void NavigableListView::NotifyItemChanged(int item, UINT old_state, UINT new_state)
{
    NMLISTVIEW change = {};
    change.hdr.hwndFrom = window_;
    change.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(window_));
    change.hdr.code = LVN_ITEMCHANGED;
    change.iItem = item;
    change.uChanged = LVIF_STATE;
    change.uOldState = old_state;
    change.uNewState = new_state;
    SendMessageW(GetParent(window_), WM_NOTIFY, change.hdr.idFrom, reinterpret_cast<LPARAM>(&change));
}

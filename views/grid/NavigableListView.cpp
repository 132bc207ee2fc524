#include "views/grid/NavigableListView.h"
#include "foundation/TextWidths.h"
#include "views/grid/CellCursor.h"
#include "views/grid/HeaderWidth.h"

#include "foundation/Errors.h"
#include "foundation/WindowText.h"

#include <algorithm>
#include <windowsx.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

const COLORREF kCursorCellColour = RGB(224, 224, 255);
// Lists up to this long are fitted over every row; longer ones over their widest rows.
const int kFitEveryRowUpTo = 256;
const size_t kFitCandidates = 16;

RECT SubItemRect(HWND list, int item, int column, int part)
{
    RECT rect = {};
    rect.top = column;
    rect.left = part;
    if (!SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&rect)))
        SetRectEmpty(&rect);
    return rect;
}

} // namespace

NavigableListView::NavigableListView() : Window(L"NavigableListView") {}

NavigableListView::~NavigableListView()
{
    DestroyControl();
}

void NavigableListView::Create(HWND parent, HIMAGELIST images)
{
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_OWNERDATA | LVS_SHAREIMAGELISTS |
                                    LVS_SHOWSELALWAYS | LVS_REPORT,
                                10, 10, 400, 500, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list)
        tfc::throw_last_error(L"CreateWindowEx");
    window_ = list;
    attach(list);
    configure(images);
}

void NavigableListView::AttachControl(HWND list, HIMAGELIST images)
{
    window_ = list;
    attach(list);
    configure(images);
}

void NavigableListView::configure(HIMAGELIST images)
{
    SendMessageW(window_, CCM_SETVERSION, 5, 0);
    if (images)
        SendMessageW(window_, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    SendMessageW(window_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
}

void NavigableListView::DestroyControl()
{
    // The editor first: its edit control is a child of the list and must not commit while the list dies.
    editor_.reset();
    if (window_ && !IsWindow(window_))
        window_ = nullptr;
    destroy_window(window_);
}

void NavigableListView::SetColumns(const std::vector<std::wstring>& captions)
{
    // Under Wine a header without items paints nothing, so the captions it last drew stay on the screen:
    // a list without columns shows no header at all.
    LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    LONG_PTR wanted = captions.empty() ? style | LVS_NOCOLUMNHEADER : style & ~LVS_NOCOLUMNHEADER;
    if (wanted != style && (captions.empty() || header_hidden_)) {
        SetWindowLongPtrW(window_, GWL_STYLE, wanted);
        header_hidden_ = captions.empty();
    }
    for (int i = GetColumnCount() - 1; i >= 0; --i)
        SendMessageW(window_, LVM_DELETECOLUMN, i, 0);
    for (size_t i = 0; i < captions.size(); ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(captions[i].c_str());
        SendMessageW(window_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

int NavigableListView::GetColumnCount() const
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(window_, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::vector<int> NavigableListView::GetColumnOrder() const
{
    std::vector<int> order(GetColumnCount());
    if (!order.empty() && !SendMessageW(window_, LVM_GETCOLUMNORDERARRAY, order.size(),
                                        reinterpret_cast<LPARAM>(order.data()))) {
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
    }
    return order;
}

std::vector<int> NavigableListView::GetColumnWidths() const
{
    std::vector<int> widths;
    int count = GetColumnCount();
    for (int i = 0; i < count; ++i)
        widths.push_back(static_cast<int>(SendMessageW(window_, LVM_GETCOLUMNWIDTH, i, 0)));
    return widths;
}

void NavigableListView::SetColumnWidths(const std::vector<int>& widths)
{
    int count = std::min(static_cast<int>(widths.size()), GetColumnCount());
    for (int i = 0; i < count; ++i)
        SendMessageW(window_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(widths[i], 0));
}

void NavigableListView::AutoFitColumns()
{
    int count = GetColumnCount();
    int rows = GetItemCount();
    // Fitting asks for the text of every row of the column and measures it: on a long list only the
    // rows that are widest by the font's advance widths are shown to the control, which measures them
    // as it would have and comes to the same width. Only while nothing is selected or focused, which
    // a shorter item count would lose.
    bool sampled = rows > kFitEveryRowUpTo && SendMessageW(window_, LVM_GETSELECTEDCOUNT, 0, 0) == 0 &&
                   GetFocusedItem() < 0;
    std::vector<int> fitted, applied;
    try {
        for (int i = 0; i < count; ++i) {
            if (sampled) {
                fit_rows_ = WidestRows(i, rows, kFitCandidates);
                SendMessageW(window_, LVM_SETITEMCOUNT, fit_rows_.size(),
                             LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
            }
            SendMessageW(window_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
            applied.push_back(static_cast<int>(SendMessageW(window_, LVM_GETCOLUMNWIDTH, i, 0)));
            // Some controls fit the header by its bare text, without its margins and sort arrow: "Ti…".
            fitted.push_back(std::max(applied.back(), HeaderItemWidth(window_, i)));
        }
    } catch (...) {
        fit_rows_.clear();
        if (sampled)
            SendMessageW(window_, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
        throw;
    }
    if (sampled) {
        fit_rows_.clear();
        SendMessageW(window_, LVM_SETITEMCOUNT, rows, LVSICF_NOSCROLL);
    }
    RECT client = {};
    GetClientRect(window_, &client);
    std::vector<int> widths = cell_cursor::FitColumnWidths(fitted, client.right - client.left);
    for (int i = 0; i < count; ++i) {
        if (widths[i] != applied[i])
            SendMessageW(window_, LVM_SETCOLUMNWIDTH, i, MAKELPARAM(widths[i], 0));
    }
}

std::vector<int> NavigableListView::WidestRows(int column, int rows, size_t keep)
{
    wchar_t buffer[kFitTextLength + 1];
    std::vector<size_t> widest = tfc::WidestTexts(
        window_, static_cast<size_t>(rows), keep, kFitTextLength, [&](size_t row) -> const wchar_t* {
            buffer[0] = 0;
            NMLVDISPINFOW info = {};
            info.hdr.hwndFrom = window_;
            info.hdr.code = LVN_GETDISPINFOW;
            info.item.mask = LVIF_TEXT;
            info.item.iItem = static_cast<int>(row);
            info.item.iSubItem = column;
            info.item.pszText = buffer;
            info.item.cchTextMax = kFitTextLength + 1;
            OnGetDispInfo(&info);
            // The control measures what its own buffer takes of a text.
            return info.item.pszText == LPSTR_TEXTCALLBACKW ? nullptr : info.item.pszText;
        });
    return std::vector<int>(widest.begin(), widest.end());
}

int NavigableListView::GetItemCount() const
{
    return static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<int> NavigableListView::GetSelectedItems() const
{
    std::vector<int> items;
    int item =
        static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    while (item >= 0) {
        items.push_back(item);
        int next = static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, item, LVNI_SELECTED | LVNI_BELOW));
        if (next <= item)
            break; // the control answers the same item again at the end on some versions
        item = next;
    }
    return items;
}

void NavigableListView::SetSelection(const std::vector<int>& items)
{
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = 0;
    // Only the selected items: the control clears every item one by one, asking the owner about each.
    for (int item : GetSelectedItems())
        SendMessageW(window_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    for (int item : items)
        SendMessageW(window_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, FALSE);
}

void NavigableListView::SelectAll()
{
    // One message for every item: the owner-data control keeps selections as ranges.
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(window_, nullptr, FALSE);
}

int NavigableListView::GetFocusedItem() const
{
    return static_cast<int>(SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
}

void NavigableListView::FocusItem(int item)
{
    int previous = GetFocusedItem();
    LVITEMW state = {};
    state.stateMask = LVIS_FOCUSED;
    state.state = LVIS_FOCUSED;
    SendMessageW(window_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
    SendMessageW(window_, LVM_ENSUREVISIBLE, item, FALSE);
    SendMessageW(window_, LVM_SETSELECTIONMARK, 0, item);
    if (previous >= 0 && previous != item)
        RedrawItem(previous);
}

void NavigableListView::RedrawItem(int item)
{
    if (item >= 0)
        SendMessageW(window_, LVM_UPDATE, item, 0);
}

void NavigableListView::EnsureSubItemVisible(int item, int column)
{
    if (item < 0 || column < 0)
        return;
    SendMessageW(window_, LVM_ENSUREVISIBLE, item, FALSE);
    // The bounds of sub-item 0 are those of the whole row; its label is the column's own part.
    RECT cell = SubItemRect(window_, item, column, column == 0 ? LVIR_LABEL : LVIR_BOUNDS);
    RECT client = {};
    GetClientRect(window_, &client);
    int scroll = cell_cursor::ScrollToShow(cell, client.right);
    if (scroll != 0)
        SendMessageW(window_, LVM_SCROLL, scroll, 0);
}

void NavigableListView::BeginEdit(int item, int column)
{
    if (item < 0 || column < 0 || item >= GetItemCount() || column >= GetColumnCount())
        return;
    InPlaceEditorPtr editor = CreateEditor(item, column);
    if (!editor)
        return;
    editor_ = editor; // releases the previous editor
    RECT cell = SubItemRect(window_, item, column, LVIR_LABEL);
    // A dialog editor runs modally in here; the local holder keeps it alive should another edit
    // replace editor_ meanwhile.
    editor->BeginEdit(window_, cell);
}

bool NavigableListView::IsFocusedAndSelected(int item) const
{
    if (item < 0)
        return false;
    UINT state =
        static_cast<UINT>(SendMessageW(window_, LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
    return (state & (LVIS_FOCUSED | LVIS_SELECTED)) == (LVIS_FOCUSED | LVIS_SELECTED);
}

bool NavigableListView::DrawCellHighlight(NMLVCUSTOMDRAW* draw, LRESULT& result)
{
    result = CDRF_DODEFAULT;
    int item = static_cast<int>(draw->nmcd.dwItemSpec);
    int column = draw->iSubItem;
    UINT state =
        static_cast<UINT>(SendMessageW(window_, LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
    if (!(state & LVIS_SELECTED))
        return false;
    if (!(state & LVIS_FOCUSED) || column != current_column_)
        return true;

    RECT cell = SubItemRect(window_, item, column, LVIR_LABEL);
    RECT icon = SubItemRect(window_, item, column, LVIR_ICON);
    RECT area = cell;
    if (!IsRectEmpty(&icon))
        SubtractRect(&area, &cell, &icon);
    HDC dc = draw->nmcd.hdc;
    HBRUSH brush = CreateSolidBrush(kCursorCellColour);
    FillRect(dc, &area, brush);
    DeleteObject(brush);

    RECT text_rect = area;
    text_rect.bottom -= 1;
    text_rect.left += column == 0 ? 2 : 6;
    std::wstring text = GetListViewItemText(window_, item, column);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    COLORREF old_back = SetBkColor(dc, kCursorCellColour);
    COLORREF old_text = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), -1, &text_rect, DT_SINGLELINE | DT_BOTTOM | DT_NOPREFIX);
    SetTextColor(dc, old_text);
    SetBkColor(dc, old_back);
    if (old_font)
        SelectObject(dc, old_font);
    result = CDRF_SKIPDEFAULT;
    return true;
}

LRESULT NavigableListView::OnNotify(NMHDR* header)
{
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
        int item = info->item.iItem;
        if (!fit_rows_.empty() && item >= 0 && static_cast<size_t>(item) < fit_rows_.size()) {
            // The control may ask with its own loop's record: the item it asked for is put back.
            info->item.iItem = fit_rows_[item];
            LRESULT result = OnGetDispInfo(info);
            info->item.iItem = item;
            return result;
        }
        return OnGetDispInfo(info);
    }
    case LVN_KEYDOWN:
        return OnKeyDown(reinterpret_cast<NMLVKEYDOWN*>(header));
    case LVN_COLUMNCLICK:
        return OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header));
    case LVN_ITEMCHANGED:
        if (extending_)
            return 0;
        return OnItemChanged(reinterpret_cast<NMLISTVIEW*>(header));
    case NM_CUSTOMDRAW:
        return OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header));
    case NM_CLICK:
        return OnClick(reinterpret_cast<NMITEMACTIVATE*>(header));
    case NM_DBLCLK:
        return OnDoubleClick(reinterpret_cast<NMITEMACTIVATE*>(header));
    }
    return 0;
}

bool NavigableListView::HandleKey(WORD key, bool control_down)
{
    if (key < VK_RETURN || key > VK_F2)
        return false;
    int focused = GetFocusedItem();
    switch (key) {
    case VK_RETURN:
    case VK_F2:
        if (IsFocusedAndSelected(focused) && current_column_ >= 0)
            BeginEdit(focused, current_column_);
        return true;
    case VK_LEFT:
    case VK_RIGHT: {
        int step = key == VK_LEFT ? -1 : 1;
        if (focused < 0 || (step < 0 && current_column_ < 0))
            return true;
        current_column_ = cell_cursor::MoveColumn(GetColumnOrder(), current_column_, step);
        EnsureSubItemVisible(focused, current_column_);
        RedrawItem(focused);
        return true;
    }
    case 'A':
        if (control_down)
            SelectAll();
        return control_down;
    }
    return false;
}

void NavigableListView::RecordButtonDown(POINT client_point)
{
    LVHITTESTINFO hit = HitTest(client_point);
    if (hit.iItem >= 0) {
        UINT state = static_cast<UINT>(SendMessageW(window_, LVM_GETITEMSTATE, hit.iItem, LVIS_FOCUSED));
        clicked_item_was_focused_ = (state & LVIS_FOCUSED) != 0;
    }
}

void NavigableListView::HandleClick(POINT client_point)
{
    LVHITTESTINFO hit = HitTest(client_point);
    cell_cursor::ClickState state;
    state.item_valid = hit.iItem >= 0 && hit.iItem < GetItemCount();
    state.focused_and_selected = IsFocusedAndSelected(hit.iItem);
    state.was_focused = clicked_item_was_focused_;
    state.hit_column = hit.iSubItem;
    state.current_column = current_column_;
    if (cell_cursor::ClickEdits(state)) {
        BeginEdit(hit.iItem, hit.iSubItem);
        return;
    }
    current_column_ = hit.iSubItem;
    RedrawItem(hit.iItem);
}

void NavigableListView::HandleDoubleClick(POINT client_point)
{
    LVHITTESTINFO hit = HitTest(client_point);
    if (hit.iItem < 0) {
        current_column_ = hit.iSubItem;
        return;
    }
    BeginEdit(hit.iItem, hit.iSubItem);
}

LVHITTESTINFO NavigableListView::HitTest(POINT client_point) const
{
    LVHITTESTINFO hit = {};
    hit.pt = client_point;
    hit.iItem = -1;
    hit.iSubItem = -1;
    if (SendMessageW(window_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0)
        hit.iItem = -1;
    return hit;
}

POINT NavigableListView::click_point(const NMITEMACTIVATE* click) const
{
    if (click && (click->ptAction.x != 0 || click->ptAction.y != 0 || click->iItem >= 0))
        return click->ptAction;
    return message_point();
}

POINT NavigableListView::message_point() const
{
    DWORD position = GetMessagePos();
    POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ScreenToClient(window_, &point);
    return point;
}

LRESULT NavigableListView::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_KEYDOWN: {
        // Keys reach the cursor as LVN_KEYDOWN, which the control sends from here.
        auto key = static_cast<WORD>(wparam);
        bool cursor = key == VK_PRIOR || key == VK_NEXT || key == VK_END || key == VK_HOME || key == VK_UP ||
                      key == VK_DOWN;
        bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
        bool extension = cursor && shift && !control;
        if (extension && ExtendSelection(key))
            return 0;
        if (cursor && !shift && !control && MoveSelection(key))
            return 0;
        int focused = extension ? GetFocusedItem() : -1;
        extent_.valid = false;
        LRESULT result = call_previous_proc(window, message, wparam, lparam);
        if (extension)
            RecordExtent(focused);
        return result;
    }
    case LVM_SETITEMSTATE:
    case LVM_SETITEMW:
    case LVM_SETITEMA:
    case LVM_INSERTITEMW:
    case LVM_INSERTITEMA:
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
    case LVM_SETITEMCOUNT:
    case LVM_SETSELECTIONMARK:
    case WM_CHAR:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (!extending_)
            extent_.valid = false;
        return call_previous_proc(window, message, wparam, lparam);
    case WM_TIMER:
        return OnTimer(wparam) ? call_previous_proc(window, message, wparam, lparam) : 0;
    case WM_MOUSEMOVE:
        return OnMouseMove(wparam, lparam);
    case WM_LBUTTONDOWN:
        return OnLButtonDown(window, wparam, lparam);
    }
    return call_previous_proc(window, message, wparam, lparam);
}

LRESULT NavigableListView::OnLButtonDown(HWND window, WPARAM wparam, LPARAM lparam)
{
    extent_.valid = false;
    POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    RecordButtonDown(point);
    if (!(wparam & (MK_SHIFT | MK_CONTROL)))
        ClearBeforeClick(point);
    // The control runs its own mouse loop in here and reports NM_CLICK before it returns.
    return call_previous_proc(window, WM_LBUTTONDOWN, wparam, lparam);
}

LRESULT NavigableListView::OnMouseMove(WPARAM wparam, LPARAM lparam)
{
    return call_previous_proc(window_, WM_MOUSEMOVE, wparam, lparam);
}

LRESULT NavigableListView::OnTimer(WPARAM)
{
    return 1;
}

// The point the control reports with the click; the message position is only the fallback of a record
// without one, since it is the cursor's place when the click was not input (a posted or sent click).
LRESULT NavigableListView::OnClick(NMITEMACTIVATE* click)
{
    HandleClick(click_point(click));
    return 0;
}

LRESULT NavigableListView::OnDoubleClick(NMITEMACTIVATE* click)
{
    HandleDoubleClick(click_point(click));
    return 0;
}

LRESULT NavigableListView::OnKeyDown(NMLVKEYDOWN* key)
{
    HandleKey(key->wVKey, GetKeyState(VK_CONTROL) < 0);
    return 0;
}

InPlaceEditorPtr NavigableListView::CreateEditor(int, int)
{
    return {};
}

LRESULT NavigableListView::OnGetDispInfo(NMLVDISPINFOW* info)
{
    if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0)
        info->item.pszText[0] = 0;
    return 0;
}

LRESULT NavigableListView::OnColumnClick(NMLISTVIEW*)
{
    return 0;
}

LRESULT NavigableListView::OnItemChanged(NMLISTVIEW*)
{
    return 0;
}

LRESULT NavigableListView::OnCustomDraw(NMLVCUSTOMDRAW*)
{
    return CDRF_DODEFAULT;
}

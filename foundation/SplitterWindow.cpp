#include "foundation/SplitterWindow.h"

#include <windowsx.h>

SplitterWindow::SplitterWindow(bool vertical) : Window(L"SplitterWindow"), vertical_(vertical) {}

SplitterWindow::~SplitterWindow()
{
    destroy_window(bar_);
}

void SplitterWindow::Create(HWND parent, const std::vector<HWND>& leading, const std::vector<HWND>& trailing,
                            const std::vector<HWND>& shifted)
{
    parent_ = parent;
    leading_ = leading;
    trailing_ = trailing;
    shifted_ = shifted;
    const wchar_t* class_name = vertical_ ? L"SplitterWindow_vt" : L"SplitterWindow_hz";
    static bool registered[2] = {false, false};
    if (!registered[vertical_]) {
        tfc::register_window_class(class_name, vertical_ ? IDC_SIZEWE : IDC_SIZENS);
        registered[vertical_] = true;
    }
    bar_ = create_window(0, class_name, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent);
}

LRESULT SplitterWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    // Cursor positions are signed: left of or above the bar they are negative.
    POINT cursor = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
    case WM_CREATE:
        on_create(window);
        break;
    case WM_LBUTTONDOWN:
        on_button_down(window, cursor);
        return 0;
    case WM_MOUSEMOVE:
        on_mouse_move(window, cursor);
        break;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

RECT SplitterWindow::parent_rect(HWND window) const
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

POINT SplitterWindow::to_parent(HWND bar, POINT cursor) const
{
    MapWindowPoints(bar, parent_, &cursor, 1);
    return cursor;
}

void SplitterWindow::on_create(HWND bar)
{
    if (!parent_)
        parent_ = GetParent(bar);
    if (leading_.empty() || trailing_.empty())
        return;
    RECT lead = parent_rect(leading_.front());
    RECT trail = parent_rect(trailing_.front());
    last_ = {lead.right, lead.top};
    if (vertical_) {
        thickness_ = trail.left - lead.right;
        MoveWindow(bar, lead.right, lead.top, thickness_, lead.bottom - lead.top, FALSE);
    } else {
        thickness_ = trail.top - lead.bottom;
        MoveWindow(bar, lead.left, lead.bottom, lead.right - lead.left, thickness_, FALSE);
    }
}

void SplitterWindow::on_button_down(HWND bar, POINT cursor)
{
    SetCapture(bar);
    // The drag moves shifted windows by how far the cursor went from here; a position kept from creation
    // would be wrong after any re-layout.
    last_ = to_parent(bar, cursor);
}

void SplitterWindow::on_mouse_move(HWND bar, POINT cursor)
{
    if (GetCapture() != bar)
        return;
    POINT p = to_parent(bar, cursor);
    bool first = true;
    for (HWND window : leading_) {
        RECT r = parent_rect(window);
        if (vertical_)
            MoveWindow(window, r.left, r.top, p.x - r.left, r.bottom - r.top, TRUE);
        else
            MoveWindow(window, r.left, r.top, r.right - r.left, p.y - r.top, TRUE);
        if (first) {
            if (vertical_)
                MoveWindow(bar, p.x, r.top, thickness_, r.bottom - r.top, TRUE);
            else
                MoveWindow(bar, r.left, p.y, r.right - r.left, thickness_, TRUE);
            first = false;
        }
    }
    for (HWND window : trailing_) {
        RECT r = parent_rect(window);
        if (vertical_)
            MoveWindow(window, p.x + thickness_, r.top, r.right - thickness_ - p.x, r.bottom - r.top, TRUE);
        else
            MoveWindow(window, r.left, p.y + thickness_, r.right - r.left, r.bottom - thickness_ - p.y, TRUE);
    }
    int delta = vertical_ ? p.x - last_.x : p.y - last_.y;
    for (HWND window : shifted_) {
        RECT r = parent_rect(window);
        if (vertical_)
            MoveWindow(window, r.left + delta, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        else
            MoveWindow(window, r.left, r.top + delta, r.right - r.left, r.bottom - r.top, TRUE);
    }
    last_ = p;
}

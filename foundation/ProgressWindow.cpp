#include "foundation/ProgressWindow.h"

#include "foundation/Dpi.h"

#include <commctrl.h>

namespace {

const int kRowHeight = 63;
const int kWidth = 301;

} // namespace

ProgressWindow::ProgressWindow() : Window(L"ProgressWindow") {}

ProgressWindow::~ProgressWindow()
{
    destroy_window(window_);
}

HWND ProgressWindow::MakeControl(const wchar_t* class_name, const wchar_t* text, DWORD style, int x, int y,
                                 int width, int height)
{
    HWND control = CreateWindowExW(0, class_name, text, style, 0, 0, 0, 0, window_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control)
        tfc::throw_last_error(L"CreateWindowEx");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    auto px = [this](int value) { return tfc::scale_for(window_, value); };
    MoveWindow(control, px(x), px(y), px(width), px(height), FALSE);
    return control;
}

void ProgressWindow::Show(JobCanceller* canceller, const std::vector<Row>& rows, HWND owner)
{
    canceller_ = canceller;
    bool first = window_ == nullptr;
    if (first) {
        tfc::register_window_class(L"ProgressWindow");
        window_ = create_window(WS_EX_TOOLWINDOW, L"ProgressWindow", L"Progress", WS_OVERLAPPED | WS_CAPTION,
                                0, 0, 0, 0, owner);
        cancel_ = CreateWindowExW(0, WC_BUTTONW, L"Cancel", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window_,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!cancel_)
            tfc::throw_last_error(L"CreateWindowEx");
        SendMessageW(cancel_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
    DestroyRows();
    rows_ = rows;
    for (size_t i = 0; i < rows_.size(); ++i) {
        int top = kRowHeight * static_cast<int>(i);
        actions_.push_back(
            MakeControl(WC_STATICW, L"Action", WS_CHILD | WS_VISIBLE | SS_ENDELLIPSIS, 7, top + 7, 280, 14));
        details_.push_back(MakeControl(WC_STATICW, L"Detail", WS_CHILD | WS_VISIBLE, 7, top + 28, 280, 14));
        bars_.push_back(MakeControl(PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, 7, top + 49, 280, 14));
    }
    int count = static_cast<int>(rows_.size());
    auto px = [this](int value) { return tfc::scale_for(window_, value); };
    MoveWindow(cancel_, px(7), px(kRowHeight * count + 7), px(70), px(21), FALSE);
    EnableWindow(cancel_, TRUE);
    int height = px(kRowHeight * count + 56);
    int width = px(kWidth);
    if (first) {
        RECT owner_rect = {};
        if (owner)
            GetWindowRect(owner, &owner_rect);
        SetWindowPos(window_, nullptr, owner_rect.right - width, owner_rect.bottom - height, width, height,
                     SWP_NOZORDER);
    } else {
        SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
    }
    ShowWindow(window_, SW_SHOWNORMAL);
    SetFocus(cancel_);
}

void ProgressWindow::ShowJobProgress(JobCanceller* canceller, HWND owner, int rows)
{
    Show(canceller, std::vector<Row>(rows > 0 ? rows : 0), owner);
}

void ProgressWindow::Hide()
{
    if (window_)
        ShowWindow(window_, SW_HIDE);
}

void ProgressWindow::DestroyRows()
{
    for (auto* controls : {&actions_, &details_, &bars_}) {
        for (HWND control : *controls)
            DestroyWindow(control);
        controls->clear();
    }
}

void ProgressWindow::SetPosition(size_t row, int position)
{
    if (row < bars_.size())
        PostMessageW(bars_[row], PBM_SETPOS, position, 0);
}

void ProgressWindow::SetDetail(size_t row, const std::wstring& text)
{
    if (row < details_.size()) {
        std::wstring line = L"\t" + text;
        SendMessageW(details_[row], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

void ProgressWindow::SetAction(size_t row, const std::wstring& text)
{
    if (row < actions_.size()) {
        std::wstring line = L"Action: " + text;
        SendMessageW(actions_[row], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

LRESULT ProgressWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CLOSE:
        // The user cannot close it; the job's end hides it.
        return 0;
    case WM_COMMAND:
        if (HIWORD(wparam) == BN_CLICKED && reinterpret_cast<HWND>(lparam) == cancel_) {
            // Once per job: Wine's button still reports a BM_CLICK while it is disabled.
            if (!IsWindowEnabled(cancel_))
                return 0;
            EnableWindow(cancel_, FALSE);
            if (canceller_)
                canceller_->Cancel();
            return 0;
        }
        break;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

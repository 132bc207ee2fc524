#include "shell/LogTabsWindow.h"
#include "shell/MainWindow.h"
#include "validation/ValidationWindow.h"
#include "views/tree/TableViewsTab.h"

#include <commctrl.h>

LogTabsWindow::LogTabsWindow() : Window(L"LogTabsWindow"), validation_(std::make_unique<ValidationWindow>())
{
}

LogTabsWindow::~LogTabsWindow()
{
    destroy_window(window_);
}

LogTabWindow& LogTabsWindow::ValidationPane()
{
    return *validation_;
}

void LogTabsWindow::Create(MainWindow* frame, HWND parent, int x, int y, int width, int height)
{
    frame_ = frame;
    create_window(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"",
                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | TCS_MULTILINE | TCS_VERTICAL, x, y, width, height,
                  parent);
    SendMessageW(window_, TCM_SETIMAGELIST, 0,
                 reinterpret_cast<LPARAM>(frame ? frame->GetImageList() : nullptr));
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    struct
    {
        int image;
        LogTabWindow* pane;
    } items[] = {{7, &row_links_}, {2, validation_.get()}};
    for (int i = 0; i < 2; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_IMAGE | TCIF_PARAM;
        item.iImage = items[i].image;
        item.lParam = reinterpret_cast<LPARAM>(items[i].pane);
        SendMessageW(window_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    tip_.Create(this);
    const wchar_t* texts[] = {L"Row Relationships", L"Validation Window"};
    for (int i = 0; i < 2; ++i) {
        RECT rect = {};
        SendMessageW(window_, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&rect));
        tip_.AddTool(window_, i, rect, texts[i]);
    }
    OnSize();
}

LRESULT LogTabsWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: {
        LRESULT result = call_previous_proc(window, message, wparam, lparam);
        OnCreate(window);
        return result;
    }
    case WM_SIZE: {
        LRESULT result = call_previous_proc(window, message, wparam, lparam);
        OnSize();
        return result;
    }
    }
    return call_previous_proc(window, message, wparam, lparam);
}

RECT LogTabsWindow::PaneRect() const
{
    RECT client = {}, tab = {};
    GetClientRect(window_, &client);
    if (SendMessageW(window_, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab)))
        client.left = tab.right;
    InflateRect(&client, -2, -2);
    return client;
}

void LogTabsWindow::OnCreate(HWND window)
{
    window_ = window;
    RECT rect = PaneRect();
    MainWindow* frame = frame_;
    row_links_.Create(window, rect, frame ? frame->GetImageList() : nullptr, [frame]() -> TableViewsTab* {
        return frame ? dynamic_cast<TableViewsTab*>(frame->GetTabs().CurrentTab()) : nullptr;
    });
    validation_->Create(window, frame_ ? &frame_->GetTabs() : nullptr);
    MoveWindow(validation_->GetWindowHandle(), rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, FALSE);
    row_links_.Show();
    validation_->Hide();
}

void LogTabsWindow::OnSize()
{
    if (!window_)
        return;
    RECT rect = PaneRect();
    for (LogTabWindow* pane :
         {static_cast<LogTabWindow*>(&row_links_), static_cast<LogTabWindow*>(validation_.get())})
        MoveWindow(pane->GetWindowHandle(), rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, TRUE);
}

void LogTabsWindow::OnSelectionChange()
{
    if (SendMessageW(window_, TCM_GETCURSEL, 0, 0) == 1) {
        validation_->Show();
        row_links_.Hide();
    } else {
        validation_->Hide();
        row_links_.Show();
    }
}

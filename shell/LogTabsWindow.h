#pragma once
// The bottom pane: a vertical tab strip that switches between the row-relationship pane and the
// validation results pane.
#include "foundation/ToolTip.h"
#include "foundation/Window.h"
#include "frame/LogTabWindow.h"
#include "views/dialogs/RowLinksWindow.h"

#include <memory>

class MainWindow;
class ValidationWindow;

class LogTabsWindow : public tfc::Window, private ToolTip::Sink
{
public:
    LogTabsWindow();
    ~LogTabsWindow() override;

    void Create(MainWindow* frame, HWND parent, int x, int y, int width, int height);
    HWND GetWindowHandle() const { return window_; }
    RowLinksWindow& RowLinksPane() { return row_links_; }
    LogTabWindow& ValidationPane();
    ValidationWindow& Validation() { return *validation_; }
    // The tips that name the two icon-only tabs.
    HWND GetToolTipWindow() const { return tip_.control(); }
    // TCN_SELCHANGE, which the frame receives: shows the pane of the selected tab.
    void OnSelectionChange();

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnCreate(HWND window);
    void OnSize();
    RECT PaneRect() const;

    HWND window_ = nullptr;
    MainWindow* frame_ = nullptr;
    std::unique_ptr<ValidationWindow> validation_;
    RowLinksWindow row_links_;
    ToolTip tip_;
};

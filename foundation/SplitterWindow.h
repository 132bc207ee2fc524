#pragma once
// A draggable bar between panes: dragging it resizes the windows before and after it and moves the
// shifted windows along with it. The bar places itself between the first leading and the first trailing
// window when it is created; its thickness is the gap between them.
//
//     SplitterWindow splitter(false);                    // horizontal: the bar moves up and down
//     splitter.Create(frame, {tabs}, {bottom_pane});      // after the panes are placed
//     MoveWindow(splitter.bar(), ...);                    // the owner's re-layout moves the bar too
#include "foundation/Window.h"

#include <windows.h>
#include <vector>

class SplitterWindow : public tfc::Window
{
public:
    // `vertical`: a bar that moves left and right.
    explicit SplitterWindow(bool vertical);
    ~SplitterWindow() override;

    // Creates the bar as a visible child of `parent`. Leading windows end at the bar, trailing windows
    // start after it (their far edges stay), shifted windows move with it keeping their size.
    void Create(HWND parent, const std::vector<HWND>& leading, const std::vector<HWND>& trailing,
                const std::vector<HWND>& shifted = {});

    HWND bar() const { return bar_; }
    bool vertical() const { return vertical_; }
    int thickness() const { return thickness_; }

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void on_create(HWND bar);
    void on_button_down(HWND bar, POINT cursor);
    void on_mouse_move(HWND bar, POINT cursor);
    // A window's rectangle in the parent's client coordinates.
    RECT parent_rect(HWND window) const;
    POINT to_parent(HWND bar, POINT cursor) const;

    HWND bar_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<HWND> shifted_;
    std::vector<HWND> leading_;
    std::vector<HWND> trailing_;
    bool vertical_;
    int thickness_ = 0;
    POINT last_ = {0, 0};
};

#include "support/WindowTesting.h"
#include "foundation/SplitterWindow.h"

#include <gtest/gtest.h>

namespace {

// A parent with panes at fixed places; rectangles are read back in the parent's client coordinates.
class Panes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent_ = CreateWindowExW(0, window_testing::TestClassName(), L"panes", WS_OVERLAPPEDWINDOW, 50, 50,
                                  400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(parent_); }

    HWND pane(int x, int y, int width, int height)
    {
        return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, x, y, width, height, parent_,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    RECT rect(HWND window)
    {
        RECT r = {};
        GetWindowRect(window, &r);
        MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // Button down at `from` and a move to `to`, both in the bar's client coordinates, then button up.
    static void drag(HWND bar, POINT from, POINT to)
    {
        SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    }

    HWND parent_ = nullptr;
};

void expect_rect(const RECT& r, int left, int top, int right, int bottom)
{
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

} // namespace

TEST_F(Panes, VerticalBarDragsBothWaysIncludingNegativeCursorPositions)
{
    HWND left = pane(0, 0, 100, 200);
    HWND right = pane(105, 0, 95, 200);
    HWND shifted = pane(120, 210, 30, 20);
    SplitterWindow splitter(true);
    splitter.Create(parent_, {left}, {right}, {shifted});
    EXPECT_EQ(splitter.thickness(), 5);
    expect_rect(rect(splitter.bar()), 100, 0, 105, 200);

    drag(splitter.bar(), {0, 50}, {30, 50});
    expect_rect(rect(left), 0, 0, 130, 200);
    expect_rect(rect(right), 135, 0, 200, 200);
    expect_rect(rect(shifted), 150, 210, 180, 230);
    expect_rect(rect(splitter.bar()), 130, 0, 135, 200);

    // Left of the bar the cursor's x is negative, not a number near 65535.
    drag(splitter.bar(), {0, 50}, {-40, 50});
    expect_rect(rect(left), 0, 0, 90, 200);
    expect_rect(rect(right), 95, 0, 200, 200);
    expect_rect(rect(shifted), 110, 210, 140, 230);
}

TEST_F(Panes, HorizontalBarAndTheFirstDragAfterARelayout)
{
    HWND top = pane(5, 5, 300, 100);
    HWND bottom = pane(5, 110, 300, 80);
    HWND shifted = pane(320, 120, 20, 20);
    SplitterWindow splitter(false);
    splitter.Create(parent_, {top}, {bottom}, {shifted});
    EXPECT_EQ(splitter.thickness(), 5);
    expect_rect(rect(splitter.bar()), 5, 105, 305, 110);

    // The owner lays everything out again 50 pixels lower, as a frame does on WM_SIZE.
    MoveWindow(top, 5, 5, 300, 150, TRUE);
    MoveWindow(bottom, 5, 160, 300, 30, TRUE);
    MoveWindow(splitter.bar(), 5, 155, 300, 5, TRUE);
    MoveWindow(shifted, 320, 170, 20, 20, TRUE);

    drag(splitter.bar(), {10, 0}, {10, -20}); // 20 pixels up
    expect_rect(rect(top), 5, 5, 305, 135);
    expect_rect(rect(bottom), 5, 140, 305, 190);
    expect_rect(rect(shifted), 320, 150, 340, 170); // moved by the true delta
    expect_rect(rect(splitter.bar()), 5, 135, 305, 140);
}

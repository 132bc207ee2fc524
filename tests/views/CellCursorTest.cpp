// The cell cursor's decisions: column moves in display order, what a click does, auto-fit, scrolling.
#include "views/grid/CellCursor.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <numeric>

using cell_cursor::ClickEdits;
using cell_cursor::ClickState;
using cell_cursor::FitColumnWidths;
using cell_cursor::MoveColumn;
using cell_cursor::ScrollToShow;

TEST(CellCursor, MovesFollowTheDisplayOrderAndStopAtTheEnds)
{
    std::vector<int> dragged = {2, 0, 1}; // the user dragged column 2 to the front
    EXPECT_EQ(2, MoveColumn(dragged, -1, +1)) << "Right without a cursor starts at the first shown column";
    EXPECT_EQ(-1, MoveColumn(dragged, -1, -1)) << "Left without a cursor does nothing";
    EXPECT_EQ(0, MoveColumn(dragged, 2, +1));
    EXPECT_EQ(1, MoveColumn(dragged, 0, +1));
    EXPECT_EQ(1, MoveColumn(dragged, 1, +1)) << "Right at the last shown column stays";
    EXPECT_EQ(2, MoveColumn(dragged, 2, -1)) << "Left at the first shown column stays";
    EXPECT_EQ(2, MoveColumn(dragged, 0, -1));
    EXPECT_EQ(3, MoveColumn({}, 3, +1)) << "no columns: nothing moves";
}

TEST(CellCursor, OnlyASecondClickOnTheCurrentCellOfTheFocusedRowEdits)
{
    ClickState second;
    second.item_valid = true;
    second.focused_and_selected = true;
    second.was_focused = true;
    second.hit_column = 2;
    second.current_column = 2;
    EXPECT_TRUE(ClickEdits(second));

    ClickState first = second;
    first.was_focused = false; // the click that focused the row only moves the cursor
    EXPECT_FALSE(ClickEdits(first));

    ClickState other_column = second;
    other_column.hit_column = 1;
    EXPECT_FALSE(ClickEdits(other_column));

    ClickState no_item = second;
    no_item.item_valid = false;
    EXPECT_FALSE(ClickEdits(no_item));

    ClickState beyond_columns = second;
    beyond_columns.hit_column = beyond_columns.current_column = -1;
    EXPECT_FALSE(ClickEdits(beyond_columns));
}

TEST(CellCursor, AutoFitCapsColumnsAndFitsTheClientWidth)
{
    // Everything fits: only the first column's 5 pixels and the cap apply.
    EXPECT_EQ((std::vector<int>{85, 60}), FitColumnWidths({80, 60}, 1000));
    EXPECT_EQ((std::vector<int>{500, 100}), FitColumnWidths({700, 100}, 1000))
        << "the first column above 500 gets no extra pixels";

    // Too wide: the narrow columns keep their width, the wide ones share the rest.
    std::vector<int> widths = FitColumnWidths({40, 450, 480, 300}, 800);
    ASSERT_EQ(4u, widths.size());
    EXPECT_EQ(45, widths[0]);
    for (int width : widths)
        EXPECT_LE(width, cell_cursor::kMaxWidth);
    EXPECT_EQ(widths[1], widths[2]);
    EXPECT_EQ(LVSCW_AUTOSIZE_USEHEADER, widths[3]) << "the last column fills what is left";

    // A last column that was capped must not push the sum past the client width.
    widths = FitColumnWidths({900, 900, 900}, 600);
    ASSERT_EQ(3u, widths.size());
    EXPECT_LE(std::accumulate(widths.begin(), widths.end(), 0), 600);
    EXPECT_EQ(200, widths[0]);
}

TEST(CellCursor, ScrollsOnlyWhenTheCellIsOutOfView)
{
    EXPECT_EQ(0, ScrollToShow(RECT{10, 0, 100, 20}, 300));
    EXPECT_EQ(-30, ScrollToShow(RECT{-30, 0, 60, 20}, 300));
    EXPECT_EQ(60, ScrollToShow(RECT{200, 0, 360, 20}, 300)) << "right edge brought to the client edge";
    EXPECT_EQ(250, ScrollToShow(RECT{250, 0, 700, 20}, 300)) << "a cell wider than the list: its left edge";
}

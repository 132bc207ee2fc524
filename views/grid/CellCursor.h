#pragma once
// The decisions of the list's cell cursor, apart from the control, so that they can be checked without
// synthesized input: column moves in display order, what a click does, how columns are fitted.
#include <windows.h>
#include <vector>

namespace cell_cursor {

// The column that Left (step -1) or Right (step +1) makes current, given the header's display order.
// Right with no current column (-1) gives the first column in display order; Left with none stays -1;
// at either end the column stays where it is.
int MoveColumn(const std::vector<int>& display_order, int current, int step);

// A click on (item, column): edit the cell, or only move the cursor there.
struct ClickState
{
    bool item_valid = false;
    bool focused_and_selected = false; // the hit item now
    bool was_focused = false;          // the hit item had the focus before the button went down
    int hit_column = -1;
    int current_column = -1;
};
bool ClickEdits(const ClickState& state);

// Widths for auto-fit: `fitted` are the widths each column took when sized to its contents and header.
// No column is wider than kMaxWidth; when they do not fit the client width, the wide columns share what
// the narrow ones leave. The last column may come back as LVSCW_AUTOSIZE_USEHEADER (fill the rest).
constexpr int kMaxWidth = 500;
std::vector<int> FitColumnWidths(const std::vector<int>& fitted, int client_width);

// How far to scroll horizontally so that a cell (its bounds in client coordinates) is in view; 0 when it
// already is.
int ScrollToShow(const RECT& cell, int client_width);

} // namespace cell_cursor

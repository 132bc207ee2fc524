#include "views/grid/CellCursor.h"

#include <commctrl.h>
#include <algorithm>

namespace cell_cursor {

int MoveColumn(const std::vector<int>& display_order, int current, int step)
{
    if (display_order.empty())
        return current;
    if (current < 0)
        return step > 0 ? display_order.front() : current;
    auto at = std::find(display_order.begin(), display_order.end(), current);
    if (at == display_order.end())
        return step > 0 ? display_order.front() : current;
    if (step < 0)
        return at == display_order.begin() ? current : *(at - 1);
    return at + 1 == display_order.end() ? current : *(at + 1);
}

bool ClickEdits(const ClickState& state)
{
    return state.item_valid && state.focused_and_selected && state.hit_column == state.current_column &&
           state.hit_column >= 0 && state.was_focused;
}

std::vector<int> FitColumnWidths(const std::vector<int>& fitted, int client_width)
{
    std::vector<int> widths;
    widths.reserve(fitted.size());
    for (size_t i = 0; i < fitted.size(); ++i) {
        int width = fitted[i];
        if (i == 0 && width < kMaxWidth)
            width += 5;
        widths.push_back(std::min(width, kMaxWidth));
    }
    long long total = 0;
    for (int width : widths)
        total += width;
    if (widths.empty() || total <= client_width)
        return widths;

    int share = client_width / static_cast<int>(widths.size());
    int left = client_width;
    int remaining = 0;
    for (int width : widths) {
        if (width < share)
            left -= width;
        else
            ++remaining;
    }
    if (remaining == 0)
        return widths;
    int each = std::max(0, left / remaining);
    int given = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] < share)
            continue;
        bool last = i + 1 == widths.size();
        if (!last) {
            widths[i] = each;
            given += each;
        } else if (fitted[i] < kMaxWidth) {
            widths[i] = LVSCW_AUTOSIZE_USEHEADER;
        } else {
            // A fixed 500 here could push the sum past the client width: the last column takes what is left.
            widths[i] = std::max(0, std::min(kMaxWidth, left - given));
        }
    }
    return widths;
}

int ScrollToShow(const RECT& cell, int client_width)
{
    if (cell.left < 0)
        return cell.left;
    if (cell.right <= client_width)
        return 0;
    if (cell.right - cell.left > client_width)
        return cell.left;
    return cell.right - client_width;
}

} // namespace cell_cursor

// The look of a table's cells: tips from the column's checks and required relationships, and the cells
// the lookup paints itself (problem cells, the selection and the cell cursor).
#include "model/lookups/CellAppearance.h"
#include "model/lookups/MsiTableLookup.h"

#include <commctrl.h>

std::wstring CellTipText(const MsiFieldDef& def, const MsiFieldData& cell, const std::wstring& relationships)
{
    std::wstring tip;
    for (const auto& message : def.validate(cell)) {
        if (!tip.empty())
            tip += L"\r\n";
        tip += message.second;
    }
    if (!tip.empty())
        tip += L"\r\n";
    return tip + relationships;
}

std::wstring MsiTableLookup::GetCellTipText(int column, int position, int sort_column)
{
    RowIterator row = GetIndexedRow(position, sort_column);
    MsiFieldDefRef def = GetFieldDef(column);
    return CellTipText(*def, *GetRowField(column, row), CheckRequiredRelationships(*def, row));
}

LRESULT MsiTableLookup::DrawCell(int column, int position, int sort_column, HWND list, int item,
                                 unsigned validation_flags, UINT item_state, bool cursor_column)
{
    // The tip costs the column's checks (and relationship lookups): only asked when no message marks it.
    bool problem = validation_flags != 0 || !GetCellTipText(column, position, sort_column).empty();
    bool focused = (item_state & LVIS_FOCUSED) != 0;
    bool selected = (item_state & LVIS_SELECTED) != 0;
    // Most cells are the list's own to draw; asking the list where a cell is costs more than the rest.
    if (!(focused && cursor_column) && !selected && !problem)
        return 0;
    ListDC dc(list);
    RECT cell = ListCellRect(list, item, column);
    CellPainter& painter = CurrentCellPainter();
    if (focused && cursor_column)
        painter.Fill(dc.get(), CELL_FILL_VALID, cell);
    if (problem && selected == cursor_column)
        painter.Fill(dc.get(), validation_flags != 0 ? CELL_FILL_HAS_ERRORS : CELL_FILL_INVALID, cell);
    if (focused && cursor_column)
        painter.Fill(dc.get(), CELL_FILL_FOCUSED, cell);
    else if (selected)
        painter.Fill(dc.get(), CELL_FILL_SELECTED, cell);
    painter.Text(dc.get(), list, column, GetCellText(column, position, sort_column), cell);
    return CDRF_SKIPDEFAULT;
}

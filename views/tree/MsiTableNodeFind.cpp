// The table node's part of the find command: one table, searched in display order.
#include "views/tree/MsiTableNode.h"

#include "views/dialogs/FindPattern.h"

FindCriteria MsiTableNode::Find(const FindPattern& pattern, const FindCriteria& start, bool upward,
                                bool step_past_start)
{
    FindCriteria filters(std::wstring(), pattern.table, pattern.column, {});
    return Find(
        filters, [&pattern](const std::wstring& text) { return pattern.Matches(text); }, start, upward,
        step_past_start);
}

FindCriteria MsiTableNode::Find(const FindCriteria& criteria, const CellMatcher& matches,
                                const FindCriteria& start, bool upward, bool step_past_start)
{
    int columns = lookup_->ColumnCount();
    int rows = lookup_->RowCount();
    std::wstring table = lookup_->GetTableName();
    if (columns <= 0 || rows <= 0 || (!criteria.table_name.empty() && criteria.table_name != table))
        return FindCriteria();
    int sort = SortColumn();
    int step = upward ? -1 : 1;
    int row = upward ? rows - 1 : 0;
    int column = upward ? columns - 1 : 0;
    if (start.table_name == table) {
        row = lookup_->FindRow(start.key_values, sort);
        if (row < 0 || row >= rows)
            return FindCriteria(); // the row is gone: the search has passed this table's end
        column = lookup_->FindColumn(start.column_name);
        if (column < 0)
            column = upward ? columns - 1 : 0;
        if (step_past_start) {
            column += step;
            if (column < 0 || column >= columns) {
                column = upward ? columns - 1 : 0;
                row += step;
            }
        }
    }
    int only = criteria.column_name.empty() ? -1 : lookup_->FindColumn(criteria.column_name);
    if (!criteria.column_name.empty() && only < 0)
        return FindCriteria();
    // Past the last cell means nothing more in this table; the tab goes on to the next one.
    for (; row >= 0 && row < rows; row += step, column = upward ? columns - 1 : 0) {
        for (int c = column; c >= 0 && c < columns; c += step) {
            if (only >= 0 && c != only)
                continue;
            if (matches(lookup_->GetCellText(c, row, sort)))
                return FindCriteria(criteria.text, table, lookup_->GetFieldDef(c)->name(),
                                    lookup_->GetKeyValuesAt(row, sort));
        }
    }
    return FindCriteria();
}

#pragma once
// Every row of a lookup once, in one column's order: the Index of a column, which the table lookup keeps
// of its table's rows and the comparison lookup of its merged rows. Row is an iterator; a row is known by
// the address of what it points to.
#include "model/lookups/RowOrder.h"

#include <unordered_map>
#include <utility>
#include <vector>

template <typename Row> class OrderedRows
{
public:
    int direction = 0; // 0 unsorted, 1 ascending, 2 descending
    std::vector<Row> rows;

    // The position of the row, -1 when rows does not hold it. Call Changed after editing rows.
    int PositionOf(Row row)
    {
        if (!positions_valid_) {
            positions_.clear();
            positions_.reserve(rows.size());
            for (size_t position = 0; position < rows.size(); ++position)
                positions_.emplace(&*rows[position], static_cast<int>(position));
            positions_valid_ = true;
        }
        auto found = positions_.find(&*row);
        return found == positions_.end() ? -1 : found->second;
    }
    void Changed() { positions_valid_ = false; }
    // rows grew by one at its end.
    void Appended()
    {
        if (positions_valid_ && !rows.empty())
            positions_.emplace(&*rows.back(), static_cast<int>(rows.size() - 1));
    }

private:
    bool positions_valid_ = false;
    std::unordered_map<const void*, int> positions_;
};

// Sorts the Index `to` by its column, stable over the order of `from` (the Index of the column sorted
// before, or `to` itself): rows equal in the column keep from's order. add_key(row, keys) adds the row's
// key to keys. selected and focused (-1: none) hold positions in from's order and come back as the same
// rows' positions in to's. An Index already in the wanted direction is left as it is.
template <typename Row, typename AddKey>
void SortOrderedRows(OrderedRows<Row>& from, OrderedRows<Row>& to, bool ascending, bool integer,
                     const AddKey& add_key, TextRanks* remembered, std::vector<int>& selected, int& focused)
{
    bool had_focus = focused != -1;
    Row focused_row{};
    if (had_focus)
        focused_row = from.rows.at(focused);
    std::vector<Row> selected_rows;
    selected_rows.reserve(selected.size());
    for (int position : selected)
        selected_rows.push_back(from.rows.at(position));

    int wanted = ascending ? 1 : 2;
    bool sort = true;
    if (&from == &to) {
        sort = to.direction != wanted;
    } else {
        to.rows = from.rows;
        to.Changed();
    }
    if (sort) {
        if (!to.rows.empty()) {
            SortKeys keys(integer, to.rows.size());
            for (const Row& row : to.rows)
                add_key(row, keys);
            StableSortByKeys(to.rows, std::move(keys), ascending, remembered);
            to.Changed();
        }
        to.direction = wanted;
    }

    selected.clear();
    for (const Row& row : selected_rows)
        selected.push_back(to.PositionOf(row));
    if (had_focus)
        focused = to.PositionOf(focused_row);
}

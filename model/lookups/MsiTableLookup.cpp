#include "model/lookups/MsiTableLookup.h"
#include "model/lookups/RowOrder.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>

MsiTableLookup::MsiTableLookup(MsiTable& table) : table_(&table), keys_(table)
{
    // The schema tables get new rows whenever a table comes or goes.
    keys_.OnRowsReplaced([this] { ResetIndexes(); });
}

MsiTableLookup::~MsiTableLookup() = default;

int MsiTableLookup::TableColumnCount() const
{
    return static_cast<int>(table_->columns().size());
}

int MsiTableLookup::ColumnCount()
{
    return TableColumnCount();
}

int MsiTableLookup::RowCount()
{
    return static_cast<int>(table_->rows().size());
}

std::wstring MsiTableLookup::GetTableName()
{
    return table_->name();
}

MsiFieldDefRef MsiTableLookup::GetFieldDef(int column)
{
    return table_->columns().at(column);
}

MsiTableLookup::IndexPtr MsiTableLookup::NewTableOrderIndex() const
{
    IndexPtr index = std::make_shared<Index>();
    index->rows.reserve(table_->rows().size());
    for (RowIterator row = table_->rows().begin(); row != table_->rows().end(); ++row)
        index->rows.push_back(row);
    return index;
}

MsiTableLookup::IndexPtr MsiTableLookup::BuildIndex(int column)
{
    if (column < 0 || column >= ColumnCount())
        throw std::out_of_range("No such column in the table lookup");
    if (indexes_.size() < static_cast<size_t>(ColumnCount()))
        indexes_.resize(ColumnCount());
    IndexPtr& index = indexes_[column];
    if (!index)
        index = NewTableOrderIndex();
    return index;
}

bool MsiTableLookup::IsIndexBuilt(int column)
{
    return column >= 0 && static_cast<size_t>(column) < indexes_.size() && indexes_[column];
}

std::vector<MsiTableLookup::IndexPtr> MsiTableLookup::BuiltIndexes()
{
    std::vector<IndexPtr> built;
    for (const IndexPtr& index : indexes_) {
        if (index)
            built.push_back(index);
    }
    return built;
}

void MsiTableLookup::ResetIndexes()
{
    for (IndexPtr& index : indexes_)
        index.reset();
    // Rows may have come or gone without events (the _Streams mirror, CopyFrom of the schema tables).
    keys_.Invalidate();
}

RowIterator MsiTableLookup::GetIndexedRow(int position, int sort_column)
{
    return BuildIndex(sort_column)->rows.at(position);
}

int MsiTableLookup::GetSortDirection(int column)
{
    return BuildIndex(column)->direction;
}

const MsiFieldDataRef& MsiTableLookup::GetRowField(int column, RowIterator row)
{
    return row->at(column);
}

MsiFieldDataRef MsiTableLookup::GetField(int column, int position, int sort_column)
{
    return GetRowField(column, GetIndexedRow(position, sort_column));
}

MsiFieldDataRef MsiTableLookup::GetFieldByDef(const MsiFieldDef& def, int position, int sort_column)
{
    return GetField(def.column_index(), position, sort_column);
}

std::wstring MsiTableLookup::GetCellText(int column, int position, int sort_column)
{
    MsiFieldDataRef field = GetField(column, position, sort_column);
    return GetFieldDef(column)->display_str(*field);
}

void MsiTableLookup::AppendCellText(int column, int position, int sort_column, std::wstring& text)
{
    const MsiFieldDataRef& field = GetRowField(column, GetIndexedRow(position, sort_column));
    GetFieldDef(column)->append_display_str(*field, text);
}

std::wstring MsiTableLookup::GetCellEditText(int column, int position, int sort_column)
{
    MsiFieldDataRef field = GetField(column, position, sort_column);
    if (field->is_null())
        return std::wstring();
    return GetFieldDef(column)->display_str(*field);
}

std::wstring MsiTableLookup::GetCellClipboardText(int column, int position, int sort_column)
{
    RowIterator row = GetIndexedRow(position, sort_column);
    MsiFieldDefRef def = GetFieldDef(column);
    // A stream is copied as the path of its file, so it must be in one.
    if (column < TableColumnCount() && def->kind() == MsiFieldKind::Binary)
        table_->ExtractCell(*row, *def);
    return def->clipboard_str(*GetRowField(column, row));
}

std::vector<std::wstring> MsiTableLookup::GetRowKeyValues(RowIterator row)
{
    return table_->KeyValues(*row);
}

std::vector<std::wstring> MsiTableLookup::GetKeyValuesAt(int position, int sort_column)
{
    return GetRowKeyValues(GetIndexedRow(position, sort_column));
}

FindCriteria MsiTableLookup::GetCellLocation(int column, int position, int sort_column)
{
    return FindCriteria(std::wstring(), GetTableName(), GetFieldDef(column)->name(),
                        GetKeyValuesAt(position, sort_column));
}

std::wstring MsiTableLookup::GetRowClipboardText(int position, int sort_column)
{
    return table_->RowText(*GetIndexedRow(position, sort_column));
}

void MsiTableLookup::Sort(int new_column, bool ascending, int old_column, std::vector<int>& selected,
                          int& focused)
{
    // Positions the caller holds are in old_column's order; an unknown old column means the new one's.
    if (old_column < 0 || old_column >= ColumnCount())
        old_column = new_column;
    IndexPtr old_index = BuildIndex(old_column);
    IndexPtr index = BuildIndex(new_column);
    MsiFieldDefRef def = GetFieldDef(new_column);
    bool integer = def->kind() == MsiFieldKind::Integer;
    auto add_key = [&](RowIterator row, SortKeys& keys) {
        keys.AddCell(*def, *GetRowField(new_column, row));
    };
    SortOrderedRows(*old_index, *index, ascending, integer, add_key,
                    integer ? nullptr : &text_ranks_[new_column], selected, focused);
}

int MsiTableLookup::FindRowByKeys(const std::vector<std::wstring>& key_values, int sort_column)
{
    int not_found = RowCount();
    if (key_values.empty())
        return not_found;
    size_t key_columns = keys_.KeyColumnCount();
    if (key_values.size() < key_columns)
        return not_found;
    IndexPtr index = BuildIndex(sort_column);
    if (key_columns == 0)
        return index->rows.empty() ? not_found : 0;
    std::vector<std::wstring> wanted(key_values.begin(), key_values.begin() + key_columns);
    std::vector<RowIterator> candidates;
    keys_.Find(wanted, candidates);
    int best = not_found;
    for (RowIterator row : candidates) {
        int position = index->PositionOf(row);
        if (position >= 0 && position < best)
            best = position;
    }
    return best;
}

int MsiTableLookup::FindRow(const std::vector<std::wstring>& key_values, int sort_column)
{
    return FindRowByKeys(key_values, sort_column);
}

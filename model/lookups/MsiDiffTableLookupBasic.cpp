// The merged rows of a transform view: the key map, Indexes over its entries, states, texts, sorting
// and search.
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "model/lookups/CellAppearance.h"
#include "model/lookups/RowOrder.h"
#include "model/lookups/UniqueKey.h"

#include <commctrl.h>
#include <stdexcept>

MsiDiffTableLookupBasic::MsiDiffTableLookupBasic(MsiTable* base, MsiTable* transformed)
    : base_(base), transformed_(nullptr)
{
    if (!base && !transformed)
        throw std::invalid_argument("A comparison needs a table on at least one side");
    Watch(transformed);
}

MsiDiffTableLookupBasic::~MsiDiffTableLookupBasic()
{
    Unwatch();
}

void MsiDiffTableLookupBasic::Watch(MsiTable* table)
{
    transformed_ = table;
    if (table && table->owner()) {
        watched_ = table->owner();
        watched_->table_events().Subscribe(table, this);
    }
}

void MsiDiffTableLookupBasic::Unwatch()
{
    if (watched_)
        watched_->table_events().Unsubscribe(this);
    watched_ = nullptr;
}

void MsiDiffTableLookupBasic::SetEditableTable(MsiTable* table)
{
    Unwatch();
    Watch(table);
    ResetIndexes();
}

void MsiDiffTableLookupBasic::DetachEditableTable()
{
    Unwatch();
    transformed_ = nullptr;
    pending_ = false;
    ResetIndexes();
}

void MsiDiffTableLookupBasic::ResetIndexes()
{
    DropIndexes();
    differences_ = Differences::Unknown;
    modified_since_.clear();
}

void MsiDiffTableLookupBasic::DropIndexes()
{
    indexes_.clear();
    key_map_valid_ = false;
}

void MsiDiffTableLookupBasic::BuildKeyMap()
{
    // Indexes point into the map.
    indexes_.clear();
    key_map_.clear();
    if (base_) {
        for (RowIterator row = base_->rows().begin(); row != base_->rows().end(); ++row) {
            MergedRow merged;
            merged.base = row;
            merged.in_base = true;
            key_map_.emplace(base_->RowKeyText(*row), merged);
        }
    }
    if (transformed_) {
        for (RowIterator row = transformed_->rows().begin(); row != transformed_->rows().end(); ++row) {
            MergedRow& merged = key_map_[transformed_->RowKeyText(*row)];
            merged.transformed = row;
            merged.in_transformed = true;
        }
    }
    key_map_valid_ = true;
}

void MsiDiffTableLookupBasic::EnsureKeyMap()
{
    if (!key_map_valid_)
        BuildKeyMap();
}

int MsiDiffTableLookupBasic::ColumnCount()
{
    size_t base = base_ ? base_->columns().size() : 0;
    size_t transformed = transformed_ ? transformed_->columns().size() : 0;
    return static_cast<int>(std::max(base, transformed));
}

int MsiDiffTableLookupBasic::TextColumnCount()
{
    return transformed_ ? static_cast<int>(transformed_->columns().size()) : ColumnCount();
}

int MsiDiffTableLookupBasic::RowCount()
{
    EnsureKeyMap();
    return static_cast<int>(key_map_.size());
}

std::wstring MsiDiffTableLookupBasic::GetTableName()
{
    return transformed_ ? transformed_->name() : base_->name();
}

MsiFieldDefRef MsiDiffTableLookupBasic::GetFieldDef(int column)
{
    if (base_ && column >= 0 && static_cast<size_t>(column) < base_->columns().size())
        return base_->columns()[column];
    if (!transformed_)
        throw std::out_of_range("No such column in the comparison");
    return transformed_->columns().at(column);
}

MsiDiffTableLookupBasic::IndexPtr MsiDiffTableLookupBasic::BuildIndex(int column)
{
    EnsureKeyMap();
    if (column < 0 || column >= ColumnCount())
        throw std::out_of_range("No such column in the comparison");
    if (indexes_.size() < static_cast<size_t>(ColumnCount()))
        indexes_.resize(ColumnCount());
    IndexPtr& index = indexes_[column];
    if (!index) {
        index = std::make_shared<Index>();
        index->rows.reserve(key_map_.size());
        for (Entry entry = key_map_.begin(); entry != key_map_.end(); ++entry)
            index->rows.push_back(entry);
    }
    return index;
}

MsiDiffTableLookupBasic::Entry MsiDiffTableLookupBasic::EntryAt(int position, int sort_column)
{
    return BuildIndex(sort_column)->rows.at(position);
}

bool MsiDiffTableLookupBasic::DisplayedRow(const MergedRow& merged, MsiTable*& table, RowIterator& row) const
{
    if (merged.in_transformed) {
        table = transformed_;
        row = merged.transformed;
        return true;
    }
    if (merged.in_base) {
        table = base_;
        row = merged.base;
        return true;
    }
    return false;
}

const MsiFieldData* MsiDiffTableLookupBasic::DisplayedCell(int column, const MergedRow& merged,
                                                           MsiFieldDefRef& def) const
{
    MsiTable* table = nullptr;
    RowIterator row;
    if (!DisplayedRow(merged, table, row) || column < 0 ||
        static_cast<size_t>(column) >= table->columns().size())
        return nullptr;
    def = table->columns()[column];
    return row->at(column).get();
}

RowIterator MsiDiffTableLookupBasic::GetIndexedRow(int position, int sort_column)
{
    Entry entry = EntryAt(position, sort_column);
    if (entry->second.in_transformed)
        return entry->second.transformed;
    return transformed_ ? transformed_->rows().end() : RowIterator();
}

int MsiDiffTableLookupBasic::GetSortDirection(int column)
{
    return BuildIndex(column)->direction;
}

std::wstring MsiDiffTableLookupBasic::GetCellText(int column, int position, int sort_column)
{
    MsiFieldDefRef def;
    const MsiFieldData* cell = DisplayedCell(column, EntryAt(position, sort_column)->second, def);
    return cell ? def->display_str(*cell) : std::wstring();
}

std::wstring MsiDiffTableLookupBasic::GetCellEditText(int column, int position, int sort_column)
{
    MsiFieldDefRef def;
    const MsiFieldData* cell = DisplayedCell(column, EntryAt(position, sort_column)->second, def);
    return cell && !cell->is_null() ? def->display_str(*cell) : std::wstring();
}

std::wstring MsiDiffTableLookupBasic::GetCellClipboardText(int column, int position, int sort_column)
{
    MsiTable* table = nullptr;
    RowIterator row;
    if (!DisplayedRow(EntryAt(position, sort_column)->second, table, row) || column < 0 ||
        static_cast<size_t>(column) >= table->columns().size())
        return std::wstring();
    const MsiFieldDef& def = *table->columns()[column];
    if (def.kind() == MsiFieldKind::Binary)
        table->ExtractCell(*row, def);
    return def.clipboard_str(*row->at(column));
}

std::wstring MsiDiffTableLookupBasic::GetRowClipboardText(int position, int sort_column)
{
    MsiTable* table = nullptr;
    RowIterator row;
    if (!DisplayedRow(EntryAt(position, sort_column)->second, table, row))
        return std::wstring();
    return table->RowText(*row);
}

std::vector<std::wstring> MsiDiffTableLookupBasic::GetKeyValuesAt(int position, int sort_column)
{
    MsiTable* table = nullptr;
    RowIterator row;
    if (!DisplayedRow(EntryAt(position, sort_column)->second, table, row))
        return std::vector<std::wstring>();
    return table->KeyValues(*row);
}

std::vector<std::wstring> MsiDiffTableLookupBasic::GetRowKeyValues(RowIterator row)
{
    if (!transformed_ || row == transformed_->rows().end())
        return std::vector<std::wstring>();
    return transformed_->KeyValues(*row);
}

FindCriteria MsiDiffTableLookupBasic::GetCellLocation(int column, int position, int sort_column)
{
    return FindCriteria(std::wstring(), GetTableName(), GetFieldDef(column)->name(),
                        GetKeyValuesAt(position, sort_column));
}

int MsiDiffTableLookupBasic::FindRow(const std::vector<std::wstring>& key_values, int sort_column)
{
    int not_found = RowCount();
    if (key_values.empty())
        return not_found;
    std::wstring key;
    for (size_t at = 0; at < key_values.size(); ++at) {
        if (at > 0)
            key += L'|';
        key += key_values[at];
    }
    Entry entry = key_map_.find(key);
    if (entry == key_map_.end())
        return not_found;
    int position = BuildIndex(sort_column)->PositionOf(entry);
    return position < 0 ? not_found : position;
}

int MsiDiffTableLookupBasic::FindEditableRow(const std::vector<std::wstring>& key_values, int sort_column)
{
    int position = FindRow(key_values, sort_column);
    if (position != RowCount() && !EntryAt(position, sort_column)->second.in_transformed)
        return RowCount();
    return position;
}

void MsiDiffTableLookupBasic::Sort(int new_column, bool ascending, int old_column, std::vector<int>& selected,
                                   int& focused)
{
    if (old_column < 0 || old_column >= ColumnCount())
        old_column = new_column;
    IndexPtr old_index = BuildIndex(old_column);
    IndexPtr index = BuildIndex(new_column);
    bool integer = GetFieldDef(new_column)->kind() == MsiFieldKind::Integer;
    auto add_key = [&](Entry entry, SortKeys& keys) {
        MsiFieldDefRef def;
        const MsiFieldData* cell = DisplayedCell(new_column, entry->second, def);
        // A row whose shown table lacks the column sorts as null.
        if (cell)
            keys.AddCell(*def, *cell);
        else if (integer)
            keys.AddNumber(INT32_MIN);
        else
            keys.AddText({});
    };
    SortOrderedRows(*old_index, *index, ascending, integer, add_key, nullptr, selected, focused);
}

std::wstring MsiDiffTableLookupBasic::MakeUniqueKey(const std::wstring& text)
{
    EnsureKeyMap();
    std::vector<std::wstring> keys;
    for (const auto& entry : key_map_) {
        MsiTable* table = nullptr;
        RowIterator row;
        if (!DisplayedRow(entry.second, table, row))
            continue;
        for (const MsiFieldDefRef& def : table->columns()) {
            const MsiFieldData& cell = *row->at(def->column_index());
            if (def->is_key() && !cell.is_null())
                keys.push_back(def->display_str(cell));
        }
    }
    return UniqueKeyPrefix(text, keys);
}

int MsiDiffTableLookupBasic::RowState(int position, int sort_column)
{
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    if (merged.in_base && merged.in_transformed)
        return InBoth;
    return merged.in_transformed ? Added : BaseOnly;
}

bool MsiDiffTableLookupBasic::CellsEqual(int column, RowIterator base_row, RowIterator row)
{
    const MsiFieldDef& base_def = *base_->columns()[column];
    const MsiFieldDef& def = *transformed_->columns()[column];
    MsiFieldData& base_cell = *base_row->at(column);
    MsiFieldData& cell = *row->at(column);
    if (base_def.kind() == MsiFieldKind::Binary && def.kind() == MsiFieldKind::Binary)
        return base_->SameStream(*base_row, base_def, *transformed_, *row, def);
    return base_def.display_str(base_cell) == def.display_str(cell);
}

int MsiDiffTableLookupBasic::CellState(int column, int position, int sort_column)
{
    if (!base_)
        return CellAdded;
    if (!transformed_)
        return CellRemoved;
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    if (!merged.in_transformed)
        return CellRemoved;
    if (!merged.in_base)
        return CellAdded;
    if (static_cast<size_t>(column) >= transformed_->columns().size())
        return CellRemoved;
    if (static_cast<size_t>(column) >= base_->columns().size())
        return CellAdded;
    return CellsEqual(column, merged.base, merged.transformed) ? CellUnchanged : CellChanged;
}

std::wstring MsiDiffTableLookupBasic::GetOriginalCellText(int column, int position, int sort_column)
{
    if (!base_ || column < 0 || static_cast<size_t>(column) >= base_->columns().size())
        return std::wstring();
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    if (!merged.in_base)
        return std::wstring();
    return base_->columns()[column]->display_str(*merged.base->at(column));
}

bool MsiDiffTableLookupBasic::HasDifferences()
{
    if (!base_ || !transformed_ || base_->rows().size() != transformed_->rows().size() ||
        base_->columns().size() != transformed_->columns().size())
        return true;
    for (size_t column = 0; column < base_->columns().size(); ++column) {
        if (base_->columns()[column]->kind() != transformed_->columns()[column]->kind())
            return true;
    }
    EnsureKeyMap();
    if (key_map_.size() != base_->rows().size())
        return true;
    if (differences_ == Differences::Some) {
        auto witness = key_map_.find(witness_);
        if (witness != key_map_.end() &&
            (EntryDiffers(witness->second, false) || EntryDiffers(witness->second, true)))
            return true;
    } else if (differences_ == Differences::None) {
        // Only the rows modified since can differ now; a row added or deleted made the state unknown.
        bool known = true;
        for (const std::wstring& key : modified_since_) {
            auto modified = key_map_.find(key);
            if (modified == key_map_.end()) {
                known = false;
                break;
            }
            if (EntryDiffers(modified->second, false) || EntryDiffers(modified->second, true)) {
                differences_ = Differences::Some;
                witness_ = key;
                modified_since_.clear();
                return true;
            }
        }
        modified_since_.clear();
        if (known)
            return false;
    }
    return FindDifference();
}

bool MsiDiffTableLookupBasic::EntryDiffers(const MergedRow& merged, bool streams)
{
    if (!merged.in_base || !merged.in_transformed)
        return true;
    for (size_t column = 0; column < base_->columns().size(); ++column) {
        bool stream = base_->columns()[column]->kind() == MsiFieldKind::Binary;
        if (stream == streams && !CellsEqual(static_cast<int>(column), merged.base, merged.transformed))
            return true;
    }
    return false;
}

bool MsiDiffTableLookupBasic::FindDifference()
{
    modified_since_.clear();
    for (const auto& entry : key_map_) {
        if (EntryDiffers(entry.second, false)) {
            differences_ = Differences::Some;
            witness_ = entry.first;
            return true;
        }
    }
    // Every row is in both tables now; streams a column at a time, each table read once.
    for (size_t column = 0; column < base_->columns().size(); ++column) {
        const MsiFieldDef& base_def = *base_->columns()[column];
        const MsiFieldDef& def = *transformed_->columns()[column];
        if (base_def.kind() != MsiFieldKind::Binary)
            continue;
        std::vector<std::pair<MsiRow*, MsiRow*>> rows;
        std::vector<const std::wstring*> keys;
        rows.reserve(key_map_.size());
        for (auto& entry : key_map_) {
            rows.emplace_back(&*entry.second.base, &*entry.second.transformed);
            keys.push_back(&entry.first);
        }
        size_t first = base_->FirstStreamDifference(base_def, *transformed_, def, rows);
        if (first < rows.size()) {
            differences_ = Differences::Some;
            witness_ = *keys[first];
            return true;
        }
    }
    differences_ = Differences::None;
    return false;
}

std::wstring MsiDiffTableLookupBasic::GetCellTipText(int column, int position, int sort_column)
{
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    MsiFieldDefRef def;
    const MsiFieldData* cell = DisplayedCell(column, merged, def);
    if (!cell)
        return std::wstring();
    // Required relationships are those of the edited database.
    std::wstring relationships;
    if (merged.in_transformed)
        relationships = CheckRequiredRelationships(*def, merged.transformed);
    return CellTipText(*def, *cell, relationships);
}

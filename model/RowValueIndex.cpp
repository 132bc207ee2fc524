#include "model/RowValueIndex.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace {

size_t RowHash(const MsiRow* row)
{
    return static_cast<size_t>(reinterpret_cast<uintptr_t>(row));
}

} // namespace

bool RowKey::Read(const MsiTable& table, const std::vector<int>& columns, const MsiRow& row)
{
    values_.resize(columns.size());
    // Sized first: the views of numbers point into it.
    numbers_.resize(columns.size());
    for (size_t at = 0; at < columns.size(); ++at) {
        int column = columns[at];
        if (!table_relationships::CellValueView(*table.columns()[column], *row[column], numbers_[at],
                                                values_[at]))
            return false;
    }
    Hash();
    return true;
}

void RowKey::Assign(std::wstring_view value)
{
    values_.assign(1, value);
    Hash();
}

void RowKey::Hash()
{
    std::hash<std::wstring_view> hash;
    hash_ = hash(values_[0]);
    for (size_t at = 1; at < values_.size(); ++at)
        hash_ = (hash_ ^ hash(values_[at])) * 0x100000001B3ull + values_[at].size();
}

RowValueIndex::RowValueIndex(const MsiTable& table, std::vector<int> columns)
    : table_(table), columns_(std::move(columns))
{
}

void RowValueIndex::AddAll()
{
    Resize(table_.rows().size());
    RowKey key;
    // Const rows of a non-const list: the index hands out the table's own iterators.
    MsiRowList& rows = const_cast<MsiTable&>(table_).rows();
    for (RowIterator row = rows.begin(); row != rows.end(); ++row) {
        if (key.Read(table_, columns_, *row))
            Place(Stored(key.hash()), row);
    }
}

void RowValueIndex::Add(RowIterator row)
{
    Remove(*row);
    RowKey key;
    if (!key.Read(table_, columns_, *row))
        return;
    // Twice the rows' room, so that freed places take as many changes again to fill.
    if ((std::max(used_by_value_, used_by_row_) + 1) * 2 > by_value_.size())
        Resize(2 * count_ + 2);
    Place(Stored(key.hash()), row);
}

void RowValueIndex::Remove(const MsiRow& row)
{
    if (by_row_.empty())
        return;
    size_t at = Start(RowHash(&row));
    for (; by_row_[at].hash != kFree; at = Next(at)) {
        if (by_row_[at].row == &row && by_row_[at].hash != kFreed)
            break;
    }
    if (by_row_[at].hash == kFree)
        return;
    size_t hash = by_row_[at].hash;
    by_row_[at] = ByRow{kFreed, nullptr};
    for (at = Start(hash); by_value_[at].hash != kFree; at = Next(at)) {
        if (by_value_[at].hash == hash && &*by_value_[at].row == &row) {
            by_value_[at].hash = kFreed;
            break;
        }
    }
    --count_;
}

void RowValueIndex::Resize(size_t count)
{
    std::vector<ByValue> by_value;
    by_value.swap(by_value_);
    unsigned bits = 4;
    while ((size_t(1) << bits) < count * 2)
        ++bits;
    shift_ = 64 - bits;
    by_value_.assign(size_t(1) << bits, ByValue{kFree, RowIterator()});
    by_row_.assign(size_t(1) << bits, ByRow{kFree, nullptr});
    count_ = 0;
    used_by_value_ = 0;
    used_by_row_ = 0;
    for (const ByValue& entry : by_value) {
        if (entry.hash > kFreed)
            Place(entry.hash, entry.row);
    }
}

void RowValueIndex::Place(size_t hash, RowIterator row)
{
    size_t at = Start(hash);
    while (by_value_[at].hash > kFreed)
        at = Next(at);
    used_by_value_ += by_value_[at].hash == kFree;
    by_value_[at] = ByValue{hash, row};
    at = Start(RowHash(&*row));
    while (by_row_[at].hash > kFreed)
        at = Next(at);
    used_by_row_ += by_row_[at].hash == kFree;
    by_row_[at] = ByRow{hash, &*row};
    ++count_;
}

bool RowValueIndex::Matches(RowIterator candidate, const RowKey& key) const
{
    return candidate_.Read(table_, columns_, *candidate) && candidate_ == key;
}

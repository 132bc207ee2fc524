#pragma once
// The rows of one table by the values of some of their columns, as relationships compare them (texts as
// UTF-16 units, numbers by value). Large tables are indexed whole when references are built, so the
// index copies no text and makes no block per row: it keeps each row's hash in two open tables (by value
// and by row) and compares a candidate's own cells with the key it is asked for.
#include "model/MsiTable.h"
#include "model/TableRelationships.h"

#include <cstddef>
#include <string_view>
#include <vector>

// The values a row gives a relationship in some columns, read in place; the views stand while the row's
// cells do.
class RowKey
{
public:
    // False when a column holds no value: then the row refers to nothing and nothing refers to it.
    bool Read(const MsiTable& table, const std::vector<int>& columns, const MsiRow& row);
    // One value given as text.
    void Assign(std::wstring_view value);

    size_t hash() const { return hash_; }
    bool operator==(const RowKey& other) const { return hash_ == other.hash_ && values_ == other.values_; }

private:
    void Hash();

    std::vector<std::wstring_view> values_;
    std::vector<table_relationships::ValueText> numbers_;
    size_t hash_ = 0;
};

class RowValueIndex
{
public:
    RowValueIndex(const MsiTable& table, std::vector<int> columns);
    RowValueIndex(const RowValueIndex&) = delete;
    RowValueIndex& operator=(const RowValueIndex&) = delete;

    const std::vector<int>& columns() const { return columns_; }
    // Every row of the table, on an empty index.
    void AddAll();
    // The row under its present values; none when a column holds no value.
    void Add(RowIterator row);
    // Takes the row out, whatever its values are now.
    void Remove(const MsiRow& row);
    // Calls found(RowIterator) for each row whose values equal the key.
    template <typename Found> void ForEach(const RowKey& key, Found found) const;

private:
    // Hashes 0 and 1 mark a free and a freed place.
    static constexpr size_t kFree = 0;
    static constexpr size_t kFreed = 1;
    struct ByValue
    {
        size_t hash;
        RowIterator row;
    };
    struct ByRow
    {
        size_t hash; // of the row's values
        const MsiRow* row;
    };

    static size_t Stored(size_t hash) { return hash > kFreed ? hash : hash + 2; }
    size_t Start(size_t hash) const { return (hash * 0x9E3779B97F4A7C15ull) >> shift_; }
    size_t Next(size_t at) const { return (at + 1) & (by_value_.size() - 1); }
    // Room for count rows with at most half the places taken, without freed places.
    void Resize(size_t count);
    void Place(size_t hash, RowIterator row);
    bool Matches(RowIterator candidate, const RowKey& key) const;

    const MsiTable& table_;
    std::vector<int> columns_;
    std::vector<ByValue> by_value_;
    std::vector<ByRow> by_row_;
    unsigned shift_ = 64;
    size_t count_ = 0;
    // Places taken by rows or freed, in each table.
    size_t used_by_value_ = 0;
    size_t used_by_row_ = 0;
    mutable RowKey candidate_;
};

template <typename Found> void RowValueIndex::ForEach(const RowKey& key, Found found) const
{
    if (by_value_.empty())
        return;
    size_t hash = Stored(key.hash());
    for (size_t at = Start(hash); by_value_[at].hash != kFree; at = Next(at)) {
        if (by_value_[at].hash == hash && Matches(by_value_[at].row, key))
            found(by_value_[at].row);
    }
}

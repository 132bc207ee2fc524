#pragma once
// The order of rows in a column, shared by the table and comparison lookups: integer columns by signed
// value with null (0x80000000) first, every other column by display text in the user's default locale
// ignoring case (CompareStringW). Sorting is stable, and descending is the exact reverse relation, so rows
// that compare equal keep the order they had: the previous sort column acts as the secondary key.
#include "model/MsiFieldData.h"
#include "model/MsiFieldDef.h"
#include "model/lookups/TextRanks.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the rows of one column are compared by, in row order: integer values, or display texts kept in
// one buffer (no block per row).
class SortKeys
{
public:
    SortKeys(bool integer, size_t rows);

    bool integer() const { return integer_; }
    size_t size() const { return integer_ ? numbers_.size() : ends_.size(); }
    int32_t number(size_t row) const { return numbers_[row]; }
    std::wstring_view text(size_t row) const;

    void AddNumber(int32_t number) { numbers_.push_back(number); }
    void AddText(std::wstring_view text);
    // The cell's integer value or display text, as the column is one or the other. A cell whose own column
    // is of the other kind (a comparison whose tables differ in a column's type) counts as 0 or as no text.
    void AddCell(const MsiFieldDef& def, const MsiFieldData& cell);
    // Moves the texts out: one buffer of every text end to end, and where each row's text ends.
    void TakeTexts(std::wstring& texts, std::vector<size_t>& ends);

private:
    bool integer_;
    std::vector<int32_t> numbers_;
    std::wstring texts_;
    std::vector<size_t> ends_;
};

// The ranks of the texts of the keys in the text order, one per row: equal ranks for texts that compare
// equal. Columns repeat their values, so each distinct text is ranked once. With remembered ranks (may be
// null) a sort of the same texts reuses them, and a sort of others replaces them.
std::vector<int32_t> RankTexts(SortKeys keys, TextRanks* remembered = nullptr);

// The rows in stable sorted order.
std::vector<size_t> SortedOrder(SortKeys keys, bool ascending, TextRanks* remembered = nullptr);

// Stable sort of entries by their keys (the key of row i belongs to entries[i]).
template <typename Entry>
void StableSortByKeys(std::vector<Entry>& entries, SortKeys keys, bool ascending,
                      TextRanks* remembered = nullptr)
{
    std::vector<size_t> order = SortedOrder(std::move(keys), ascending, remembered);
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (size_t from : order)
        sorted.push_back(entries[from]);
    entries.swap(sorted);
}

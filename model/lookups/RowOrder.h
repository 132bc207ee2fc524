#pragma once
// The order of rows in a column, shared by the table and comparison lookups: integer columns by signed
// value with null (0x80000000) first, every other column by display text in the user's default locale
// ignoring case (CompareStringW). Sorting is stable, and descending is the exact reverse relation, so rows
// that compare equal keep the order they had: the previous sort column acts as the secondary key.
#include "model/MsiFieldData.h"
#include "model/MsiFieldDef.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

// What a cell is compared by: its integer value for integer columns, else its display text.
struct SortKey
{
    int32_t number = 0;
    std::wstring text;
};
SortKey SortKeyOf(const MsiFieldDef& def, const MsiFieldData& cell);

// The ranks of the distinct texts of a column's last sort. Ranks depend only on which texts there are, so
// a later sort that finds exactly the same texts takes them from here instead of asking the locale again.
struct TextRanks
{
    TextRanks() = default;
    // Kept once per sorted column; copies would only cost.
    TextRanks(const TextRanks&) = delete;
    TextRanks& operator=(const TextRanks&) = delete;

    // Keeps copies of the texts with their ranks (none: forgets).
    void Keep(const std::vector<std::wstring_view>& texts, const std::vector<int32_t>& rank);
    // The rank of a kept text; -1 when it is not kept.
    int32_t Find(std::wstring_view text) const;
    size_t size() const { return rank.size(); }

    // All texts in one buffer and an open table of their indexes: no block per text.
    std::wstring storage;
    std::vector<size_t> start;
    std::vector<int32_t> rank;
    std::vector<uint32_t> slots;
};

// Replaces texts by their ranks in the text order: equal ranks for texts that compare equal. Columns
// repeat their values, so each distinct text is compared once per sort step, not once per row. With
// remembered ranks (may be null) a sort of the same texts reuses them, and a sort of others replaces them.
void RankTexts(std::vector<SortKey>& keys, TextRanks* remembered = nullptr);

// The positions of the keys in stable sorted order (texts ranked first, their numbers then replaced).
std::vector<size_t> SortedOrder(std::vector<SortKey>& keys, bool integer, bool ascending,
                                TextRanks* remembered = nullptr);

// Stable sort of entries by their keys (keys[i] belongs to entries[i]); both vectors keep their pairing.
template <typename Entry>
void StableSortByKeys(std::vector<Entry>& entries, std::vector<SortKey> keys, bool integer, bool ascending,
                      TextRanks* remembered = nullptr)
{
    std::vector<size_t> order = SortedOrder(keys, integer, ascending, remembered);
    std::vector<Entry> sorted;
    sorted.reserve(entries.size());
    for (size_t from : order)
        sorted.push_back(entries[from]);
    entries.swap(sorted);
}

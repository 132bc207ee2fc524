#include "model/lookups/RowOrder.h"
#include "model/lookups/LocaleSortKeys.h"

#include <windows.h>
#include <algorithm>
#include <functional>

SortKeys::SortKeys(bool integer, size_t rows) : integer_(integer)
{
    if (integer) {
        numbers_.reserve(rows);
    } else {
        ends_.reserve(rows);
        // A guess at the texts' length that spares most of the growing.
        texts_.reserve(8 * rows);
    }
}

std::wstring_view SortKeys::text(size_t row) const
{
    size_t start = row == 0 ? 0 : ends_[row - 1];
    return std::wstring_view(texts_.data() + start, ends_[row] - start);
}

void SortKeys::AddText(std::wstring_view text)
{
    texts_.append(text);
    ends_.push_back(texts_.size());
}

void SortKeys::TakeTexts(std::wstring& texts, std::vector<size_t>& ends)
{
    texts.swap(texts_);
    ends.swap(ends_);
    texts_.clear();
    ends_.clear();
}

void SortKeys::AddCell(const MsiFieldDef& def, const MsiFieldData& cell)
{
    bool number = def.kind() == MsiFieldKind::Integer;
    if (integer_) {
        AddNumber(number ? def.integer_value(cell) : 0);
        return;
    }
    if (!number)
        def.append_display_str(cell, texts_);
    ends_.push_back(texts_.size());
}

namespace {

int CompareTexts(LCID locale, std::wstring_view a, std::wstring_view b)
{
    return CompareStringW(locale, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

// Ranks from the comparisons of neighbours in sorted order (compared[at]: order[at - 1] with order[at]):
// the same rank where they are equal. With strict, false as soon as a pair is the wrong way round.
bool RankFromNeighbours(const std::vector<uint32_t>& order, const std::vector<int8_t>& compared,
                        std::vector<int32_t>& rank, bool strict)
{
    int32_t current = 0;
    for (size_t at = 0; at < order.size(); ++at) {
        if (at > 0) {
            if (compared[at] == CSTR_GREATER_THAN && strict)
                return false;
            if (compared[at] != CSTR_EQUAL)
                ++current;
        }
        rank[order[at]] = current;
    }
    return true;
}

// The ranks of distinct texts by CompareStringW alone: the way when the sort keys disagree with it.
void RankByComparing(LCID locale, const std::vector<std::wstring_view>& texts, std::vector<int32_t>& rank)
{
    std::vector<uint32_t> order(texts.size());
    for (size_t at = 0; at < order.size(); ++at)
        order[at] = static_cast<uint32_t>(at);
    // Merge-based, so a comparison that is not quite a strict order cannot run out of the range.
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return CompareTexts(locale, texts[a], texts[b]) == CSTR_LESS_THAN;
    });
    std::vector<int8_t> compared(order.size());
    InParts(order.size(), [&](size_t begin, size_t end) {
        for (size_t at = std::max<size_t>(begin, 1); at < end; ++at)
            compared[at] = static_cast<int8_t>(CompareTexts(locale, texts[order[at - 1]], texts[order[at]]));
    });
    RankFromNeighbours(order, compared, rank, false);
}

// Ranks distinct texts in the locale's order. They are sorted by their sort keys, which is much faster
// than calling CompareStringW for every comparison; then each pair of neighbours is checked with
// CompareStringW, which also decides which texts are equal, except pairs of plain texts, whose keys
// decide the same. Should the two ever disagree, the texts are sorted with CompareStringW itself. False
// then: that order may depend on where the texts stand.
bool RankDistinct(const DistinctTexts& distinct, std::vector<int32_t>& rank)
{
    std::vector<std::wstring_view> texts(distinct.size());
    for (size_t at = 0; at < texts.size(); ++at)
        texts[at] = distinct[at];
    // Asked once: the default locale behind every call below.
    const LCID locale = GetUserDefaultLCID();
    LocaleSortKeys keys(locale, texts);
    std::vector<char> ties;
    std::vector<uint32_t> order = OrderOfKeys(keys.keys(), &ties);
    std::vector<int8_t> compared(order.size());
    std::vector<uint32_t> asked;
    for (size_t at = 1; at < order.size(); ++at) {
        if (keys.plain(order[at - 1]) && keys.plain(order[at]))
            compared[at] = static_cast<int8_t>(ties[at] ? CSTR_EQUAL : CSTR_LESS_THAN);
        else
            asked.push_back(static_cast<uint32_t>(at));
    }
    // Each pair is asked on its own, so the pairs are asked in parts at once.
    InParts(asked.size(), [&](size_t begin, size_t end) {
        for (size_t pair = begin; pair < end; ++pair) {
            uint32_t at = asked[pair];
            compared[at] = static_cast<int8_t>(CompareTexts(locale, texts[order[at - 1]], texts[order[at]]));
        }
    });
    if (RankFromNeighbours(order, compared, rank, true))
        return true;
    RankByComparing(locale, texts, rank);
    return false;
}

} // namespace

std::vector<int32_t> RankTexts(SortKeys keys, TextRanks* remembered)
{
    std::wstring texts;
    std::vector<size_t> ends;
    keys.TakeTexts(texts, ends);
    DistinctTexts distinct(std::move(texts), ends);
    std::vector<int32_t> rank(distinct.size());
    bool known = remembered && remembered->size() == distinct.size();
    for (size_t at = 0; at < distinct.size() && known; ++at) {
        rank[at] = remembered->Find(distinct[at], distinct.hash(at));
        known = rank[at] >= 0;
    }
    bool consistent = known || RankDistinct(distinct, rank);
    std::vector<int32_t> row_rank(ends.size());
    for (size_t row = 0; row < ends.size(); ++row)
        row_rank[row] = rank[distinct.text_of()[row]];
    if (remembered && !known) {
        // Only a consistent order is kept: the other one may depend on where the texts stand.
        if (consistent)
            remembered->Keep(std::move(distinct), std::move(rank));
        else
            remembered->Keep(DistinctTexts(), {});
    }
    return row_rank;
}

std::vector<size_t> SortedOrder(SortKeys keys, bool ascending, TextRanks* remembered)
{
    std::vector<size_t> order(keys.size());
    if (!keys.integer()) {
        // Ranks run from 0 to fewer than the rows: counted into place, in their first order among equals.
        std::vector<int32_t> rank = RankTexts(std::move(keys), remembered);
        int32_t top = 0;
        for (int32_t value : rank)
            top = std::max(top, value);
        auto bucket_of = [&](int32_t value) {
            return ascending ? static_cast<size_t>(value) : static_cast<size_t>(top - value);
        };
        std::vector<size_t> start(static_cast<size_t>(top) + 2, 0);
        for (int32_t value : rank)
            ++start[bucket_of(value) + 1];
        for (size_t at = 1; at < start.size(); ++at)
            start[at] += start[at - 1];
        for (size_t row = 0; row < rank.size(); ++row)
            order[start[bucket_of(rank[row])]++] = row;
        return order;
    }
    // Numbers with their positions side by side; the position breaks ties, which makes the sort stable.
    std::vector<std::pair<int32_t, uint32_t>> numbered(keys.size());
    for (size_t row = 0; row < keys.size(); ++row)
        numbered[row] = std::make_pair(keys.number(row), static_cast<uint32_t>(row));
    if (ascending) {
        std::sort(numbered.begin(), numbered.end());
    } else {
        std::sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
    }
    for (size_t row = 0; row < keys.size(); ++row)
        order[row] = numbered[row].second;
    return order;
}

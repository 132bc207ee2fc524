#include "model/lookups/RowOrder.h"

#include <windows.h>
#include <string_view>
#include <unordered_map>

SortKey SortKeyOf(const MsiFieldDef& def, const MsiFieldData& cell)
{
    SortKey key;
    if (def.kind() == MsiFieldKind::Integer)
        key.number = def.integer_value(cell);
    else
        key.text = def.display_str(cell);
    return key;
}

namespace {

// The locale's sort key of a text: comparing two keys bytewise is meant to order as CompareStringW does.
std::string SortKeyBytes(const std::wstring_view& text)
{
    if (text.empty())
        return std::string();
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    int size =
        LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        return std::string();
    std::string bytes(static_cast<size_t>(size), '\0');
    LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), static_cast<int>(text.size()),
                 reinterpret_cast<LPWSTR>(&bytes[0]), size);
    return bytes;
}

int CompareTexts(const std::wstring_view& a, const std::wstring_view& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size()));
}

// Ranks of texts in sorted order: the same rank where CompareStringW says equal. With strict, false as
// soon as the order is not sorted by CompareStringW's account.
bool RankSorted(const std::vector<std::wstring_view>& texts, const std::vector<size_t>& order,
                std::vector<int32_t>& rank, bool strict)
{
    int32_t current = 0;
    for (size_t at = 0; at < order.size(); ++at) {
        if (at > 0) {
            int result = CompareTexts(texts[order[at - 1]], texts[order[at]]);
            if (result == CSTR_GREATER_THAN && strict)
                return false;
            if (result != CSTR_EQUAL)
                ++current;
        }
        rank[order[at]] = current;
    }
    return true;
}

} // namespace

void RankTexts(std::vector<SortKey>& keys)
{
    std::unordered_map<std::wstring_view, size_t> distinct;
    std::vector<std::wstring_view> texts;
    std::vector<size_t> text_of(keys.size());
    for (size_t at = 0; at < keys.size(); ++at) {
        auto placed = distinct.emplace(keys[at].text, texts.size());
        if (placed.second)
            texts.push_back(keys[at].text);
        text_of[at] = placed.first->second;
    }
    std::vector<size_t> order(texts.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::vector<int32_t> rank(texts.size());
    // Sorting by sort keys is much faster than calling CompareStringW for every comparison; the order is
    // then checked pair by pair with CompareStringW, which also decides which texts are equal. Should the
    // two ever disagree, the texts are sorted with CompareStringW itself.
    std::vector<std::string> sort_keys;
    sort_keys.reserve(texts.size());
    for (const std::wstring_view& text : texts)
        sort_keys.push_back(SortKeyBytes(text));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return sort_keys[a] < sort_keys[b]; });
    if (!RankSorted(texts, order, rank, true)) {
        std::iota(order.begin(), order.end(), size_t(0));
        // Merge-based, so a comparison that is not quite a strict order cannot run out of the range.
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return CompareTexts(texts[a], texts[b]) == CSTR_LESS_THAN;
        });
        RankSorted(texts, order, rank, false);
    }
    for (size_t at = 0; at < keys.size(); ++at)
        keys[at].number = rank[text_of[at]];
}

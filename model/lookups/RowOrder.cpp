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

// Appends the locale's sort key of a text: comparing two keys bytewise is meant to order as CompareStringW
// does. One call to the locale in the usual case: the room a key needs is guessed first.
void AppendSortKey(const std::wstring_view& text, std::string& keys)
{
    if (text.empty())
        return;
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = static_cast<int>(text.size());
    size_t start = keys.size();
    int room = 8 * length + 16;
    keys.resize(start + static_cast<size_t>(room));
    int size = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), length,
                            reinterpret_cast<LPWSTR>(&keys[start]), room);
    if (size <= 0) {
        size = LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), length, nullptr, 0);
        if (size <= 0) {
            keys.resize(start);
            return;
        }
        keys.resize(start + static_cast<size_t>(size));
        LCMapStringW(LOCALE_USER_DEFAULT, flags, text.data(), length, reinterpret_cast<LPWSTR>(&keys[start]),
                     size);
    }
    keys.resize(start + static_cast<size_t>(size));
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

void RankTexts(std::vector<SortKey>& keys, TextRanks* remembered)
{
    std::unordered_map<std::wstring_view, size_t> distinct;
    distinct.reserve(keys.size());
    std::vector<std::wstring_view> texts;
    std::vector<size_t> text_of(keys.size());
    for (size_t at = 0; at < keys.size(); ++at) {
        auto placed = distinct.emplace(keys[at].text, texts.size());
        if (placed.second)
            texts.push_back(keys[at].text);
        text_of[at] = placed.first->second;
    }
    std::vector<int32_t> rank(texts.size());
    if (remembered && remembered->ranks.size() == texts.size()) {
        bool same = true;
        for (size_t at = 0; at < texts.size() && same; ++at) {
            auto found = remembered->ranks.find(std::wstring(texts[at]));
            same = found != remembered->ranks.end();
            if (same)
                rank[at] = found->second;
        }
        if (same) {
            for (size_t at = 0; at < keys.size(); ++at)
                keys[at].number = rank[text_of[at]];
            return;
        }
    }
    std::vector<size_t> order(texts.size());
    std::iota(order.begin(), order.end(), size_t(0));
    // Sorting by sort keys is much faster than calling CompareStringW for every comparison; the order is
    // then checked pair by pair with CompareStringW, which also decides which texts are equal. Should the
    // two ever disagree, the texts are sorted with CompareStringW itself.
    // All keys in one buffer: no block per text, and the comparisons walk memory that lies together.
    std::string key_bytes;
    std::vector<size_t> key_start(texts.size() + 1);
    for (size_t at = 0; at < texts.size(); ++at) {
        key_start[at] = key_bytes.size();
        AppendSortKey(texts[at], key_bytes);
    }
    key_start[texts.size()] = key_bytes.size();
    auto key_of = [&](size_t at) {
        return std::string_view(key_bytes.data() + key_start[at], key_start[at + 1] - key_start[at]);
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return key_of(a) < key_of(b); });
    bool consistent = RankSorted(texts, order, rank, true);
    if (!consistent) {
        std::iota(order.begin(), order.end(), size_t(0));
        // Merge-based, so a comparison that is not quite a strict order cannot run out of the range.
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return CompareTexts(texts[a], texts[b]) == CSTR_LESS_THAN;
        });
        RankSorted(texts, order, rank, false);
    }
    if (remembered) {
        // Only a consistent order is kept: the other one may depend on where the texts stand.
        remembered->ranks.clear();
        if (consistent) {
            remembered->ranks.reserve(texts.size());
            for (size_t at = 0; at < texts.size(); ++at)
                remembered->ranks.emplace(std::wstring(texts[at]), rank[at]);
        }
    }
    for (size_t at = 0; at < keys.size(); ++at)
        keys[at].number = rank[text_of[at]];
}

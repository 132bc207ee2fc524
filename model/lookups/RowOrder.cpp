#include "model/lookups/RowOrder.h"

#include <windows.h>
#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>

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

// One part of InParts' work and what became of it.
struct Part
{
    const std::function<void(size_t, size_t)>* work;
    size_t begin;
    size_t end;
    std::exception_ptr error;
    HANDLE thread;
};

DWORD WINAPI RunPart(LPVOID parameter)
{
    Part& part = *static_cast<Part*>(parameter);
    try {
        (*part.work)(part.begin, part.end);
    } catch (...) {
        part.error = std::current_exception();
    }
    return 0;
}

// Runs work(begin, end) over parts of [0, count), some parts on threads of their own: the locale's calls
// for one text do not depend on the others, and a large column spends most of its sort in them. Small
// counts stay on the calling thread, where starting a thread would cost more than it saves.
void InParts(size_t count, const std::function<void(size_t, size_t)>& work)
{
    const size_t kSmallestPart = 8192;
    const size_t kMostParts = 8;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    size_t parts =
        std::min({count / kSmallestPart, kMostParts, static_cast<size_t>(system.dwNumberOfProcessors)});
    if (parts <= 1) {
        work(size_t{0}, count);
        return;
    }
    std::vector<Part> list(parts);
    for (size_t at = 0; at < parts; ++at)
        list[at] = Part{&work, count * at / parts, count * (at + 1) / parts, nullptr, nullptr};
    // Part 0 runs here; a part whose thread cannot start runs here too.
    for (size_t at = 1; at < parts; ++at)
        list[at].thread = CreateThread(nullptr, 0, RunPart, &list[at], 0, nullptr);
    RunPart(&list[0]);
    for (size_t at = 1; at < parts; ++at) {
        if (list[at].thread) {
            WaitForSingleObject(list[at].thread, INFINITE);
            CloseHandle(list[at].thread);
        } else {
            RunPart(&list[at]);
        }
    }
    for (const Part& part : list) {
        if (part.error)
            std::rethrow_exception(part.error);
    }
}

// Appends the locale's sort key of a text: comparing two keys bytewise is meant to order as CompareStringW
// does. One call to the locale in the usual case: the room a key needs is guessed first.
void AppendSortKey(LCID locale, const std::wstring_view& text, std::string& keys)
{
    if (text.empty())
        return;
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = static_cast<int>(text.size());
    size_t start = keys.size();
    int room = 8 * length + 16;
    keys.resize(start + static_cast<size_t>(room));
    int size = LCMapStringW(locale, flags, text.data(), length, reinterpret_cast<LPWSTR>(&keys[start]), room);
    if (size <= 0) {
        size = LCMapStringW(locale, flags, text.data(), length, nullptr, 0);
        if (size <= 0) {
            keys.resize(start);
            return;
        }
        keys.resize(start + static_cast<size_t>(size));
        LCMapStringW(locale, flags, text.data(), length, reinterpret_cast<LPWSTR>(&keys[start]), size);
    }
    keys.resize(start + static_cast<size_t>(size));
}

int CompareTexts(LCID locale, const std::wstring_view& a, const std::wstring_view& b)
{
    return CompareStringW(locale, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size()));
}

// Ranks of texts in sorted order: the same rank where CompareStringW says equal. With strict, false as
// soon as the order is not sorted by CompareStringW's account.
bool RankSorted(LCID locale, const std::vector<std::wstring_view>& texts, const std::vector<size_t>& order,
                std::vector<int32_t>& rank, bool strict)
{
    // Each neighbouring pair is asked on its own, so the pairs are asked in parts at once.
    std::vector<int8_t> compared(order.size());
    InParts(order.size(), [&](size_t begin, size_t end) {
        for (size_t at = std::max<size_t>(begin, 1); at < end; ++at)
            compared[at] = static_cast<int8_t>(CompareTexts(locale, texts[order[at - 1]], texts[order[at]]));
    });
    int32_t current = 0;
    for (size_t at = 0; at < order.size(); ++at) {
        if (at > 0) {
            int result = compared[at];
            if (result == CSTR_GREATER_THAN && strict)
                return false;
            if (result != CSTR_EQUAL)
                ++current;
        }
        rank[order[at]] = current;
    }
    return true;
}

// The distinct texts of the keys, in order of first appearance, and which of them each key holds. An open
// table of indexes: no block per text.
void DistinctTexts(const std::vector<SortKey>& keys, std::vector<std::wstring_view>& texts,
                   std::vector<uint32_t>& text_of)
{
    const uint32_t empty = UINT32_MAX;
    size_t capacity = 16;
    while (capacity < 2 * keys.size())
        capacity *= 2;
    std::vector<uint32_t> slots(capacity, empty);
    std::hash<std::wstring_view> hash;
    text_of.resize(keys.size());
    for (size_t at = 0; at < keys.size(); ++at) {
        std::wstring_view text = keys[at].text;
        size_t slot = hash(text) & (capacity - 1);
        while (slots[slot] != empty && texts[slots[slot]] != text)
            slot = (slot + 1) & (capacity - 1);
        if (slots[slot] == empty) {
            slots[slot] = static_cast<uint32_t>(texts.size());
            texts.push_back(text);
        }
        text_of[at] = slots[slot];
    }
}

// Sorts the positions by their byte keys, equal keys in position order (as a stable sort would). Most
// comparisons are settled by eight key bytes kept beside each position, taken where the keys start to
// differ, so the keys themselves are seldom read.
template <typename KeyOf> void SortByKeys(std::vector<size_t>& order, const KeyOf& key_of)
{
    if (order.empty())
        return;
    size_t common = key_of(order[0]).size();
    std::string_view first = key_of(order[0]);
    for (size_t at : order) {
        std::string_view key = key_of(at);
        size_t same = 0;
        while (same < common && same < key.size() && key[same] == first[same])
            ++same;
        common = same;
    }
    struct Entry
    {
        uint64_t prefix;
        size_t position;
    };
    std::vector<Entry> entries(order.size());
    for (size_t at = 0; at < order.size(); ++at) {
        std::string_view key = key_of(order[at]);
        uint64_t prefix = 0;
        for (size_t byte = 0; byte < 8; ++byte) {
            size_t from = common + byte;
            prefix = (prefix << 8) | (from < key.size() ? static_cast<unsigned char>(key[from]) : 0u);
        }
        entries[at] = Entry{prefix, order[at]};
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        int compared = key_of(a.position).compare(key_of(b.position));
        if (compared != 0)
            return compared < 0;
        return a.position < b.position;
    });
    for (size_t at = 0; at < order.size(); ++at)
        order[at] = entries[at].position;
}

} // namespace

void RankTexts(std::vector<SortKey>& keys, TextRanks* remembered)
{
    std::vector<std::wstring_view> texts;
    std::vector<uint32_t> text_of;
    DistinctTexts(keys, texts, text_of);
    std::vector<int32_t> rank(texts.size());
    if (remembered && remembered->size() == texts.size()) {
        bool same = true;
        for (size_t at = 0; at < texts.size() && same; ++at) {
            rank[at] = remembered->Find(texts[at]);
            same = rank[at] >= 0;
        }
        if (same) {
            for (size_t at = 0; at < keys.size(); ++at)
                keys[at].number = rank[text_of[at]];
            return;
        }
    }
    // Asked once: the default locale behind every call below.
    const LCID locale = GetUserDefaultLCID();
    std::vector<size_t> order(texts.size());
    for (size_t at = 0; at < order.size(); ++at)
        order[at] = at;
    // Sorting by sort keys is much faster than calling CompareStringW for every comparison; the order is
    // then checked pair by pair with CompareStringW, which also decides which texts are equal. Should the
    // two ever disagree, the texts are sorted with CompareStringW itself.
    // All keys in one buffer: no block per text, and the comparisons walk memory that lies together.
    // Each part of the texts fills a buffer of its own; the buffers are then joined.
    std::vector<size_t> key_start(texts.size() + 1);
    std::vector<std::pair<size_t, std::string>> part_keys;
    std::mutex joining;
    InParts(texts.size(), [&](size_t begin, size_t end) {
        std::string bytes;
        for (size_t at = begin; at < end; ++at) {
            key_start[at] = bytes.size();
            AppendSortKey(locale, texts[at], bytes);
        }
        std::lock_guard<std::mutex> lock(joining);
        part_keys.emplace_back(begin, std::move(bytes));
    });
    std::sort(part_keys.begin(), part_keys.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string key_bytes;
    size_t total = 0;
    for (const auto& part : part_keys)
        total += part.second.size();
    key_bytes.reserve(total);
    for (size_t part = 0; part < part_keys.size(); ++part) {
        size_t end = part + 1 < part_keys.size() ? part_keys[part + 1].first : texts.size();
        for (size_t at = part_keys[part].first; at < end; ++at)
            key_start[at] += key_bytes.size();
        key_bytes += part_keys[part].second;
    }
    key_start[texts.size()] = key_bytes.size();
    auto key_of = [&](size_t at) {
        return std::string_view(key_bytes.data() + key_start[at], key_start[at + 1] - key_start[at]);
    };
    SortByKeys(order, key_of);
    bool consistent = RankSorted(locale, texts, order, rank, true);
    if (!consistent) {
        for (size_t at = 0; at < order.size(); ++at)
            order[at] = at;
        // Merge-based, so a comparison that is not quite a strict order cannot run out of the range.
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return CompareTexts(locale, texts[a], texts[b]) == CSTR_LESS_THAN;
        });
        RankSorted(locale, texts, order, rank, false);
    }
    if (remembered) {
        // Only a consistent order is kept: the other one may depend on where the texts stand.
        remembered->Keep(consistent ? texts : std::vector<std::wstring_view>(), rank);
    }
    for (size_t at = 0; at < keys.size(); ++at)
        keys[at].number = rank[text_of[at]];
}

void TextRanks::Keep(const std::vector<std::wstring_view>& texts, const std::vector<int32_t>& ranks)
{
    size_t length = 0;
    for (const std::wstring_view& text : texts)
        length += text.size();
    storage.clear();
    storage.reserve(length);
    start.assign(1, 0);
    start.reserve(texts.size() + 1);
    for (const std::wstring_view& text : texts) {
        storage.append(text);
        start.push_back(storage.size());
    }
    rank.assign(ranks.begin(), ranks.begin() + static_cast<std::ptrdiff_t>(texts.size()));
    slots.clear();
    if (texts.empty())
        return;
    size_t capacity = 16;
    while (capacity < 2 * texts.size())
        capacity *= 2;
    slots.assign(capacity, UINT32_MAX);
    std::hash<std::wstring_view> hash;
    for (size_t at = 0; at < texts.size(); ++at) {
        size_t slot = hash(texts[at]) & (capacity - 1);
        while (slots[slot] != UINT32_MAX)
            slot = (slot + 1) & (capacity - 1);
        slots[slot] = static_cast<uint32_t>(at);
    }
}

int32_t TextRanks::Find(std::wstring_view text) const
{
    if (slots.empty())
        return -1;
    size_t mask = slots.size() - 1;
    for (size_t slot = std::hash<std::wstring_view>()(text) & mask; slots[slot] != UINT32_MAX;
         slot = (slot + 1) & mask) {
        uint32_t at = slots[slot];
        if (std::wstring_view(storage.data() + start[at], start[at + 1] - start[at]) == text)
            return rank[at];
    }
    return -1;
}

std::vector<size_t> SortedOrder(std::vector<SortKey>& keys, bool integer, bool ascending,
                                TextRanks* remembered)
{
    std::vector<size_t> order(keys.size());
    if (!integer) {
        // Ranks run from 0 to fewer than the rows: counted into place, in their first order among equals.
        RankTexts(keys, remembered);
        int32_t top = 0;
        for (const SortKey& key : keys)
            top = std::max(top, key.number);
        std::vector<size_t> start(static_cast<size_t>(top) + 2, 0);
        for (const SortKey& key : keys) {
            size_t bucket =
                ascending ? static_cast<size_t>(key.number) : static_cast<size_t>(top - key.number);
            ++start[bucket + 1];
        }
        for (size_t at = 1; at < start.size(); ++at)
            start[at] += start[at - 1];
        for (size_t at = 0; at < keys.size(); ++at) {
            size_t bucket =
                ascending ? static_cast<size_t>(keys[at].number) : static_cast<size_t>(top - keys[at].number);
            order[start[bucket]++] = at;
        }
        return order;
    }
    // Numbers with their positions side by side; the position breaks ties, which makes the sort stable.
    std::vector<std::pair<int32_t, uint32_t>> numbered(keys.size());
    for (size_t at = 0; at < keys.size(); ++at)
        numbered[at] = std::make_pair(keys[at].number, static_cast<uint32_t>(at));
    if (ascending) {
        std::sort(numbered.begin(), numbered.end());
    } else {
        std::sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? a.first > b.first : a.second < b.second;
        });
    }
    for (size_t at = 0; at < keys.size(); ++at)
        order[at] = numbered[at].second;
    return order;
}

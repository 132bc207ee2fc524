#include "model/lookups/LocaleSortKeys.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>

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

// Appends the locale's sort key of a text. One call to the locale in the usual case: keys of a few
// hundred bytes are made on the stack.
void AppendSortKey(LCID locale, std::wstring_view text, std::vector<char>& keys)
{
    if (text.empty())
        return;
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = static_cast<int>(text.size());
    char room[512];
    int size = LCMapStringW(locale, flags, text.data(), length, reinterpret_cast<LPWSTR>(room), sizeof(room));
    if (size > 0) {
        keys.insert(keys.end(), room, room + size);
        return;
    }
    size = LCMapStringW(locale, flags, text.data(), length, nullptr, 0);
    if (size <= 0)
        return;
    size_t start = keys.size();
    keys.resize(start + static_cast<size_t>(size));
    if (LCMapStringW(locale, flags, text.data(), length, reinterpret_cast<LPWSTR>(&keys[start]), size) <= 0)
        keys.resize(start);
}

// Keys are sorted seven bytes at a time: each entry carries the seven bytes at the current offset and, in
// its lowest byte, how many bytes the key has from there (eight meaning more than seven). Entries equal in
// all of it are equal so far and sorted again by the next seven bytes, unless their keys ended.
struct Item
{
    uint64_t chunk;
    uint32_t at;
};

const size_t kChunk = 7;
// Below this many entries a run is sorted by its keys' remaining bytes directly.
const ptrdiff_t kSmallRun = 32;

uint64_t ChunkAt(std::string_view key, size_t offset)
{
    size_t left = offset < key.size() ? key.size() - offset : 0;
    uint64_t chunk = 0;
    for (size_t byte = 0; byte < kChunk; ++byte)
        chunk = (chunk << 8) | (byte < left ? static_cast<unsigned char>(key[offset + byte]) : 0u);
    return (chunk << 8) | std::min(left, kChunk + 1);
}

std::string_view Rest(std::string_view key, size_t offset)
{
    return key.substr(std::min(offset, key.size()));
}

void SortRun(const std::vector<std::string_view>& keys, Item* begin, Item* end, size_t offset)
{
    if (end - begin < kSmallRun) {
        std::sort(begin, end, [&](const Item& a, const Item& b) {
            int compared = Rest(keys[a.at], offset).compare(Rest(keys[b.at], offset));
            return compared != 0 ? compared < 0 : a.at < b.at;
        });
        return;
    }
    for (Item* item = begin; item != end; ++item)
        item->chunk = ChunkAt(keys[item->at], offset);
    std::sort(begin, end, [](const Item& a, const Item& b) {
        return a.chunk != b.chunk ? a.chunk < b.chunk : a.at < b.at;
    });
    for (Item* run = begin; run != end;) {
        Item* next = run + 1;
        while (next != end && next->chunk == run->chunk)
            ++next;
        if (next - run > 1 && (run->chunk & 0xFF) > kChunk)
            SortRun(keys, run, next, offset + kChunk);
        run = next;
    }
}

} // namespace

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

LocaleSortKeys::LocaleSortKeys(LCID locale, const std::vector<std::wstring_view>& texts) : keys_(texts.size())
{
    std::mutex keeping;
    InParts(texts.size(), [&](size_t begin, size_t end) {
        std::vector<char> bytes;
        size_t characters = 0;
        for (size_t at = begin; at < end; ++at)
            characters += texts[at].size();
        // Room for the usual key: two bytes a character and the level marks.
        bytes.reserve(2 * characters + 8 * (end - begin));
        std::vector<size_t> start(end - begin + 1);
        for (size_t at = begin; at < end; ++at) {
            start[at - begin] = bytes.size();
            AppendSortKey(locale, texts[at], bytes);
        }
        start[end - begin] = bytes.size();
        for (size_t at = begin; at < end; ++at)
            keys_[at] =
                std::string_view(bytes.data() + start[at - begin], start[at - begin + 1] - start[at - begin]);
        // Moving the buffer keeps its bytes where the views point.
        std::lock_guard<std::mutex> lock(keeping);
        buffers_.push_back(std::move(bytes));
    });
}

bool IsPlainText(std::wstring_view text)
{
    for (wchar_t character : text) {
        if (character == 0 || character > 0x7F)
            return false;
    }
    return true;
}

std::vector<uint32_t> OrderOfKeys(const std::vector<std::string_view>& keys)
{
    std::vector<uint32_t> order(keys.size());
    if (keys.empty())
        return order;
    // Bytes every key starts with are skipped at once.
    std::string_view first = keys[0];
    size_t common = first.size();
    for (size_t at = 1; at < keys.size() && common > 0; ++at) {
        std::string_view key = keys[at];
        size_t same = 0;
        while (same < common && same < key.size() && key[same] == first[same])
            ++same;
        common = same;
    }
    std::vector<Item> items(keys.size());
    for (size_t at = 0; at < items.size(); ++at)
        items[at] = Item{0, static_cast<uint32_t>(at)};
    SortRun(keys, items.data(), items.data() + items.size(), common);
    for (size_t at = 0; at < items.size(); ++at)
        order[at] = items[at].at;
    return order;
}

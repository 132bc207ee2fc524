#include "model/lookups/LocaleSortKeys.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <utility>

namespace {

// What the threads of InParts share: the work, and the next block of it that nobody took yet.
struct Blocks
{
    const std::function<void(size_t, size_t)>* work;
    size_t count;
    size_t size;
    std::atomic<size_t> next{0};
    std::mutex failing;
    std::exception_ptr error;
};

// Takes blocks until none is left: a thread that gets less of the processors than the others simply does
// fewer of them.
DWORD WINAPI RunBlocks(LPVOID parameter)
{
    Blocks& blocks = *static_cast<Blocks*>(parameter);
    for (;;) {
        size_t begin = blocks.next.fetch_add(1) * blocks.size;
        if (begin >= blocks.count)
            break;
        try {
            (*blocks.work)(begin, std::min(begin + blocks.size, blocks.count));
        } catch (...) {
            std::lock_guard<std::mutex> lock(blocks.failing);
            if (!blocks.error)
                blocks.error = std::current_exception();
        }
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

// Sorts runs of entries whose keys agree before an offset, a run at a time (no recursion: keys may share
// long beginnings), and tells for each entry whether its key equals the one before it.
class KeySorter
{
public:
    KeySorter(const std::vector<std::string_view>& keys, std::vector<char>& ties) : keys_(keys), ties_(ties)
    {
    }

    void Sort(std::vector<Item>& items)
    {
        first_ = items.data();
        runs_.push_back(Run{items.data(), items.data() + items.size(), 0});
        while (!runs_.empty()) {
            Run run = runs_.back();
            runs_.pop_back();
            SortRun(run);
        }
    }

private:
    struct Run
    {
        Item* begin;
        Item* end;
        size_t offset;
    };

    std::string_view Key(const Item& item, size_t offset) const { return Rest(keys_[item.at], offset); }

    // How many bytes from offset every key of the run shares.
    size_t Shared(const Run& run) const
    {
        std::string_view first = Key(*run.begin, run.offset);
        size_t common = first.size();
        for (const Item* item = run.begin + 1; item != run.end && common > 0; ++item) {
            std::string_view key = Key(*item, run.offset);
            size_t same = 0;
            while (same < common && same < key.size() && key[same] == first[same])
                ++same;
            common = same;
        }
        return common;
    }

    void SortRun(Run run)
    {
        if (run.end - run.begin < kSmallRun) {
            std::sort(run.begin, run.end, [&](const Item& a, const Item& b) {
                int compared = Key(a, run.offset).compare(Key(b, run.offset));
                return compared != 0 ? compared < 0 : a.at < b.at;
            });
            for (Item* item = run.begin + 1; item < run.end; ++item)
                ties_[item - first_] = Key(item[-1], run.offset) == Key(*item, run.offset);
            return;
        }
        run.offset += Shared(run);
        for (Item* item = run.begin; item != run.end; ++item)
            item->chunk = ChunkAt(keys_[item->at], run.offset);
        std::sort(run.begin, run.end, [](const Item& a, const Item& b) {
            return a.chunk != b.chunk ? a.chunk < b.chunk : a.at < b.at;
        });
        for (Item* same = run.begin; same != run.end;) {
            Item* next = same + 1;
            while (next != run.end && next->chunk == same->chunk)
                ++next;
            bool ended = (same->chunk & 0xFF) <= kChunk;
            for (Item* item = same + 1; item < next; ++item)
                ties_[item - first_] = ended;
            if (next - same > 1 && !ended)
                runs_.push_back(Run{same, next, run.offset + kChunk});
            same = next;
        }
    }

    const std::vector<std::string_view>& keys_;
    std::vector<char>& ties_;
    Item* first_ = nullptr;
    std::vector<Run> runs_;
};

} // namespace

void InParts(size_t count, const std::function<void(size_t, size_t)>& work)
{
    const size_t kBlock = 2048;
    const size_t kMostThreads = 8;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    size_t threads =
        std::min({count / (2 * kBlock), kMostThreads, static_cast<size_t>(system.dwNumberOfProcessors)});
    if (threads <= 1) {
        work(size_t{0}, count);
        return;
    }
    Blocks blocks;
    blocks.work = &work;
    blocks.count = count;
    blocks.size = kBlock;
    // This thread takes blocks too; a thread that cannot start leaves its blocks to the others.
    std::vector<HANDLE> started;
    for (size_t at = 1; at < threads; ++at) {
        if (HANDLE thread = CreateThread(nullptr, 0, RunBlocks, &blocks, 0, nullptr))
            started.push_back(thread);
    }
    RunBlocks(&blocks);
    for (HANDLE thread : started) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    if (blocks.error)
        std::rethrow_exception(blocks.error);
}

LocaleSortKeys::LocaleSortKeys(LCID locale, const std::vector<std::wstring_view>& texts)
    : keys_(texts.size()), plain_(texts.size())
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
            plain_[at] = IsPlainText(texts[at]);
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

std::vector<uint32_t> OrderOfKeys(const std::vector<std::string_view>& keys, std::vector<char>* ties)
{
    std::vector<Item> items(keys.size());
    for (size_t at = 0; at < items.size(); ++at)
        items[at] = Item{0, static_cast<uint32_t>(at)};
    std::vector<char> equal(keys.size(), 0);
    if (!items.empty())
        KeySorter(keys, equal).Sort(items);
    std::vector<uint32_t> order(keys.size());
    for (size_t at = 0; at < items.size(); ++at)
        order[at] = items[at].at;
    if (ties)
        ties->swap(equal);
    return order;
}

#include "model/lookups/TextRanks.h"

#include <functional>
#include <utility>

namespace {

const uint32_t kEmpty = UINT32_MAX;

// Room for twice the texts, a power of two: probes stay short.
std::vector<uint32_t> EmptySlots(size_t texts)
{
    size_t capacity = 16;
    while (capacity < 2 * texts)
        capacity *= 2;
    return std::vector<uint32_t>(capacity, kEmpty);
}

} // namespace

DistinctTexts::DistinctTexts(std::wstring texts, const std::vector<size_t>& ends)
    : buffer_(std::move(texts)), slots_(EmptySlots(ends.size())), text_of_(ends.size())
{
    size_t start = 0;
    for (size_t row = 0; row < ends.size(); ++row) {
        text_of_[row] = Add(start, ends[row] - start);
        start = ends[row];
    }
}

uint32_t DistinctTexts::Add(size_t start, size_t length)
{
    std::wstring_view text(buffer_.data() + start, length);
    size_t hash = std::hash<std::wstring_view>()(text);
    size_t mask = slots_.size() - 1;
    size_t slot = hash & mask;
    for (; slots_[slot] != kEmpty; slot = (slot + 1) & mask) {
        uint32_t at = slots_[slot];
        if (hash_[at] == hash && (*this)[at] == text)
            return at;
    }
    slots_[slot] = static_cast<uint32_t>(start_.size());
    start_.push_back(start);
    length_.push_back(static_cast<uint32_t>(length));
    hash_.push_back(hash);
    return slots_[slot];
}

int64_t DistinctTexts::Find(std::wstring_view text, size_t hash) const
{
    if (slots_.empty())
        return -1;
    size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask; slots_[slot] != kEmpty; slot = (slot + 1) & mask) {
        uint32_t at = slots_[slot];
        if (hash_[at] == hash && (*this)[at] == text)
            return at;
    }
    return -1;
}

DistinctTexts DistinctTexts::Compacted() const
{
    DistinctTexts compact;
    size_t length = 0;
    for (uint32_t text_length : length_)
        length += text_length;
    compact.buffer_.reserve(length);
    compact.slots_ = EmptySlots(size());
    for (size_t at = 0; at < size(); ++at) {
        size_t start = compact.buffer_.size();
        compact.buffer_.append((*this)[at]);
        compact.Add(start, length_[at]);
    }
    return compact;
}

void TextRanks::Keep(DistinctTexts texts, std::vector<int32_t> ranks)
{
    // A column of few values keeps only those; one of many keeps the rows' buffer as it is.
    if (2 * texts.size() < texts.text_of().size())
        texts_ = texts.Compacted();
    else
        texts_ = std::move(texts);
    texts_.ForgetRows();
    rank_ = std::move(ranks);
    rank_.resize(texts_.size());
}

int32_t TextRanks::Find(std::wstring_view text, size_t hash) const
{
    int64_t at = texts_.Find(text, hash);
    return at < 0 ? -1 : rank_[static_cast<size_t>(at)];
}

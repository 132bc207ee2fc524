#pragma once
// The distinct texts of a column and their ranks in the text order, kept between sorts of the column.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The distinct texts of a column's rows in order of first appearance, and which of them each row holds.
// The texts stay in the rows' buffer, found through an open table of their indexes: no block per text.
class DistinctTexts
{
public:
    DistinctTexts() = default;
    // texts: every row's text end to end; ends: where each row's text ends.
    DistinctTexts(std::wstring texts, const std::vector<size_t>& ends);

    size_t size() const { return start_.size(); }
    std::wstring_view operator[](size_t at) const
    {
        return std::wstring_view(buffer_).substr(start_[at], length_[at]);
    }
    size_t hash(size_t at) const { return hash_[at]; }
    // The index of the distinct text of each row.
    const std::vector<uint32_t>& text_of() const { return text_of_; }
    // The index of a text given its hash; -1 when it is not held.
    int64_t Find(std::wstring_view text, size_t hash) const;
    // The same texts in a buffer of their own, without the rows' repeats and the row indexes.
    DistinctTexts Compacted() const;
    // Drops the row indexes, which only the sort that found the texts needs.
    void ForgetRows() { std::vector<uint32_t>().swap(text_of_); }

private:
    // Adds the text at buffer_[start, start + length) when new; its index either way.
    uint32_t Add(size_t start, size_t length);

    std::wstring buffer_;
    std::vector<size_t> start_;
    std::vector<uint32_t> length_;
    std::vector<size_t> hash_;
    std::vector<uint32_t> slots_;
    std::vector<uint32_t> text_of_;
};

// The ranks of the distinct texts of a column's last sort. Ranks depend only on which texts there are, so
// a later sort that finds exactly the same texts takes them from here instead of asking the locale again.
class TextRanks
{
public:
    TextRanks() = default;
    // Kept once per sorted column; copies would only cost.
    TextRanks(const TextRanks&) = delete;
    TextRanks& operator=(const TextRanks&) = delete;

    // Keeps the texts with their ranks (none: forgets).
    void Keep(DistinctTexts texts, std::vector<int32_t> ranks);
    // The rank of a kept text given its hash; -1 when it is not kept.
    int32_t Find(std::wstring_view text, size_t hash) const;
    size_t size() const { return rank_.size(); }

private:
    DistinctTexts texts_;
    std::vector<int32_t> rank_;
};

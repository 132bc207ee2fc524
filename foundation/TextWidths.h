#pragma once
// Widths of texts in a window's font by their characters' advance widths. A list control fitting a column
// of an owner-data list measures every row exactly; this is cheap enough to pick, among many texts, the
// few the control would find widest, and show it only those.
#include <windows.h>
#include <functional>
#include <utility>
#include <vector>

namespace tamblewick_foundation_classes_v1_0 {

// A window's font's advance widths, kept by character; the font is asked only for characters not seen.
class TextAdvances
{
public:
    explicit TextAdvances(HWND window) : window_(window), advances_(0x10000, -1) {}
    // The width of up to max_length characters of text (null: 0).
    int Width(const wchar_t* text, size_t max_length);

private:
    HWND window_;
    std::vector<int> advances_;
};

// The indexes of the `keep` widest of the texts offered.
class WidestIndexes
{
public:
    explicit WidestIndexes(size_t keep) : keep_(keep) {}
    void Offer(int width, size_t index);
    // Ascending.
    std::vector<size_t> Indexes() const;
    // The widest width offered, or -1 before any.
    int Widest() const { return widest_; }

private:
    size_t keep_;
    int widest_ = -1;
    // (width, index), the narrowest of the kept first.
    std::vector<std::pair<int, size_t>> heap_;
};

// The indexes (ascending) of the `keep` widest of `count` texts, each measured up to max_length
// characters. text(index) gives a text (null for none), valid until the next call.
std::vector<size_t> WidestTexts(HWND window, size_t count, size_t keep, size_t max_length,
                                const std::function<const wchar_t*(size_t index)>& text);

} // namespace tamblewick_foundation_classes_v1_0

#include "foundation/TextWidths.h"
#include "foundation/Errors.h"

#include <algorithm>

namespace tamblewick_foundation_classes_v1_0 {

namespace {

bool Narrower(const std::pair<int, size_t>& a, const std::pair<int, size_t>& b)
{
    return a > b;
}

} // namespace

int TextAdvances::Width(const wchar_t* text, size_t max_length)
{
    HDC dc = nullptr;
    HGDIOBJ old_font = nullptr;
    int width = 0;
    for (size_t at = 0; text && at < max_length && text[at]; ++at) {
        int& advance = advances_[static_cast<unsigned short>(text[at])];
        if (advance < 0) {
            if (!dc) {
                dc = GetDC(window_);
                if (!dc)
                    throw_last_error(L"GetDC");
                old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0)));
            }
            INT measured = 0;
            advance = GetCharWidth32W(dc, text[at], text[at], &measured) ? measured : 0;
        }
        width += advance;
    }
    if (dc) {
        SelectObject(dc, old_font);
        ReleaseDC(window_, dc);
    }
    return width;
}

void WidestIndexes::Offer(int width, size_t index)
{
    widest_ = std::max(widest_, width);
    if (heap_.size() < keep_) {
        heap_.emplace_back(width, index);
        std::push_heap(heap_.begin(), heap_.end(), Narrower);
    } else if (keep_ > 0 && width > heap_.front().first) {
        std::pop_heap(heap_.begin(), heap_.end(), Narrower);
        heap_.back() = std::make_pair(width, index);
        std::push_heap(heap_.begin(), heap_.end(), Narrower);
    }
}

std::vector<size_t> WidestIndexes::Indexes() const
{
    std::vector<size_t> result;
    for (const auto& entry : heap_)
        result.push_back(entry.second);
    std::sort(result.begin(), result.end());
    return result;
}

std::vector<size_t> WidestTexts(HWND window, size_t count, size_t keep, size_t max_length,
                                const std::function<const wchar_t*(size_t index)>& text)
{
    TextAdvances advances(window);
    WidestIndexes widest(keep);
    for (size_t index = 0; index < count; ++index)
        widest.Offer(advances.Width(text(index), max_length), index);
    return widest.Indexes();
}

} // namespace tamblewick_foundation_classes_v1_0

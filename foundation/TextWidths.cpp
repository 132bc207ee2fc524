#include "foundation/TextWidths.h"
#include "foundation/Errors.h"

#include <algorithm>
#include <utility>

namespace tamblewick_foundation_classes_v1_0 {

std::vector<size_t> WidestTexts(HWND window, size_t count, size_t keep, size_t max_length,
                                const std::function<const wchar_t*(size_t index)>& text)
{
    HDC dc = GetDC(window);
    if (!dc)
        throw_last_error(L"GetDC");
    HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    std::vector<int> advances(0x10000, -1);
    auto advance = [&](wchar_t c) {
        int& width = advances[static_cast<unsigned short>(c)];
        if (width < 0) {
            INT measured = 0;
            width = GetCharWidth32W(dc, c, c, &measured) ? measured : 0;
        }
        return width;
    };
    // (width, index), the narrowest of the kept first.
    std::vector<std::pair<int, size_t>> widest;
    auto narrower = [](const std::pair<int, size_t>& a, const std::pair<int, size_t>& b) { return a > b; };
    try {
        for (size_t index = 0; index < count; ++index) {
            const wchar_t* shown = text(index);
            int width = 0;
            for (size_t at = 0; shown && at < max_length && shown[at]; ++at)
                width += advance(shown[at]);
            if (widest.size() < keep) {
                widest.emplace_back(width, index);
                std::push_heap(widest.begin(), widest.end(), narrower);
            } else if (keep > 0 && width > widest.front().first) {
                std::pop_heap(widest.begin(), widest.end(), narrower);
                widest.back() = std::make_pair(width, index);
                std::push_heap(widest.begin(), widest.end(), narrower);
            }
        }
    } catch (...) {
        SelectObject(dc, old_font);
        ReleaseDC(window, dc);
        throw;
    }
    SelectObject(dc, old_font);
    ReleaseDC(window, dc);
    std::vector<size_t> result;
    for (const auto& entry : widest)
        result.push_back(entry.second);
    std::sort(result.begin(), result.end());
    return result;
}

} // namespace tamblewick_foundation_classes_v1_0

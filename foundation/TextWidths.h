#pragma once
// Widths of texts in a window's font by their characters' advance widths. A list control fitting a column
// of an owner-data list measures every row exactly; this is cheap enough to pick, among many texts, the
// few the control would find widest, and show it only those.
#include <windows.h>
#include <functional>
#include <vector>

namespace tamblewick_foundation_classes_v1_0 {

// The indexes (ascending) of the `keep` widest of `count` texts, each measured up to max_length
// characters. text(index) gives a text (null for none), valid until the next call.
std::vector<size_t> WidestTexts(HWND window, size_t count, size_t keep, size_t max_length,
                                const std::function<const wchar_t*(size_t index)>& text);

} // namespace tamblewick_foundation_classes_v1_0

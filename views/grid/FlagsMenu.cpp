#include "views/grid/FlagsMenu.h"

#include <cwchar>

namespace flags_menu {

bool IsChecked(int value, const NamedValue& named)
{
    uint32_t bits = static_cast<uint32_t>(value);
    if (named.mask != 0)
        return (bits & named.mask) == named.value;
    return (bits & named.value) == named.value;
}

int Apply(int value, const NamedValue& named, bool checked)
{
    uint32_t bits = static_cast<uint32_t>(value);
    if (!checked)
        bits = named.mask != 0 ? (bits & ~named.mask) | named.value : bits | named.value;
    else
        bits &= ~(named.value | named.mask);
    return static_cast<int>(bits);
}

std::vector<Entry> BuildEntries(const std::vector<NamedValue>& named_values, int value, unsigned width,
                                bool show_numbers)
{
    std::vector<Entry> entries;
    UINT command = 0;
    for (const NamedValue& named : named_values) {
        Entry entry;
        entry.command = ++command;
        if (named.is_separator()) {
            entry.separator = true;
            entries.push_back(entry);
            continue;
        }
        entry.text = named.name;
        if (show_numbers) {
            wchar_t numbers[64];
            swprintf(numbers, 64, width == 2 ? L"\t0x%04X  %i" : L"\t0x%08X  %i", named.value,
                     static_cast<int>(named.value));
            entry.text += numbers;
        }
        entry.checked = IsChecked(value, named);
        entries.push_back(entry);
    }
    return entries;
}

} // namespace flags_menu

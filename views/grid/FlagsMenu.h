#pragma once
// The bit-flag menu of an integer column with named values: which entries are checked for a value, what
// choosing one does to the value, and the entries' texts.
#include "model/FieldSchema.h"

#include <windows.h>
#include <string>
#include <vector>

namespace flags_menu {

const UINT kDecimalCommand = 65534;
const UINT kHexCommand = 65535;

struct Entry
{
    UINT command = 0; // 1, 2, 3 ... by position among the named values; separators use up a number
    bool separator = false;
    bool checked = false;
    std::wstring text;
};

// With a mask: (value AND mask) = named value; without: (value AND named value) = named value.
bool IsChecked(int value, const NamedValue& named);
// An unchecked entry sets its bits (clearing the mask first), a checked one clears them.
int Apply(int value, const NamedValue& named, bool checked);
// The entries after "Dec", "Hex" and the separator. With numbers, "\t0x%04X  %i" follows the name for
// a 2-byte column, "\t0x%08X  %i" otherwise.
std::vector<Entry> BuildEntries(const std::vector<NamedValue>& named_values, int value, unsigned width,
                                bool show_numbers);

} // namespace flags_menu

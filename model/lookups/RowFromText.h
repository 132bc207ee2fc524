#pragma once
// Rows built from texts (pasted rows, the registry import). A first key that some row has already is
// numbered from the entered text: Row1 becomes Row10, then Row11, and so on.
#include "model/MsiTable.h"

#include <functional>
#include <string>
#include <vector>

// True when a row with these key texts exists already.
using KeyTaken = std::function<bool(const std::vector<std::wstring>& key_values)>;

// One value per column from one text per column. Throws tfc::NullError after a trail line when the text
// count is wrong, a required field is empty, or no free key can be made (the number appended no longer
// changes the key, as with a key shown in hexadecimal, or too many keys are taken).
MsiRow RowFromTexts(const MsiColumns& columns, const std::vector<std::wstring>& texts, const KeyTaken& taken);

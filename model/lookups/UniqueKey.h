#pragma once
// Key prefixes for callers that number new rows (the registry import passes "Comp_reg"): the text, with
// "_" appended until no key is the prefix followed by digits.
#include <string>
#include <vector>

// keys: the display texts of the non-null key cells of every row.
std::wstring UniqueKeyPrefix(const std::wstring& text, const std::vector<std::wstring>& keys);

#pragma once
// Whether a database's code page holds a text. The installer library stores strings in that code page and
// turns a character it lacks into '?' or a look-alike without a word, so such a value is refused where it
// is entered: what the grid shows is then what the file holds.
#include "model/MsiFieldData.h"
#include "model/MsiTable.h"

#include <windows.h>
#include <string>
#include <vector>

// Empty when the code page holds every character of the text; else the refusal, naming the code page and
// the characters. Code page 0 (neutral) is stored in the system's ANSI code page, and is checked as that.
// `holder` begins the refusal: whose code page it is.
std::wstring CodePageRefusal(const std::wstring& text, UINT code_page,
                             const std::wstring& holder = L"The database's code page");
// The same for the string cells of a row (one value per column, in column order; extra values are not
// checked).
std::wstring RowCodePageRefusal(const MsiColumns& columns, const std::vector<MsiFieldDataRef>& values,
                                UINT code_page);

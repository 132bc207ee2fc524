#pragma once
// Reader of tab-separated text: ICE message lines and pasted clipboard rows. The reading side of
// QuoteClipboardCell: a field holding a tab or a line feed, or starting with a double quote, comes
// in double quotes with inner quotes doubled.
#include <string>
#include <vector>

typedef std::vector<std::wstring> CsvRow;
typedef std::vector<CsvRow> CsvRowList;

// Appends the rows of `text` to `rows`. A quote that opens a field which the text never closes is an
// ordinary character, and what follows it is read as unquoted text. Throws std::runtime_error on a
// closing quote followed by anything but a tab, a line break or the end; rows completed before it stay.
void ParseCsvText(const std::wstring& text, CsvRowList& rows);

#include "foundation/CsvText.h"

#include <stdexcept>

void ParseCsvText(const std::wstring& text, CsvRowList& rows)
{
    const size_t length = text.size();
    CsvRow row;
    std::wstring field; // the field's characters less the quotes that the rules drop
    size_t field_start = 0;
    bool quoted = false;
    // A quote that opened a field which never closed: read again as an ordinary character.
    size_t literal_quote = std::wstring::npos;

    size_t i = 0;
    for (;;) {
        if (i == length) {
            if (!quoted)
                break;
            // The text ended inside a quoted field: the quote was no quoting (a value that merely begins
            // with one, cut off, or from another program). Read it and the rest as plain text instead of
            // losing the rows after it.
            literal_quote = field_start;
            i = literal_quote;
            field.clear();
            quoted = false;
            continue;
        }
        const wchar_t c = text[i];
        if (c == L'"') {
            if (!quoted && i == field_start && i != literal_quote) {
                quoted = true;
                ++i;
                continue;
            }
            if (quoted) {
                if (i + 1 == length) {
                    // A closing quote as the text's last character.
                    quoted = false;
                    ++i;
                    continue;
                }
                const wchar_t next = text[i + 1];
                if (next == L'"') {
                    field += L'"';
                    i += 2;
                    continue;
                }
                if (next == L'\t' || next == L'\r' || next == L'\n') {
                    quoted = false;
                    ++i;
                    continue;
                }
                throw std::runtime_error(
                    "Invalid csv field. All unescaped quotation marks must be followed by a field delimiter");
            }
        } else if (!quoted && c == L'\t') {
            row.push_back(std::move(field));
            field.clear();
            field_start = i + 1;
            ++i;
            continue;
        } else if (!quoted && c == L'\n') {
            if (!field.empty() && field.back() == L'\r')
                field.pop_back();
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            field_start = i + 1;
            ++i;
            continue;
        }
        field += c;
        ++i;
    }

    // The text's own last character decides, not what is left after dropping quotes: a quoted last
    // field that ends in a line feed ("x<LF>" in quotes) is complete and must not be lost.
    if (length > 0 && text[length - 1] != L'\n') {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
}

#pragma once
// Helpers for feeding the registry-file grammar the way the import does.
#include "regimport/RegFileGrammar.h"

#include <cstdint>
#include <string>
#include <vector>

namespace regfile_test {

// Text of a file as UTF-16LE bytes, optionally after a byte-order mark.
inline std::vector<std::uint8_t> Utf16Bytes(const std::wstring& text, bool bom)
{
    std::vector<std::uint8_t> bytes;
    if (bom) {
        bytes.push_back(0xFF);
        bytes.push_back(0xFE);
    }
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    return bytes;
}

// The file's bytes taken as code units exactly as stored (n/2 units; an odd last byte is lost), with one
// more unit set to LF, so that a file without a final line break still reads.
inline std::wstring ImportBuffer(const std::vector<std::uint8_t>& bytes)
{
    std::wstring text(bytes.size() / 2 + 1, L'\n');
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text[i / 2] = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

struct Parsed
{
    reg_file_parser::KeyInfoSet keys;
    bool full = false;
    bool hit = false;
    size_t stop = 0; // in code units from the start
};

inline void Parse(const std::wstring& text, Parsed& out)
{
    const wchar_t* first = text.data();
    auto result = reg_file_parser::ParseRegFileText(first, first + text.size(), out.keys);
    out.full = result.full;
    out.hit = result.hit;
    out.stop = static_cast<size_t>(result.stop - first);
}

} // namespace regfile_test

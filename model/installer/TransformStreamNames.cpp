#include "model/installer/TransformStreamNames.h"

namespace msi {
namespace {

// 6-bit value of a packable character, or -1.
int packed_value(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'Z')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 36;
    if (c == L'.')
        return 62;
    if (c == L'_')
        return 63;
    return -1;
}

} // namespace

// Checked: "_Columns", "_Tables", "_StringPool" and "BINARY.1" pack to the units native databases use,
// and Wine finds the table and stream cell streams named so.
std::wstring PackStreamName(const std::wstring& name, bool table_stream)
{
    std::wstring packed;
    if (table_stream)
        packed += kTableStreamPrefix;
    for (size_t i = 0; i < name.size(); ++i) {
        int first = packed_value(name[i]);
        if (first < 0) {
            packed += name[i];
            continue;
        }
        int second = i + 1 < name.size() ? packed_value(name[i + 1]) : -1;
        if (second < 0) {
            packed += wchar_t(0x4800 + first);
        } else {
            packed += wchar_t(0x3800 + first + (second << 6));
            ++i;
        }
    }
    return packed;
}

std::wstring UnpackStreamName(const std::wstring& packed, bool& table_stream)
{
    static const wchar_t kChars[] = L"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
    table_stream = !packed.empty() && packed[0] == kTableStreamPrefix;
    std::wstring name;
    for (size_t i = table_stream ? 1 : 0; i < packed.size(); ++i) {
        unsigned unit = packed[i];
        if (unit >= 0x3800 && unit < 0x4800) {
            name += kChars[(unit - 0x3800) & 63];
            name += kChars[((unit - 0x3800) >> 6) & 63];
        } else if (unit >= 0x4800 && unit < 0x4840) {
            name += kChars[unit - 0x4800];
        } else {
            name += packed[i];
        }
    }
    return name;
}

std::wstring RowStreamName(const std::wstring& table, const std::vector<std::wstring>& key_texts)
{
    std::wstring name = table;
    for (const std::wstring& key : key_texts)
        name += L"." + key;
    return name;
}

} // namespace msi

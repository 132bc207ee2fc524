#include "model/installer/TableFileCheck.h"

#include <windows.h>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace msi {
namespace {

// The file's text: UTF-16 after its mark, otherwise in the code page the library reads it in. Trailing
// zero bytes are no text to the library.
std::wstring decode(std::string bytes)
{
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFF && static_cast<BYTE>(bytes[1]) == 0xFE) {
        std::wstring text((bytes.size() - 2) / 2, L'\0');
        for (size_t at = 0; at < text.size(); ++at)
            text[at] = static_cast<wchar_t>(static_cast<BYTE>(bytes[2 + 2 * at]) |
                                            static_cast<BYTE>(bytes[3 + 2 * at]) << 8);
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }
    while (!bytes.empty() && bytes.back() == '\0')
        bytes.pop_back();
    if (bytes.empty())
        return std::wstring();
    int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], size);
    return text;
}

// The lines without their line ends. The library takes every run of carriage returns and line feeds
// after a field as one line end; a carriage return before other text stays in the line.
std::vector<std::wstring> split_lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        while (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> fields(const std::wstring& line)
{
    std::vector<std::wstring> result;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        result.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return result;
        start = tab + 1;
    }
}

bool is_type(const std::wstring& type)
{
    if (type.size() < 2 || std::wstring(L"sSlLiIvVgGjJ").find(type[0]) == std::wstring::npos)
        return false;
    for (size_t at = 1; at < type.size(); ++at)
        if (type[at] < L'0' || type[at] > L'9')
            return false;
    return true;
}

bool is_code_page_file(const std::vector<std::wstring>& lines)
{
    const std::wstring code_page = L"\t_ForceCodepage";
    return lines.size() >= 3 && lines[0].empty() && lines[1].empty() && lines[2].size() > code_page.size() &&
           lines[2].compare(lines[2].size() - code_page.size(), code_page.size(), code_page) == 0;
}

bool has_header(const std::vector<std::wstring>& lines)
{
    if (lines.size() < 3)
        return false;
    if (lines[0].empty() && lines[1].empty())
        return is_code_page_file(lines);
    std::vector<std::wstring> names = fields(lines[0]), types = fields(lines[1]), table = fields(lines[2]);
    if (names.size() != types.size() || table[0].empty())
        return false;
    for (size_t at = 0; at < names.size(); ++at)
        if (names[at].empty() || !is_type(types[at]))
            return false;
    return true;
}

std::wstring quoted(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

// What an integer field is wrong with, or empty when the column holds it. The library reads a sign and
// digits and stops at anything else; each size keeps its smallest value for null.
std::wstring integer_fault(const std::wstring& field, const std::wstring& type)
{
    size_t at = field[0] == L'-' || field[0] == L'+' ? 1 : 0;
    bool digits = at < field.size();
    int64_t value = 0;
    for (; at < field.size() && digits; ++at) {
        digits = field[at] >= L'0' && field[at] <= L'9';
        value = std::min<int64_t>(value * 10 + (field[at] - L'0'), INT64_C(1) << 40);
    }
    if (!digits)
        return quoted(field) + L" is not an integer.";
    if (field[0] == L'-')
        value = -value;
    int size = _wtoi(type.c_str() + 1);
    int64_t limit = size <= 2 ? 32767 : size == 4 ? 2147483647 : 0;
    if (limit == 0 || (value >= -limit && value <= limit))
        return std::wstring();
    return field + L" is outside what a " + std::to_wstring(size <= 2 ? 2 : 4) +
           L"-byte integer column holds (-" + std::to_wstring(limit) + L" to " + std::to_wstring(limit) +
           L"; -" + std::to_wstring(limit + 1) + L" stands for null).";
}

bool is_file(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string read_file(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    BOOL ok;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) && read != 0)
        bytes.append(buffer, read);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok)
        throw tfc::Win32Error(error, L"ReadFile");
    return bytes;
}

// Throws at the first row that does not fit the columns of the header.
void check_rows(const std::wstring& path, const std::vector<std::wstring>& lines)
{
    std::vector<std::wstring> names = fields(lines[0]), types = fields(lines[1]), table = fields(lines[2]);
    if (table.size() < 2)
        throw TableFileError(path, 3, std::wstring(),
                             L"the table " + quoted(table[0]) + L" names no key column.");
    for (size_t key = 1; key < table.size(); ++key) {
        bool known = false;
        for (const std::wstring& name : names)
            known = known || name == table[key];
        if (!known)
            throw TableFileError(path, 3, std::wstring(),
                                 L"the key column " + quoted(table[key]) + L" is not a column of the table.");
    }
    // The library looks for stream files in the folder named as the file without its extension.
    size_t dot = path.find_last_of(L'.');
    std::wstring streams = dot == std::wstring::npos ? std::wstring() : path.substr(0, dot) + L"\\";
    for (size_t at = 3; at < lines.size(); ++at) {
        // The library skips empty lines.
        if (lines[at].empty())
            continue;
        size_t line = at + 1;
        std::vector<std::wstring> row = fields(lines[at]);
        if (row.size() < names.size())
            throw TableFileError(path, line, names[row.size()],
                                 L"the row ends before this column: it has " + std::to_wstring(row.size()) +
                                     L" of the table's " + std::to_wstring(names.size()) + L" fields.");
        if (row.size() > names.size())
            throw TableFileError(path, line, std::wstring(),
                                 L"the row has " + std::to_wstring(row.size()) + L" fields; the table has " +
                                     std::to_wstring(names.size()) + L" columns.");
        for (size_t column = 0; column < row.size(); ++column) {
            const std::wstring& field = row[column];
            if (field.find(L'\r') != std::wstring::npos)
                throw TableFileError(path, line, names[column],
                                     L"a carriage return without a line feed splits the row.");
            if (field.empty())
                continue;
            wchar_t kind = static_cast<wchar_t>(towlower(types[column][0]));
            std::wstring fault;
            if (kind == L'i')
                fault = integer_fault(field, types[column]);
            else if (kind == L'v' && (streams.empty() || !is_file(streams + field)))
                fault = L"the stream file " + streams + field + L" is missing.";
            if (!fault.empty())
                throw TableFileError(path, line, names[column], fault);
        }
    }
}

} // namespace

TableFileError::TableFileError(const std::wstring& path)
    : tfc::Win32Error(ERROR_INVALID_DATA, L"MsiDatabaseImport"),
      message_(path + L"\r\nThe file is empty or is not a table file.")
{
}

TableFileError::TableFileError(const std::wstring& path, size_t line, const std::wstring& column,
                               const std::wstring& fault)
    : tfc::Win32Error(ERROR_INVALID_DATA, L"MsiDatabaseImport"),
      message_(path + L"\r\nLine " + std::to_wstring(line) +
               (column.empty() ? std::wstring() : L", column " + quoted(column)) + L": " + fault)
{
}

bool HasTableFileHeader(const std::string& bytes)
{
    return has_header(split_lines(decode(bytes)));
}

void RequireTableFile(const std::wstring& path)
{
    std::vector<std::wstring> lines = split_lines(decode(read_file(path)));
    if (!has_header(lines))
        throw TableFileError(path);
    if (!is_code_page_file(lines))
        check_rows(path, lines);
}

} // namespace msi

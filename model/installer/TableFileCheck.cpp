#include "model/installer/TableFileCheck.h"

#include <windows.h>
#include <vector>

namespace msi {
namespace {

// The first lines of the text, without their line ends; bytes of UTF-16 text (with its mark) are
// narrowed, which keeps the tabs, line ends and type letters the check looks at.
std::vector<std::string> first_lines(const std::string& bytes, size_t count)
{
    std::string text;
    if (bytes.size() >= 2 && static_cast<BYTE>(bytes[0]) == 0xFF && static_cast<BYTE>(bytes[1]) == 0xFE) {
        for (size_t at = 2; at + 1 < bytes.size(); at += 2)
            text += bytes[at + 1] ? '?' : bytes[at];
    } else {
        text = bytes;
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (lines.size() < count && start <= text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> result;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        result.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return result;
        start = tab + 1;
    }
}

bool is_type(const std::string& type)
{
    if (type.size() < 2 || std::string("sSlLiIvVgGjJ").find(type[0]) == std::string::npos)
        return false;
    for (size_t at = 1; at < type.size(); ++at)
        if (type[at] < '0' || type[at] > '9')
            return false;
    return true;
}

} // namespace

TableFileError::TableFileError(const std::wstring& path)
    : tfc::Win32Error(ERROR_INVALID_DATA, L"MsiDatabaseImport"),
      message_(L"The file is empty or is not a table file: " + path)
{
}

bool HasTableFileHeader(const std::string& bytes)
{
    std::vector<std::string> lines = first_lines(bytes, 3);
    if (lines.size() < 3)
        return false;
    const std::string code_page = "\t_ForceCodepage";
    if (lines[0].empty() && lines[1].empty())
        return lines[2].size() > code_page.size() &&
               lines[2].compare(lines[2].size() - code_page.size(), code_page.size(), code_page) == 0;
    std::vector<std::string> names = fields(lines[0]), types = fields(lines[1]), table = fields(lines[2]);
    if (names.size() != types.size() || table[0].empty())
        return false;
    for (size_t at = 0; at < names.size(); ++at)
        if (names[at].empty() || !is_type(types[at]))
            return false;
    return true;
}

void RequireTableFile(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    // The header is in the first lines; names and types of a wide table still fit in this much.
    std::string bytes(65536, '\0');
    DWORD read = 0;
    BOOL ok = ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok)
        throw tfc::Win32Error(error, L"ReadFile");
    bytes.resize(read);
    if (!HasTableFileHeader(bytes))
        throw TableFileError(path);
}

} // namespace msi

#include "MsitoolsPicture.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cwchar>
#include <map>

namespace model_testing {
namespace {

const wchar_t kMsidump[] = L"Z:\\usr\\bin\\msidump";

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

// Every table as msitools export it, and every stream (msidump itself splits names at blanks).
bool run_msitools(const std::wstring& folder, const std::wstring& path)
{
    std::string out = testing_support::UnixPath(folder), file = testing_support::UnixPath(path);
    std::string script = "msidump -t -d '" + out + "' '" + file + "' >/dev/null 2>&1\n" + "mkdir '" + out +
                         "/_Streams'\n" + "msiinfo streams '" + file + "' | while IFS= read -r name; do\n" +
                         "  msiinfo extract '" + file + "' \"$name\" > '" + out +
                         "/_Streams/'\"$(printf %s \"$name\" | tr '/\\\\|:*?<>' _)\"\n" + "done\n";
    return testing_support::RunUnixScript(folder, script);
}

std::wstring table_picture(const std::wstring& folder, const std::wstring& table)
{
    std::vector<BYTE> bytes = testing_support::ReadFileBytes(folder + L"\\" + table + L".idt");
    std::wstring text = tfc::to_wide(std::string(bytes.begin(), bytes.end()), CP_UTF8);
    // msidump writes a cell's line breaks as they are (no escapes) and ends a row with CR LF: a row goes on
    // over the next line until it has a field for every column.
    std::vector<std::wstring> lines;
    for (const std::wstring& piece : split(text, L'\n')) {
        if (lines.size() > 3 && split(lines.back(), L'\t').size() < split(lines[0], L'\t').size())
            lines.back() += L"\n" + piece;
        else
            lines.push_back(piece);
    }
    for (std::wstring& line : lines)
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
    if (lines.size() < 3)
        return L"[" + table + L"] unreadable\n";
    std::vector<std::wstring> names = split(lines[0], L'\t'), types = split(lines[1], L'\t');
    std::vector<std::wstring> keys = split(lines[2], L'\t');
    std::vector<std::wstring> rows;
    for (size_t at = 3; at < lines.size(); ++at) {
        if (lines[at].empty())
            continue;
        std::vector<std::wstring> cells = split(lines[at], L'\t');
        // A tab in a text comes out as it is too: the row reads as ours once the surplus fields are
        // joined again (into the last cell; where the tab was does not change the row's text).
        while (cells.size() > names.size()) {
            cells[cells.size() - 2] += L"\t" + cells.back();
            cells.pop_back();
        }
        cells.resize(names.size());
        std::wstring row;
        for (size_t column = 0; column < names.size(); ++column) {
            bool stream =
                column < types.size() && !types[column].empty() && towlower(types[column][0]) == L'v';
            if (stream && !cells[column].empty()) {
                std::wstring name = table;
                for (size_t key = 1; key < keys.size(); ++key) {
                    auto found = std::find(names.begin(), names.end(), keys[key]);
                    name += L"." + (found == names.end() ? std::wstring() : cells[found - names.begin()]);
                }
                // Characters Windows file names cannot hold; the script writes them as '_'.
                for (wchar_t& c : name)
                    if (std::wcschr(L"/\\|:*?<>", c))
                        c = L'_';
                std::wstring file = folder + L"\\_Streams\\" + name;
                row += GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES
                           ? L"<no stream " + name + L">"
                           : StreamDigest(testing_support::ReadFileBytes(file));
            } else {
                row += cells[column];
            }
            row += L"\t";
        }
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    std::wstring picture = L"[" + table + L"]\n";
    for (const std::wstring& row : rows)
        picture += row + L"\n";
    return picture;
}

} // namespace

std::wstring StreamDigest(const std::vector<BYTE>& bytes)
{
    uint32_t hash = 2166136261u;
    for (BYTE byte : bytes)
        hash = (hash ^ byte) * 16777619u;
    return L"<" + std::to_wstring(bytes.size()) + L":" + std::to_wstring(hash) + L">";
}

bool MsitoolsPicture(const std::wstring& path, std::wstring& picture)
{
    if (GetFileAttributesW(kMsidump) == INVALID_FILE_ATTRIBUTES || testing_support::UnixPath(path).empty())
        return false;
    testing_support::ScratchFolder folder;
    if (!run_msitools(folder.path(), path))
        return false;
    std::map<std::wstring, std::wstring> tables;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder.path() + L"\\*.idt").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name(found.cFileName);
            name.resize(name.size() - 4);
            // Made up by msitools from the summary stream and the code page, not tables of the file.
            if (name != L"_SummaryInformation" && name != L"_ForceCodepage")
                tables[name] = table_picture(folder.path(), name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    picture.clear();
    for (const auto& table : tables)
        picture += table.second;
    return true;
}

} // namespace model_testing

#include "regimport/RegistryImport.h"

#include "foundation/Errors.h"
#include "regimport/RegistryValueText.h"

#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

const wchar_t kImportCaption[] = L"Failed to import Registry file";

struct FileHandle
{
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE handle;
};

std::wstring Inner(const std::wstring& key_text)
{
    return key_text.size() < 2 ? std::wstring() : key_text.substr(1, key_text.size() - 2);
}

bool EqualIgnoringCase(const wchar_t* a, int a_length, const wchar_t* b, int b_length)
{
    return reg_file_parser::CompareKeyTextIgnoringCase(a, a_length, b, b_length) == CSTR_EQUAL;
}

// Whether the next key is the same key or one of its sub-keys: only then does it stand for this key's
// existence. A key that merely begins with the same letters ("A" and "AB") does not.
bool NextKeyCovers(const std::wstring& inner, const std::wstring& next_inner)
{
    int length = static_cast<int>(inner.size());
    if (next_inner.size() == inner.size())
        return EqualIgnoringCase(inner.c_str(), length, next_inner.c_str(), length);
    return next_inner.size() > inner.size() && next_inner[inner.size()] == L'\\' &&
           EqualIgnoringCase(inner.c_str(), length, next_inner.c_str(), length);
}

MsiFieldDataRef Text(const std::wstring& text)
{
    return MsiFieldDataRef(new MsiFieldData(text));
}

std::wstring RowKey(const std::wstring& base, unsigned counter)
{
    wchar_t digits[16];
    swprintf(digits, 16, L"%05u", counter);
    return base + digits;
}

} // namespace

std::vector<wchar_t> ReadRegFileText(const std::wstring& path)
{
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE)
        throw tfc::ManageableError(L"Could not open the file: " + path, kImportCaption);
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.handle, &size))
        tfc::throw_last_error(L"GetFileSize");
    // One read of the whole file into memory; anything that large is no registry export.
    const LONGLONG kLimit = 0x40000000;
    if (size.QuadPart > kLimit)
        throw tfc::ManageableError(L"The file is too big to import: " + path, kImportCaption);
    DWORD bytes = static_cast<DWORD>(size.QuadPart);
    std::vector<wchar_t> text(bytes / 2 + 1, 0);
    DWORD read = 0;
    if (bytes != 0 && !ReadFile(file.handle, text.data(), bytes, &read, nullptr))
        tfc::throw_last_error(L"ReadFile");
    if (read != bytes)
        throw tfc::Win32Error(ERROR_HANDLE_EOF, L"ReadFile");
    text.back() = L'\n';
    return text;
}

std::wstring RegParseFailureText(const std::vector<wchar_t>& text, const wchar_t* stop)
{
    const wchar_t* first = text.data();
    const wchar_t* last = first + text.size();
    stop = std::min(std::max(stop, first), last);
    std::wstring line = L"line " + std::to_wstring(1 + std::count(first, stop, L'\n'));
    if (stop != last && *stop == L'\xFEFF')
        ++stop;
    const wchar_t* end = std::find_if(stop, last, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    std::wstring shown(stop, std::min<size_t>(static_cast<size_t>(end - stop), 100));
    if (end - stop > 100)
        shown += L"...";
    // Deletions would need rows that remove keys and values: no import can carry them.
    const wchar_t* deletes = nullptr;
    if (shown.compare(0, 2, L"[-") == 0) {
        deletes = L"a registry key";
    } else if (!shown.empty() && (shown[0] == L'"' || shown[0] == L'@')) {
        size_t at = 1;
        while (shown[0] == L'"' && at < shown.size() && shown[at] != L'"')
            at += shown[at] == L'\\' ? 2 : 1;
        if (shown[0] == L'"')
            ++at;
        if (shown.compare(std::min(at, shown.size()), 2, L"=-") == 0)
            deletes = L"a registry value";
    }
    if (deletes)
        return L"Could not import the file: " + line + L" deletes " + deletes +
               L", which an import does not support: " + shown;
    return L"Could not completely parse the file: " + line + L" is not understood: " + shown;
}

std::wstring RegKeyDeletionText(const std::vector<wchar_t>& text, const reg_file_parser::KeyInfoSet& keys)
{
    const wchar_t* first = text.data();
    const wchar_t* last = first + text.size();
    const wchar_t* earliest = last;
    for (const auto& key : keys) {
        if (key.first.compare(0, 2, L"[-") != 0)
            continue;
        // A key stands at the start of its line.
        const wchar_t* at = first;
        while ((at = std::search(at, last, key.first.begin(), key.first.end())) != last && at != first &&
               at[-1] != L'\n' && at[-1] != L'\xFEFF')
            ++at;
        earliest = std::min(earliest, at);
    }
    return earliest == last ? std::wstring() : RegParseFailureText(text, earliest);
}

std::vector<RegistryRow> BuildRegistryRows(const reg_file_parser::KeyInfoSet& keys,
                                           const std::wstring& key_base, const std::wstring& component)
{
    std::vector<RegistryRow> rows;
    unsigned counter = 0;
    for (auto entry = keys.begin(); entry != keys.end(); ++entry) {
        std::wstring inner = Inner(entry->first);
        int root = ParseRegistryRoot(inner);
        if (root < 0)
            throw tfc::ManageableError(L"The following key's root is unrecognised: " + inner, L"Invalid key");
        size_t slash = inner.find(L'\\');
        bool root_alone = slash == std::wstring::npos || slash + 1 == inner.size();
        MsiFieldDataRef key = root_alone ? MakeNullFieldData() : Text(inner.substr(slash + 1));
        auto make_row = [&](MsiFieldDataRef name, MsiFieldDataRef value) {
            rows.push_back({Text(RowKey(key_base, counter++)), MakeIntegerFieldData(root), key, name, value,
                            Text(component)});
        };
        if (entry->second.empty()) {
            auto next = std::next(entry);
            if (root_alone || (next != keys.end() && NextKeyCovers(inner, Inner(next->first))))
                continue;
            make_row(Text(L"+"), MakeNullFieldData());
            continue;
        }
        for (const auto& value : entry->second)
            make_row(Text(UnquoteRegString(value.name)), Text(FormatRegistryValue(value)));
    }
    return rows;
}

std::wstring CheckRegistryRows(MsiTableLookupBase& lookup, const std::vector<RegistryRow>& rows)
{
    for (const RegistryRow& row : rows) {
        if (static_cast<int>(row.size()) != lookup.ColumnCount())
            return L"The Registry table is non-standard";
        for (size_t column = 0; column < row.size(); ++column) {
            MsiFieldDefRef def = lookup.GetFieldDef(static_cast<int>(column));
            MsiValidation faults = def->validate(*row[column]);
            if (!faults.empty())
                return L"The row " + row[0]->string() + L" cannot be added: " + def->name() + L": " +
                       faults.front().second;
        }
        if (lookup.FindRow({row[0]->string()}, 0) != lookup.RowCount())
            return L"The row " + row[0]->string() + L" cannot be added: the table has a row of that key";
    }
    return std::wstring();
}

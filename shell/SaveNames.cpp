#include "shell/SaveNames.h"

#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/Options.h"

#include <windows.h>
#include <climits>
#include <cwchar>
#include <vector>

namespace {

// Where the extension starts: the last dot after the last folder separator, or the end.
size_t ExtensionStart(const std::wstring& path)
{
    size_t name = path.find_last_of(L"\\/");
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || (name != std::wstring::npos && dot < name))
        return path.size();
    return dot;
}

} // namespace

std::wstring BackupName(const std::wstring& path, long long number)
{
    size_t dot = ExtensionStart(path);
    std::wstring stem = path.substr(0, dot), extension = path.substr(dot);
    long long previous = 0;
    size_t digits = stem.size();
    while (digits > 0 && stem[digits - 1] >= L'0' && stem[digits - 1] <= L'9')
        --digits;
    if (digits < stem.size() && digits >= 2 && stem.compare(digits - 2, 2, L"_V") == 0) {
        previous = std::wcstoll(stem.c_str() + digits, nullptr, 10);
        stem.resize(digits - 2);
    }
    // wcstoll saturates a run of digits too long for it; the name then keeps that number.
    long long next = number > 0 ? number : previous < LLONG_MAX ? previous + 1 : previous;
    return stem + L"_V" + std::to_wstring(next) + extension;
}

std::wstring NextFreeBackupName(const std::wstring& path)
{
    std::wstring candidate = BackupName(path);
    size_t dot = ExtensionStart(candidate);
    size_t digits = candidate.rfind(L"_V", dot) + 2;
    long long number = std::wcstoll(candidate.c_str() + digits, nullptr, 10);
    while (FileExists(candidate))
        candidate = BackupName(path, ++number);
    return candidate;
}

std::wstring ExtensionOf(const std::wstring& path)
{
    size_t dot = ExtensionStart(path);
    return dot + 1 < path.size() ? path.substr(dot) : std::wstring();
}

bool HasExtension(const std::wstring& path, const wchar_t* extension)
{
    return lstrcmpiW(ExtensionOf(path).c_str(), extension) == 0;
}

std::wstring DefaultSaveExtension(const std::wstring& path, const wchar_t* fallback)
{
    std::wstring extension = ExtensionOf(path);
    return extension.empty() ? std::wstring(fallback) : extension;
}

std::wstring FolderOfPath(const std::wstring& path)
{
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool LastSavedByName(std::wstring& name)
{
    int state = gOptions.last_saved_by_state;
    name = state == Options::SI_USERNAME ? GetCurrentUserName() : gOptions.last_saved_by_name;
    return state != Options::SI_UNCHANGED;
}

std::wstring GetCurrentUserName()
{
    std::vector<wchar_t> buffer(256);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!GetUserNameW(buffer.data(), &size)) {
        DWORD error = GetLastError();
        // Wine reports a short buffer with 122, Windows documents 234: both get one more try.
        if (error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA)
            throw tfc::Win32Error(error, L"GetLastError");
        buffer.assign(size + 1, L'\0');
        size = static_cast<DWORD>(buffer.size());
        if (!GetUserNameW(buffer.data(), &size))
            throw tfc::Win32Error(GetLastError(), L"GetLastError");
    }
    return std::wstring(buffer.data());
}

#include "foundation/FileUtil.h"
#include "foundation/Errors.h"

#include <shlwapi.h>

bool FileExists(const std::wstring& path, WIN32_FIND_DATAW* data)
{
    WIN32_FIND_DATAW found;
    HANDLE handle = FindFirstFileW(path.c_str(), data ? data : &found);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FindClose(handle);
    return true;
}

void CreateDirectoryRecursive(const std::wstring& path)
{
    if (path.empty() || FileExists(path))
        return;
    std::wstring::size_type slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return;
    // "C:" itself cannot be found with FindFirstFile; stop at the drive.
    if (slash > 0 && !(slash == 2 && path[1] == L':'))
        CreateDirectoryRecursive(path.substr(0, slash));
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        tfc::throw_last_error(L"CreateDirectory");
}

void SplitPathAtLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name)
{
    std::wstring::size_type slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) {
        folder.clear();
        name = path;
    } else {
        folder = path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

std::wstring FileNameOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ShortenedPath(const std::wstring& path, size_t most)
{
    if (path.size() <= most)
        return path;
    std::vector<wchar_t> shortened(most + 1, L'\0');
    if (!PathCompactPathExW(shortened.data(), path.c_str(), static_cast<UINT>(most + 1), 0))
        return path.substr(0, most);
    return shortened.data();
}

std::wstring FullPathOf(const std::wstring& path)
{
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        tfc::throw_last_error(L"GetFullPathName");
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        tfc::throw_last_error(L"GetFullPathName");
    full.resize(length);
    return full;
}

bool IsSamePath(const std::wstring& a, const std::wstring& b)
{
    return lstrcmpiW(FullPathOf(a).c_str(), FullPathOf(b).c_str()) == 0;
}

std::vector<std::wstring> SplitString(const std::wstring& text, wchar_t delimiter)
{
    std::vector<std::wstring> pieces;
    std::wstring::size_type start = 0;
    for (;;) {
        std::wstring::size_type at = text.find(delimiter, start);
        if (at == std::wstring::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

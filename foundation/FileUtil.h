#pragma once
// Small path and string routines shared everywhere.
#include <windows.h>
#include <string>
#include <vector>

// True for files and folders.
bool FileExists(const std::wstring& path, WIN32_FIND_DATAW* data = nullptr);
// Makes the folder and any missing parents; a path without a backslash is not created.
void CreateDirectoryRecursive(const std::wstring& path);
void SplitPathAtLastBackslash(const std::wstring& path, std::wstring& folder, std::wstring& name);
// What follows the last backslash or slash; the whole path when there is none.
std::wstring FileNameOf(const std::wstring& path);
// At most `most` characters of the path, its middle given up for "..." as file dialogs shorten paths
// ("C:\Users\...\package.msi"); a path that short already comes back whole.
std::wstring ShortenedPath(const std::wstring& path, size_t most);
// What of a path prompts and menus show: well within a screen's width.
constexpr size_t kShownPathLength = 72;
// The path made absolute against the current folder; throws Win32Error "GetFullPathName".
std::wstring FullPathOf(const std::wstring& path);
// Whether two paths, relative or absolute, name the same file (letter case ignored).
bool IsSamePath(const std::wstring& a, const std::wstring& b);
// Always one more piece than there are delimiters.
std::vector<std::wstring> SplitString(const std::wstring& text, wchar_t delimiter);

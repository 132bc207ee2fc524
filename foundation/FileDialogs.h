#pragma once
// Open, save and folder dialogs. Each goes through the prompt seam first, so tests can answer it.
#include <windows.h>
#include <string>
#include <vector>

// Filter pairs as one text: "Installer databases|*.msi|All files|*.*" style pairs separated by '\0'.
// Returns false when cancelled; paths get folder + "\" + name for a multiple selection.
// The pairs of a literal with their inner zeros; the literal's own terminator stays out.
template <size_t N> std::wstring FilterText(const wchar_t (&pairs)[N])
{
    return std::wstring(pairs, N - 1);
}
bool ShowOpenFilesDialog(HWND owner, const std::wstring& filter, DWORD flags, const std::wstring& title,
                         bool* read_only, const std::wstring& initial_path, std::vector<std::wstring>& paths);
// Empty when cancelled.
std::wstring BrowseForFile(HWND owner, const std::wstring& filter, DWORD flags, const std::wstring& title,
                           const std::wstring& initial_folder, bool* read_only = nullptr);
std::wstring BrowseForSaveFile(HWND owner, const std::wstring& initial_folder, const std::wstring& filter,
                               DWORD flags, const std::wstring& title, const std::wstring& default_extension);
std::wstring BrowseForFolder(HWND owner, const std::wstring& title);
void GetDroppedFiles(HDROP drop, std::vector<std::wstring>& paths);

// Splits the multi-selection buffer of the open dialog (folder, then names, each ended by 0).
void SplitOpenFilesBuffer(const wchar_t* buffer, std::vector<std::wstring>& paths);

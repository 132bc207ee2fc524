#pragma once
// The recent-files list: values MRU0 to MRU3 of a registry key, MRU0 the most recent, and their items
// at the end of the File menu.
#include <windows.h>
#include <string>
#include <vector>

constexpr size_t kRecentFilesMax = 4;

// The stored entries, most recent first; empty and unreadable values are skipped.
std::vector<std::wstring> LoadMru(HKEY key);
// Puts the path at the front; an entry equal to it but for letter case goes, and the oldest goes when the
// list would grow past four.
void AddToMru(HKEY key, const std::wstring& path);
// The path as a menu item shows it: "&" doubled, so no letter becomes a mnemonic.
std::wstring MenuTextOfPath(const std::wstring& path);
// Replaces the recent items (id 9999) of the File menu with one per entry; each item's data is its
// index in `entries`, which is how a chosen item finds its path again.
void UpdateRecentFilesMenu(HMENU file_menu, const std::vector<std::wstring>& entries);

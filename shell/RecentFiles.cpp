#include "shell/RecentFiles.h"

#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/RegKey.h"
#include "resources/ShellIds.h"

#include <algorithm>

namespace {

std::wstring ValueName(size_t index)
{
    return L"MRU" + std::to_wstring(index);
}

// Empty for a missing, empty or non-text value.
std::wstring ReadText(HKEY key, const std::wstring& name)
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size < sizeof(wchar_t))
        return std::wstring();
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &read) !=
        ERROR_SUCCESS)
        return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

} // namespace

std::vector<std::wstring> LoadMru(HKEY key)
{
    std::vector<std::wstring> names = tfc::EnumRegistryValueNames(key);
    std::sort(names.begin(), names.end());
    if (names.size() > kRecentFilesMax)
        names.resize(kRecentFilesMax);
    std::vector<std::wstring> entries;
    for (const std::wstring& name : names) {
        std::wstring path = ReadText(key, name);
        if (!path.empty())
            entries.push_back(path);
    }
    return entries;
}

void AddToMru(HKEY key, const std::wstring& path)
{
    std::vector<std::wstring> entries = LoadMru(key);
    auto same = std::find_if(entries.begin(), entries.end(), [&](const std::wstring& entry) {
        return lstrcmpiW(entry.c_str(), path.c_str()) == 0;
    });
    if (same != entries.end())
        entries.erase(same);
    entries.insert(entries.begin(), path);
    if (entries.size() > kRecentFilesMax)
        entries.resize(kRecentFilesMax);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring& entry = entries[i];
        tfc::check_status(RegSetValueExW(key, ValueName(i).c_str(), 0, REG_SZ,
                                         reinterpret_cast<const BYTE*>(entry.c_str()),
                                         static_cast<DWORD>((entry.size() + 1) * sizeof(wchar_t))),
                          L"RegSetValueEx");
    }
}

std::wstring MenuTextOfPath(const std::wstring& path)
{
    std::wstring text;
    for (wchar_t c : path) {
        text += c;
        if (c == L'&')
            text += L'&';
    }
    return text;
}

void UpdateRecentFilesMenu(HMENU file_menu, const std::vector<std::wstring>& entries)
{
    for (int i = GetMenuItemCount(file_menu) - 1; i >= 0; --i) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID;
        if (!GetMenuItemInfoW(file_menu, i, TRUE, &item))
            tfc::throw_last_error(L"GetMenuItemInfo");
        if (item.wID == ID_FILE_RECENT && !RemoveMenu(file_menu, i, MF_BYPOSITION))
            tfc::throw_last_error(L"RemoveMenu");
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        // Shortened: the menu would otherwise grow as wide as the longest path, past the screen.
        std::wstring text = MenuTextOfPath(ShortenedPath(entries[i], kShownPathLength));
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_DATA;
        item.wID = ID_FILE_RECENT;
        item.dwItemData = i;
        item.dwTypeData = &text[0];
        if (!InsertMenuItemW(file_menu, GetMenuItemCount(file_menu), TRUE, &item))
            tfc::throw_last_error(L"InsertMenuItem");
    }
}

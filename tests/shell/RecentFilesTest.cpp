// The recent-files list in the registry and its items in the File menu.
#include "foundation/FileUtil.h"
#include "support/TestSupport.h"

#include "resources/ShellIds.h"
#include "shell/RecentFiles.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(RecentFiles, TheListKeepsFourCaseInsensitiveEntriesMostRecentFirst)
{
    ScratchRegistryKey key;
    using List = std::vector<std::wstring>;
    EXPECT_EQ(LoadMru(key.key()), List{});
    struct Step
    {
        const wchar_t* path;
        List expected;
    } steps[] = {
        {L"C:\\a.msi", {L"C:\\a.msi"}},
        {L"C:\\b.msi", {L"C:\\b.msi", L"C:\\a.msi"}},
        {L"C:\\c.msi", {L"C:\\c.msi", L"C:\\b.msi", L"C:\\a.msi"}},
        // A case variant takes its entry's place at the front, in its own letter case.
        {L"C:\\A.MSI", {L"C:\\A.MSI", L"C:\\c.msi", L"C:\\b.msi"}},
        {L"C:\\d.msi", {L"C:\\d.msi", L"C:\\A.MSI", L"C:\\c.msi", L"C:\\b.msi"}},
        // A fifth distinct file drops the oldest.
        {L"C:\\e.msi", {L"C:\\e.msi", L"C:\\d.msi", L"C:\\A.MSI", L"C:\\c.msi"}},
        {L"C:\\c.msi", {L"C:\\c.msi", L"C:\\e.msi", L"C:\\d.msi", L"C:\\A.MSI"}},
    };
    for (const Step& step : steps) {
        AddToMru(key.key(), step.path);
        EXPECT_EQ(LoadMru(key.key()), step.expected) << step.path;
    }
    // Empty values and values of another type are no entries.
    RegSetValueExW(key.key(), L"MRU1", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    DWORD number = 5;
    RegSetValueExW(key.key(), L"MRU2", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    EXPECT_EQ(LoadMru(key.key()), (List{L"C:\\c.msi", L"C:\\A.MSI"}));
}

TEST(RecentFiles, MenuItemsShowEachPathWithItsIndexAndDoubledAmpersands)
{
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, ID_FILE_OPEN, L"&Open");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    std::wstring long_path = L"C:\\R&D\\" + std::wstring(300, L'x') + L"\\setup.msi";
    for (int round = 0; round < 2; ++round)
        UpdateRecentFilesMenu(file, {L"C:\\R&D\\a.msi", long_path});
    ASSERT_EQ(GetMenuItemCount(file), 4);
    for (int i = 0; i < 2; ++i) {
        wchar_t text[400] = {};
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_DATA | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 400;
        ASSERT_TRUE(GetMenuItemInfoW(file, 2 + i, TRUE, &item));
        EXPECT_EQ(item.wID, static_cast<UINT>(ID_FILE_RECENT));
        EXPECT_EQ(item.dwItemData, static_cast<ULONG_PTR>(i));
        std::wstring shown = text;
        if (i == 0) {
            EXPECT_EQ(shown, L"C:\\R&&D\\a.msi");
        } else {
            // The menu would grow past the screen: the middle gives way, the file's name stays.
            EXPECT_LE(shown.size(), kShownPathLength + 1) << shown;
            EXPECT_EQ(shown.find(L"C:\\R&&D\\"), 0u) << shown;
            EXPECT_EQ(shown.substr(shown.size() - 9), L"setup.msi") << shown;
        }
    }
    UpdateRecentFilesMenu(file, {});
    EXPECT_EQ(GetMenuItemCount(file), 2);
    DestroyMenu(file);
}

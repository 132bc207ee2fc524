// The frame's ways of opening files, its recent-files and Window menus, and which items are grey.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/MessageTrail.h"
#include "resources/ShellIds.h"
#include "shell/RecentFiles.h"

#include <gtest/gtest.h>
#include <shlobj.h>

using namespace shell_testing;
using namespace testing_support;

namespace {

void ClearRecentFiles(HKEY key)
{
    for (const std::wstring& name : tfc::EnumRegistryValueNames(key))
        RegDeleteValueW(key, name.c_str());
}

// A drop of the paths as the shell hands it over: DROPFILES with wide names, ended by an empty one.
HDROP MakeDrop(const std::vector<std::wstring>& paths)
{
    size_t characters = 1;
    for (const std::wstring& path : paths)
        characters += path.size() + 1;
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(drop + 1);
    for (const std::wstring& path : paths) {
        wcscpy(names, path.c_str());
        names += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

UINT ItemState(HMENU bar, UINT id)
{
    return GetMenuState(bar, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED);
}

HMENU WindowMenu(HMENU bar)
{
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(bar, i, text, 64, MF_BYPOSITION);
        if (std::wstring(text) == L"&Window")
            return GetSubMenu(bar, i);
    }
    return nullptr;
}

std::vector<std::wstring> WindowItems(HMENU bar)
{
    std::vector<std::wstring> titles;
    HMENU menu = WindowMenu(bar);
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        if (GetMenuItemID(menu, i) != ID_WINDOW_DOCUMENT)
            continue;
        wchar_t text[256] = {};
        GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
        titles.push_back(text);
    }
    return titles;
}

} // namespace

TEST(MainWindowCommands, OpeningReportsBadFilesAndRemembersGoodOnes)
{
    ScratchFolder folder;
    std::wstring good = folder.file(L"Good.msi"), bad = folder.file(L"Bad.msi");
    BuildPackage(good, 1, 1);
    WriteFileBytes(bad, {'n', 'o'});
    DatabaseFrame frame;
    HKEY recent = frame->GetRecentFilesKey();
    ClearRecentFiles(recent);
    ScriptedPrompts prompts;
    prompts.answer(IDOK);
    frame->OpenFiles({bad, good}, false);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text,
              L"Failed to open file: " + bad + L"\r\nThe file is not an installer database.");
    EXPECT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_EQ(LoadMru(recent), std::vector<std::wstring>{good});
    EXPECT_TRUE(tfc::thread_messages().empty());

    // The Open command; then the same file by a case variant, which takes its entry's place.
    std::wstring other = folder.file(L"R&D.msi");
    BuildPackage(other, 1, 0);
    PromptAnswer chosen;
    chosen.paths = {other};
    prompts.answer(chosen);
    frame->OnCommand(ID_FILE_OPEN);
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_EQ(prompts.asked()[1].caption, L"Open Files");
    EXPECT_EQ(LoadMru(recent), (std::vector<std::wstring>{other, good}));
    frame->OnCommand(ID_FILE_CLOSE);
    frame->OnCommand(ID_FILE_CLOSE);

    // A recent item opens its list entry, whatever its text shows.
    HMENU bar = GetMenu(frame->GetWindowHandle());
    SendMessageW(frame->GetWindowHandle(), WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    HMENU file = GetSubMenu(bar, 0);
    int last = GetMenuItemCount(file) - 1;
    ASSERT_EQ(GetMenuItemID(file, last - 1), static_cast<UINT>(ID_FILE_RECENT));
    wchar_t text[MAX_PATH] = {};
    GetMenuStringW(file, last - 1, text, MAX_PATH, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), MenuTextOfPath(other));
    SendMessageW(frame->GetWindowHandle(), WM_MENUCOMMAND, last - 1, reinterpret_cast<LPARAM>(file));
    ASSERT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_EQ(frame.current()->GetPath(), other);
    frame->OnCommand(ID_FILE_CLOSE);

    std::wstring upper = folder.path() + L"\\GOOD.MSI";
    frame->OpenFiles({upper}, false);
    EXPECT_EQ(LoadMru(recent), (std::vector<std::wstring>{upper, other}));
    ClearRecentFiles(recent);
}

TEST(MainWindowCommands, DroppedFilesOpenOneTabEach)
{
    ScratchFolder folder;
    std::wstring first = folder.file(L"First.msi"), second = folder.file(L"Second.msm");
    BuildPackage(first, 1, 0);
    BuildPackage(second, 1, 0);
    DatabaseFrame frame;
    SendMessageW(frame->GetWindowHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({first, second})),
                 0);
    ASSERT_EQ(frame->GetTabs().Documents().size(), 2u);
    EXPECT_EQ(frame->GetTabs().Documents()[0]->GetPath(), first);
    EXPECT_EQ(frame.current()->GetPath(), second);

    // A dropped transform that the dirty current tab does not take (its save question cancelled) asks for
    // its base; cancelled, nothing opens and nothing is said.
    frame.current()->SetDirty(true);
    ScriptedPrompts prompts;
    prompts.answer(IDCANCEL);
    prompts.answer(PromptAnswer{});
    std::wstring transform = folder.file(L"Change.MST");
    SendMessageW(frame->GetWindowHandle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({transform})), 0);
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_EQ(prompts.asked()[0].caption, L"Cannot transform edited file");
    EXPECT_EQ(prompts.asked()[1].caption, L"Select base file for transform: Change.MST");
    EXPECT_EQ(frame->GetTabs().Documents().size(), 2u);
}

TEST(MainWindowCommands, MenuItemsFollowTheCurrentDocument)
{
    TestFrame frame;
    HWND window = frame->GetWindowHandle();
    HMENU bar = GetMenu(window);
    auto open_menu = [&] { SendMessageW(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0); };
    struct State
    {
        const char* name;
        std::function<void()> prepare;
        UINT others;
        UINT save;
    } states[] = {
        {"no document", [] {}, MF_GRAYED, MF_GRAYED},
        {"clean", [&] { frame.Open(L"C:\\a&b.msi"); }, MF_ENABLED, MF_GRAYED},
        {"dirty", [&] { frame.document(0)->SetDirty(true); }, MF_ENABLED, MF_ENABLED},
    };
    for (const State& state : states) {
        state.prepare();
        open_menu();
        for (UINT id : {ID_FILE_CLOSE, ID_FILE_BACKUP, ID_FILE_SAVE_AS})
            EXPECT_EQ(ItemState(bar, id), state.others) << state.name << " " << id;
        EXPECT_EQ(ItemState(bar, ID_FILE_SAVE), state.save) << state.name;
    }

    // One Window item per document in tab order, however often the bar opens.
    frame.Open(L"C:\\second.msi");
    for (int i = 0; i < 3; ++i)
        open_menu();
    EXPECT_EQ(WindowItems(bar), (std::vector<std::wstring>{L"a&&b.msi*", L"second.msi"}));
    HMENU window_menu = WindowMenu(bar);
    SendMessageW(window, WM_MENUCOMMAND, 0, reinterpret_cast<LPARAM>(window_menu));
    EXPECT_EQ(frame->GetTabs().CurrentTab(), frame.document(0));
    ScriptedPrompts prompts;
    prompts.answer(IDNO);
    frame->OnCommand(ID_FILE_CLOSE);
    open_menu();
    EXPECT_EQ(WindowItems(bar), std::vector<std::wstring>{L"second.msi"});
}

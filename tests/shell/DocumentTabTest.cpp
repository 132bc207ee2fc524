// A document tab behind the real tab interfaces: title, close guard, merged menus, status bar, trees.
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/FileUtil.h"
#include "foundation/Task.h"
#include "resources/ShellIds.h"
#include "views/tree/StaticNode.h"

#include <gtest/gtest.h>

using namespace shell_testing;

namespace {

std::wstring TabText(MDITabsParent& tabs, int index)
{
    wchar_t text[256] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(tabs.GetTabControl(), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring StatusText(HWND status, int part)
{
    wchar_t text[256] = {};
    SendMessageW(status, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

std::wstring MenuText(HMENU menu, int position)
{
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

// Blocks its worker until released.
class WaitingTask : public Task
{
public:
    WaitingTask() : release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~WaitingTask() override { CloseHandle(release); }
    void Run() override { WaitForSingleObject(release, 10000); }
    HANDLE release;
};

} // namespace

TEST(DocumentTabTest, TitleFollowsTheDirtyAndReadOnlyState)
{
    TestFrame frame;
    MDITabsParent& tabs = frame->GetTabs();
    auto clean = frame.Open(L"C:\\a\\b.msi");
    EXPECT_EQ(clean->GetTitle(), L"b.msi");
    EXPECT_EQ(TabText(tabs, 0), L"b.msi");
    clean->SetDirty(true);
    EXPECT_TRUE(clean->IsDirty());
    EXPECT_EQ(TabText(tabs, 0), L"b.msi*");
    clean->SetDirty(true);
    EXPECT_EQ(TabText(tabs, 0), L"b.msi*");
    clean->SetDirty(false);
    EXPECT_FALSE(clean->IsDirty());
    EXPECT_EQ(TabText(tabs, 0), L"b.msi");

    auto read_only = frame.Open(L"C:\\a\\b.msi", true);
    EXPECT_EQ(TabText(tabs, 1), L"b.msi (Read only)");
    read_only->SetDirty(true);
    EXPECT_EQ(TabText(tabs, 1), L"b.msi* (Read only)");
    read_only->UpdateTabText();
    EXPECT_EQ(read_only->GetTitle(), L"b.msi* (Read only)");
    // Clearing the mark must not eat the suffix.
    read_only->SetDirty(false);
    EXPECT_EQ(TabText(tabs, 1), L"b.msi (Read only)");

    auto bare = frame.Open(L"plain.msi");
    EXPECT_EQ(bare->GetTitle(), L"plain.msi");
}

TEST(DocumentTabTest, CloseGuardAsksForDirtyDocumentsAndRefusesDuringAJob)
{
    TestFrame frame;
    auto document = frame.Open(L"C:\\a\\b.msi");
    EXPECT_TRUE(document->CanClose());

    document->SetDirty(true);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCANCEL);
    prompts.answer(IDNO);
    prompts.answer(IDYES);
    EXPECT_FALSE(document->CanClose());
    EXPECT_TRUE(document->CanClose());
    EXPECT_EQ(document->saves, 0);
    EXPECT_TRUE(document->CanClose());
    EXPECT_EQ(document->saves, 1);
    ASSERT_EQ(prompts.asked().size(), 3u);
    EXPECT_EQ(prompts.asked()[0].text, L"Save C:\\a\\b.msi");
    EXPECT_EQ(prompts.asked()[0].flags, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
    EXPECT_EQ(prompts.asked()[0].owner, frame->GetWindowHandle());

    // A path too long for the screen is shortened in its middle; the file's name stays in sight.
    auto deep = frame.Open(L"C:\\" + std::wstring(200, L'd') + L"\\deep.msi");
    deep->SetDirty(true);
    {
        testing_support::ScriptedPrompts asked;
        asked.answer(IDNO);
        EXPECT_TRUE(deep->CanClose());
        std::wstring text = asked.asked().at(0).text;
        EXPECT_LE(text.size(), 5 + kShownPathLength) << text;
        EXPECT_EQ(text.substr(text.size() - 8), L"deep.msi") << text;
    }

    auto task = std::make_shared<WaitingTask>();
    ASSERT_TRUE(frame->RunTasks({task}, &frame.frame(), true));
    prompts.answer(IDOK);
    EXPECT_FALSE(document->CanClose());
    ASSERT_EQ(prompts.asked().size(), 4u);
    EXPECT_EQ(prompts.asked()[3].text, L"You cannot close a file while a job is running.");
    EXPECT_EQ(prompts.asked()[3].flags, static_cast<UINT>(MB_ICONINFORMATION));
    SetEvent(task->release);
    EXPECT_TRUE(PumpUntil([&] { return !frame->GetJobRunner().IsRunning(); }));
    EXPECT_FALSE(IsWindowVisible(frame->GetProgressWindow().GetWindowHandle()));
}

TEST(DocumentTabTest, MenusAreMergedOnceAndCommandsReachTheirDocument)
{
    TestFrame frame;
    HWND window = frame->GetWindowHandle();
    HMENU bar = GetMenu(window);
    auto first = frame.Open(L"C:\\first.msi");
    ASSERT_EQ(GetMenuItemCount(bar), 8);
    EXPECT_EQ(MenuText(bar, 0), L"&File");
    EXPECT_EQ(MenuText(bar, 1), L"&Edit");
    EXPECT_EQ(MenuText(bar, 4), L"T&ransform");
    EXPECT_EQ(MenuText(bar, 5), L"T&ools");
    first->MergeMenus();
    EXPECT_EQ(GetMenuItemCount(bar), 8);
    // The document's accelerators join the frame's.
    EXPECT_EQ(frame->Accelerators().count(first->GetWindowHandle()), 1u);

    // A command of a merged popup arrives by position and goes to its document.
    HMENU view = GetSubMenu(bar, 2);
    SendMessageW(window, WM_MENUCOMMAND, 1, reinterpret_cast<LPARAM>(view));
    ASSERT_EQ(first->commands.size(), 1u);
    EXPECT_EQ(first->commands[0].second, static_cast<UINT>(ID_VIEW_COMPONENTS));

    auto second = frame.Open(L"C:\\second.msi");
    EXPECT_EQ(GetMenuItemCount(bar), 8);
    SendMessageW(window, WM_MENUCOMMAND, 0, reinterpret_cast<LPARAM>(GetSubMenu(bar, 1)));
    EXPECT_EQ(first->commands.size(), 1u);
    ASSERT_EQ(second->commands.size(), 1u);
    EXPECT_EQ(second->commands[0].second, static_cast<UINT>(ID_EDIT_FIND));
    EXPECT_EQ(frame->Accelerators().count(first->GetWindowHandle()), 0u);
    EXPECT_EQ(frame->Accelerators().size(), 2u);

    // The frame's own popups carry no document: File > Close is the frame's command.
    HMENU file = GetSubMenu(bar, 0);
    SendMessageW(window, WM_MENUCOMMAND, 2, reinterpret_cast<LPARAM>(file)); // Close
    EXPECT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_EQ(frame->GetTabs().CurrentTab(), first.get());
    EXPECT_EQ(GetMenuItemCount(bar), 8);
    first->UnmergeMenus();
    EXPECT_EQ(GetMenuItemCount(bar), 4);
}

// One handle per resource (as one loader hands out) or a table per document: either way only the frame's
// table and the last document's stay, and a table still in use is never destroyed.
TEST(DocumentTabTest, AcceleratorsKeepOnlyTheLastDocumentsTable)
{
    TestFrame frame;
    auto first = frame.Open(L"C:\\first.msi");
    auto second = frame.Open(L"C:\\second.msi");
    HWND a = first->GetWindowHandle(), b = second->GetWindowHandle();
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'F', 40046}};
    auto alive = [](HACCEL table) { return CopyAcceleratorTableW(table, nullptr, 0) == 1; };
    for (bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared table" : "own tables");
        HACCEL one = CreateAcceleratorTableW(keys, 1);
        HACCEL other = shared ? one : CreateAcceleratorTableW(keys, 1);
        frame->SetDocumentAccelerators(a, one);
        frame->SetDocumentAccelerators(b, other);
        EXPECT_EQ(frame->Accelerators().count(a), 0u);
        ASSERT_EQ(frame->Accelerators().count(b), 1u);
        EXPECT_EQ(frame->Accelerators().at(b), other);
        EXPECT_EQ(frame->Accelerators().size(), 2u);
        EXPECT_TRUE(alive(other));
        EXPECT_EQ(alive(one), shared);
        frame->SetDocumentAccelerators(b, other); // again for the same window: kept
        EXPECT_TRUE(alive(other));
    }
}

TEST(DocumentTabTest, StatusBarShowsThePathAndTheTableCount)
{
    TestFrame frame;
    auto document = frame.Open(L"C:\\a\\b.msi");
    TreeView& tables = *document->GetTablesTree();
    tables.Root()->AddChild(new StaticNode(L"File"));
    tables.Root()->AddChild(new StaticNode(L"Component"));
    document->UpdateStatusBar();
    HWND status = frame->GetStatusBar();
    EXPECT_EQ(StatusText(status, 0), L"C:\\a\\b.msi");
    EXPECT_EQ(StatusText(status, 1), L"Tables: 2");
    EXPECT_EQ(frame->GetStatusPercentages(), (std::vector<int>{80, 20}));
}

TEST(DocumentTabTest, SelectingATreeNodeHandsItTheListAndPagesSwitch)
{
    TestFrame frame;
    auto document = frame.Open(L"C:\\a\\b.msi");
    TreeView& tables = *document->GetTablesTree();
    ObjectWindow& list = *document->GetTreeContext();
    auto* file = tables.Root()->AddChild(new StaticNode(L"File"));
    auto* registry = tables.Root()->AddChild(new StaticNode(L"Registry"));
    SendMessageW(tables.GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(file->GetItem()));
    EXPECT_EQ(list.GetHandler(), static_cast<ObjectBase*>(file));
    SendMessageW(tables.GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(registry->GetItem()));
    EXPECT_EQ(list.GetHandler(), static_cast<ObjectBase*>(registry));

    EXPECT_TRUE(document->IsShowingObject(MainTabCtrl::TABLES));
    document->SelectView(MainTabCtrl::FEATURES);
    EXPECT_TRUE(document->IsShowingObject(MainTabCtrl::FEATURES));
    EXPECT_FALSE(IsWindowVisible(tables.GetWindow()));
    EXPECT_FALSE(IsWindowVisible(document->GetCheckBox()));
    document->GetTreeContext()->SetHandler(nullptr, {}, 0, -1, 0);
    // Back on the Tables page its selected node takes the list again.
    document->SelectView(MainTabCtrl::TABLES);
    EXPECT_TRUE(IsWindowVisible(tables.GetWindow()));
    EXPECT_TRUE(IsWindowVisible(document->GetCheckBox()));
    EXPECT_EQ(list.GetHandler(), static_cast<ObjectBase*>(registry));

    // The node that fills the list goes: the list lets go of it.
    tables.Root()->RemoveChild(registry);
    EXPECT_NE(list.GetHandler(), static_cast<ObjectBase*>(registry));
    UpdateWindow(list.GetWindowHandle());
}

TEST(DocumentTabTest, LayoutGivesTheTreesAQuarterUpToTwentyLetters)
{
    TestFrame frame;
    auto document = frame.Open(L"C:\\a\\b.msi");
    HWND window = document->GetWindowHandle();
    MoveWindow(window, 0, 0, 415, 300, TRUE);
    RECT client = {};
    GetClientRect(window, &client);
    RECT tabs = {}, list = {};
    GetWindowRect(document->GetViewTabs().GetWindowHandle(), &tabs);
    GetWindowRect(document->GetTreeContext()->GetWindowHandle(), &list);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&tabs), 2);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
    int column = list.left - 5;
    EXPECT_LE(column, (client.right - 15) / 4);
    EXPECT_EQ(tabs.left, 5);
    EXPECT_EQ(tabs.right, column);
    EXPECT_EQ(tabs.bottom, client.bottom - 30);
    EXPECT_EQ(list.right, client.right - 5);
    RECT bar = {};
    GetWindowRect(document->GetSplitterBar(), &bar);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    EXPECT_EQ(bar.left, column);
    EXPECT_EQ(bar.right - bar.left, 5);
}

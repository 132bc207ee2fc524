// The frame: start-up with files, layout, status parts, window placement and closing.
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/SettingsKey.h"
#include "resources/ShellIds.h"

#include <gtest/gtest.h>

using namespace shell_testing;

namespace {

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

void DeletePlacement()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueW(key, L"WindowPlacement");
        RegCloseKey(key);
    }
}

std::vector<BYTE> StoredPlacement()
{
    tfc::RegKey key;
    if (!key.open(HKEY_CURRENT_USER, SettingsKeyPath()) || !key.value_exists(L"WindowPlacement"))
        return {};
    return key.query_binary(L"WindowPlacement");
}

void StorePlacement(const void* data, DWORD size)
{
    tfc::RegKey key;
    key.create(HKEY_CURRENT_USER, SettingsKeyPath());
    key.set_value(L"WindowPlacement", REG_BINARY, data, size);
}

// Makes the frame's client area exactly width x height.
void SetClientSize(HWND frame, int width, int height)
{
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, GetWindowLongW(frame, GWL_STYLE), TRUE, GetWindowLongW(frame, GWL_EXSTYLE));
    SetWindowPos(frame, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    GetClientRect(frame, &client);
    // A wrapped menu bar takes more than one line: correct by what is missing.
    if (client.bottom != height) {
        rect.bottom += height - client.bottom;
        SetWindowPos(frame, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

std::vector<int> StatusEdges(HWND status)
{
    int edges[16] = {};
    int count = static_cast<int>(SendMessageW(status, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(edges)));
    return std::vector<int>(edges, edges + count);
}

class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override { DeletePlacement(); }
    void TearDown() override { DeletePlacement(); }
};

} // namespace

TEST_F(MainWindowTest, StartsWithTitleMenusAndPanes)
{
    TestFrame frame;
    HWND window = frame->GetWindowHandle();
    EXPECT_EQ(WindowText(window), L"Dravnetta - Varnock");
    EXPECT_TRUE(IsWindowVisible(window));
    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(ImageList_GetImageCount(frame->GetImageList()), 76);
    // No document: the strip's tab control stays hidden, the bottom pane shows two tabs.
    EXPECT_FALSE(IsWindowVisible(frame->GetTabs().GetTabControl()));
    EXPECT_EQ(SendMessageW(frame->GetLogTabs().GetWindowHandle(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(IsWindowVisible(frame->GetLogTabs().RowLinksPane().GetWindowHandle()));
    EXPECT_FALSE(IsWindowVisible(frame->GetLogTabs().ValidationPane().GetWindowHandle()));
    EXPECT_EQ(frame->GetStatusPercentages(), std::vector<int>{100});
}

TEST_F(MainWindowTest, FilesOnTheCommandLineAreOpened)
{
    TestFrame frame(L"Dravnetta.exe \"C:\\with blank\\first.msi\" C:\\second.msm /x:1");
    ASSERT_EQ(frame.opened.size(), 2u);
    EXPECT_EQ(frame.opened[0], L"C:\\with blank\\first.msi");
    EXPECT_EQ(frame.opened[1], L"C:\\second.msm");
    ASSERT_EQ(frame->GetTabs().Documents().size(), 2u);
    EXPECT_EQ(frame->GetTabs().CurrentTab(), frame.document(1));
    EXPECT_EQ(WindowText(frame->GetWindowHandle()), L"second.msm - Dravnetta - Varnock");
    EXPECT_TRUE(IsWindowVisible(frame->GetTabs().GetTabControl()));
}

TEST_F(MainWindowTest, OnlyALoneDatabaseOnTheCommandLineIsPreparedAndItIsLetGoOnceOpen)
{
    struct Case
    {
        const wchar_t* command_line;
        const wchar_t* prepared;
    } cases[] = {
        {L"Dravnetta.exe", nullptr},
        {L"Dravnetta.exe \"C:\\with blank\\one.msi\" /x:1", L"C:\\with blank\\one.msi"},
        {L"Dravnetta.exe C:\\one.MSM", L"C:\\one.MSM"},
        {L"Dravnetta.exe C:\\one.msi C:\\two.msi", nullptr},
        // A transform asks for its base first, a patch for a folder.
        {L"Dravnetta.exe C:\\change.MST", nullptr},
        {L"Dravnetta.exe C:\\fix.msp", nullptr},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.command_line);
        std::vector<std::wstring> prepared;
        std::weak_ptr<void> held;
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDCANCEL);
        {
            TestFrame frame(test.command_line, {}, [&](const std::wstring& path) {
                prepared.push_back(path);
                auto token = std::make_shared<int>(0);
                held = token;
                return token;
            });
            EXPECT_TRUE(held.expired());
        }
        EXPECT_EQ(prepared,
                  test.prepared ? std::vector<std::wstring>{test.prepared} : std::vector<std::wstring>{});
    }
}

TEST_F(MainWindowTest, AFileThatFailsToOpenIsReportedAndLeavesNoTab)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    TestFrame frame(L"Dravnetta.exe C:\\good.msi C:\\bad.msi C:\\last.msi", [](TestDocumentTab& document) {
        document.fail_create = document.GetPath() == L"C:\\bad.msi";
    });
    ASSERT_EQ(prompts.asked().size(), 1u);
    // The reason the failure gives (the document's open answers "file not found") stands beneath.
    EXPECT_EQ(prompts.asked()[0].text, L"Failed to open file: C:\\bad.msi\r\nThe file does not exist.");
    EXPECT_EQ(prompts.asked()[0].caption, L"Failed to open file");
    MDITabsParent& tabs = frame->GetTabs();
    ASSERT_EQ(tabs.Documents().size(), 2u);
    EXPECT_EQ(SendMessageW(tabs.GetTabControl(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(tabs.ActivationOrder(), (std::list<int>{1, 0}));
    EXPECT_EQ(tabs.CurrentTab()->GetPath(), L"C:\\last.msi");
    EXPECT_EQ(TestDocumentTab::alive, 2);
}

TEST_F(MainWindowTest, AFailedRecentFilesWriteIsNoFailureToOpen)
{
    TestFrame frame;
    // The frame holds the key open; once it is deleted every write to it fails.
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, (SettingsKeyPath() + L"\\MRU").c_str()), ERROR_SUCCESS);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    frame->OpenFiles({L"C:\\good.msi"}, false);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::ErrorDialog);
    EXPECT_NE(prompts.asked()[0].text.find(L"Could not add C:\\good.msi to the recent files"),
              std::wstring::npos);
    ASSERT_EQ(frame->GetTabs().Documents().size(), 1u);
    EXPECT_EQ(frame->GetTabs().CurrentTab()->GetPath(), L"C:\\good.msi");
}

TEST_F(MainWindowTest, LayoutSplitsTheClientAreaAndSurvivesMinimising)
{
    TestFrame frame;
    HWND window = frame->GetWindowHandle();
    SetClientSize(window, 800, 600);
    RECT status = ChildRect(window, frame->GetStatusBar());
    int status_height = status.bottom - status.top;
    int split = (4 * (600 - status_height) - 60) / 5;
    RECT tabs = ChildRect(window, frame->GetTabs().GetWindowHandle());
    RECT bottom = ChildRect(window, frame->GetLogTabs().GetWindowHandle());
    EXPECT_EQ(tabs.left, 5);
    EXPECT_EQ(tabs.top, 5);
    EXPECT_EQ(tabs.right - tabs.left, 785);
    EXPECT_EQ(tabs.bottom - tabs.top, split - 10);
    EXPECT_EQ(bottom.top, split);
    EXPECT_EQ(bottom.bottom, status.top - 5);
    if (status_height == 20) {
        EXPECT_EQ(split, 452);
        EXPECT_EQ(tabs.bottom - tabs.top, 442);
    }

    frame->SetStatusParts({33, 33, 34});
    EXPECT_EQ(StatusEdges(frame->GetStatusBar()), (std::vector<int>{264, 528, 800}));
    // A minimised frame reports a width of 0; the parts must come back as they were.
    SendMessageW(window, WM_SIZE, SIZE_MINIMIZED, 0);
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_RESTORE);
    for (int i = 0; i < 100; ++i)
        SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800 - i % 7, 600));
    SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600));
    EXPECT_EQ(frame->GetStatusPercentages(), (std::vector<int>{33, 33, 34}));
    EXPECT_EQ(StatusEdges(frame->GetStatusBar()), (std::vector<int>{264, 528, 800}));
}

TEST_F(MainWindowTest, PlacementIsSavedOnCloseAndRestoredOnStart)
{
    {
        TestFrame frame;
        HWND window = frame->GetWindowHandle();
        MoveWindow(window, 150, 120, 640, 480, TRUE);
        frame->OnClose();
        EXPECT_FALSE(IsWindow(window));
    }
    std::vector<BYTE> stored = StoredPlacement();
    ASSERT_EQ(stored.size(), 44u);
    TestFrame frame;
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    GetWindowPlacement(frame->GetWindowHandle(), &placement);
    EXPECT_EQ(placement.rcNormalPosition.left, 150);
    EXPECT_EQ(placement.rcNormalPosition.top, 120);
    EXPECT_EQ(placement.rcNormalPosition.right, 790);
    EXPECT_EQ(placement.rcNormalPosition.bottom, 600);
    EXPECT_FALSE(IsZoomed(frame->GetWindowHandle()));
}

TEST_F(MainWindowTest, AMaximisedFrameComesBackMaximisedOverItsNormalRectangle)
{
    {
        TestFrame frame;
        HWND window = frame->GetWindowHandle();
        MoveWindow(window, 130, 110, 700, 500, TRUE);
        ShowWindow(window, SW_MAXIMIZE);
        ASSERT_TRUE(IsZoomed(window));

        frame->OnClose();
    }
    std::vector<BYTE> stored = StoredPlacement();
    ASSERT_EQ(stored.size(), 44u);
    TestFrame frame;
    HWND window = frame->GetWindowHandle();
    EXPECT_TRUE(IsZoomed(window));
    ShowWindow(window, SW_RESTORE);
    RECT rect = {};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 130);
    EXPECT_EQ(rect.top, 110);
    EXPECT_EQ(rect.right - rect.left, 700);
    EXPECT_EQ(rect.bottom - rect.top, 500);
}

TEST_F(MainWindowTest, AMinimisedOrDamagedPlacementOpensNormally)
{
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    placement.showCmd = SW_SHOWMINIMIZED;
    placement.rcNormalPosition = {200, 160, 840, 640};
    StorePlacement(&placement, sizeof(placement));
    {
        TestFrame frame;
        EXPECT_FALSE(IsIconic(frame->GetWindowHandle()));
        EXPECT_TRUE(IsWindowVisible(frame->GetWindowHandle()));
        RECT rect = {};
        GetWindowRect(frame->GetWindowHandle(), &rect);
        EXPECT_EQ(rect.left, 200);
        EXPECT_EQ(rect.top, 160);
    }
    StorePlacement(&placement, 43);
    TestFrame frame;
    RECT rect = {};
    GetWindowRect(frame->GetWindowHandle(), &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 100);
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 600);
}

TEST_F(MainWindowTest, ARefusingDocumentKeepsTheFrameOpenAndWritesNoPlacement)
{
    TestFrame frame(L"Dravnetta.exe C:\\a.msi C:\\b.msi");
    frame.document(1)->SetDirty(true);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCANCEL);
    SendMessageW(frame->GetWindowHandle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"Save C:\\b.msi");
    EXPECT_EQ(prompts.asked()[0].caption, L"Dravnetta");
    EXPECT_TRUE(IsWindow(frame->GetWindowHandle()));
    EXPECT_EQ(frame->GetTabs().Documents().size(), 2u);
    EXPECT_TRUE(StoredPlacement().empty());
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    // Yes saves and lets the frame go.
    prompts.answer(IDYES);
    TestDocumentTab* dirty = frame.document(1);
    frame->OnCommand(ID_FILE_EXIT);
    EXPECT_EQ(dirty->saves, 1);
    EXPECT_FALSE(IsWindow(frame->GetWindowHandle()));
    EXPECT_EQ(StoredPlacement().size(), 44u);
}

TEST_F(MainWindowTest, CtrlTabGoesThroughTheDocumentsInMostRecentOrder)
{
    TestFrame frame(L"Dravnetta.exe C:\\A.msi C:\\B.msi C:\\C.msi");
    MDITabsParent& tabs = frame->GetTabs();
    auto current = [&] { return tabs.CurrentTab()->GetPath(); };
    EXPECT_EQ(current(), L"C:\\C.msi");
    frame->OnCommand(ID_WINDOW_NEXT);
    EXPECT_EQ(current(), L"C:\\B.msi");
    frame->OnCommand(ID_WINDOW_NEXT);
    EXPECT_EQ(current(), L"C:\\A.msi");
    // Releasing Ctrl, wherever it happens, makes A the most recent.
    MSG release = {};
    release.hwnd = frame->GetLogTabs().GetWindowHandle();
    release.message = WM_KEYUP;
    release.wParam = VK_CONTROL;
    frame->ProcessMessage(release);
    EXPECT_FALSE(tabs.IsCycling());
    EXPECT_EQ(tabs.ActivationOrder(), (std::list<int>{0, 2, 1}));
    frame->OnCommand(ID_WINDOW_NEXT);
    EXPECT_EQ(current(), L"C:\\C.msi");
    frame->OnCommand(ID_WINDOW_PREVIOUS);
    EXPECT_EQ(current(), L"C:\\A.msi");
    tabs.CommitTabOrder();
    // Only the current document's window shows.
    for (const auto& document : tabs.Documents())
        EXPECT_EQ(IsWindowVisible(document->GetWindowHandle()) != FALSE, document.get() == tabs.CurrentTab());
}

TEST_F(MainWindowTest, ClosingTheMiddleDocumentRenumbersTheTabs)
{
    TestFrame frame(L"Dravnetta.exe C:\\A.msi C:\\B.msi C:\\C.msi");
    MDITabsParent& tabs = frame->GetTabs();
    tabs.SelectTab(1);
    frame->OnCommand(ID_FILE_CLOSE);
    ASSERT_EQ(tabs.Documents().size(), 2u);
    EXPECT_EQ(TestDocumentTab::alive, 2);
    HWND control = tabs.GetTabControl();
    for (int i = 0; i < 2; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_PARAM;
        SendMessageW(control, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.lParam, i);
    }
    EXPECT_EQ(tabs.Documents()[0]->GetPath(), L"C:\\A.msi");
    EXPECT_EQ(tabs.Documents()[1]->GetPath(), L"C:\\C.msi");
    EXPECT_EQ(tabs.CurrentTab()->GetPath(), L"C:\\A.msi");
    EXPECT_EQ(tabs.ActivationOrder().size(), 2u);

    frame->OnCommand(ID_FILE_CLOSE);
    frame->OnCommand(ID_FILE_CLOSE);
    EXPECT_TRUE(tabs.Documents().empty());
    EXPECT_FALSE(IsWindowVisible(control));
    EXPECT_EQ(frame->GetStatusPercentages(), std::vector<int>{100});
}

TEST_F(MainWindowTest, FindBelongsToTheFrameAndAsksForADocument)
{
    TestFrame frame;
    FindDlg& find = frame->GetFindDialog();
    ASSERT_NE(find.GetWindowHandle(), nullptr);
    EXPECT_FALSE(IsWindowVisible(find.GetWindowHandle()));
    find.Show();
    EXPECT_TRUE(IsWindowVisible(find.GetWindowHandle()));
    // The tracking box and the list of the row-relationship pane are there; no document: nothing to track.
    RowLinksWindow& pane = frame->GetLogTabs().RowLinksPane();
    ASSERT_NE(pane.GetCheckBox(), nullptr);
    SendMessageW(pane.GetCheckBox(), BM_CLICK, 0, 0);
    EXPECT_NE(SendMessageW(pane.GetCheckBox(), BM_GETCHECK, 0, 0), BST_CHECKED);

    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    find.FindNext();
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"No selected window");
    EXPECT_EQ(prompts.asked()[0].caption, L"Cannot perform Find");
    SendMessageW(find.GetWindowHandle(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindowVisible(find.GetWindowHandle()));
}

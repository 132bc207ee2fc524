// The database tab on real files: open, tables and lookups, editing, save, save as, backup, closing.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "DialogDriver.h"
#include "support/TestSupport.h"

#include "foundation/Clipboard.h"
#include "foundation/Options.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "resources/DialogsIds.h"
#include "resources/ShellIds.h"
#include "validation/ValidationWindow.h"
#include "views/dialogs/AddTableRowDlg.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/tree/DialogNode.h"
#include "views/tree/MsiTableNode.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <commctrl.h>
#include <functional>

using namespace shell_testing;
using namespace testing_support;

namespace {

const wchar_t kProductName[] = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductName'";

std::wstring FrameTitle(MainWindow& frame)
{
    wchar_t text[256] = {};
    GetWindowTextW(frame.GetWindowHandle(), text, 256);
    return text;
}

std::vector<std::wstring> TableNodes(MsiFileTab& tab)
{
    std::vector<std::wstring> names;
    for (const auto& child : tab.GetTablesTree()->Root()->GetChildren())
        names.push_back(child.node->GetLabel());
    return names;
}

// Shows the table in the list and commits a new text into the cell through the cell's own editor.
void EditCell(MsiFileTab& tab, const std::wstring& table, const std::wstring& key, const std::wstring& column,
              const std::wstring& text)
{
    MsiTableNode* node = tab.FindTableNode(table);
    ASSERT_NE(node, nullptr) << std::string(table.begin(), table.end());
    SendMessageW(tab.GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    ObjectWindow& list = *tab.GetTreeContext();
    ASSERT_EQ(list.GetHandler(), static_cast<ObjectBase*>(node));
    int row = node->GetLookup()->FindRow({key}, 0);
    int cell = node->GetLookup()->FindColumn(column);
    ASSERT_LT(row, node->GetLookup()->RowCount());
    InPlaceEditorPtr editor = node->CreateEditor(list, row, cell);
    ASSERT_TRUE(editor);
    EXPECT_TRUE(editor->EndEdit(text));
}

void SelectNode(TreeView& tree, ContainerNode* node)
{
    ASSERT_NE(node, nullptr);
    SendMessageW(tree.GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->GetItem()));
}

std::wstring StatusText(MainWindow& frame, int part)
{
    wchar_t text[512] = {};
    SendMessageW(frame.GetStatusBar(), SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text));
    return text;
}

// The lines of the row-relationship pane, as "table: key".
std::vector<std::wstring> PaneLines(RowLinksWindow& pane)
{
    std::vector<std::wstring> lines;
    for (int line = 0; line < pane.GetLineCount(); ++line)
        lines.push_back(pane.GetItemText(line, 0) + L": " + pane.GetItemText(line, 1));
    return lines;
}

bool HasTemporaryFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

class MsiFileTabTest : public testing::Test
{
protected:
    void SetUp() override
    {
        saved_threshold_ = gOptions.tracking_threshold;
        saved_state_ = gOptions.last_saved_by_state;
        saved_name_ = gOptions.last_saved_by_name;
        gOptions.last_saved_by_state = Options::SI_UNCHANGED;
    }
    void TearDown() override
    {
        gOptions.tracking_threshold = saved_threshold_;
        gOptions.last_saved_by_state = saved_state_;
        gOptions.last_saved_by_name = saved_name_;
    }
    ScratchFolder folder_;

private:
    int saved_threshold_ = 0;
    int saved_state_ = 0;
    std::wstring saved_name_;
};

} // namespace

TEST_F(MsiFileTabTest, MainRoadOpenEditSaveSaveAsAndBackUp)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    std::wstring path = folder_.copy_in(shared, L"Setup.msi");
    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    MoveWindow(frame->GetWindowHandle(), 20, 20, 960, 700, TRUE);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->GetTitle(), L"Setup.msi");
    EXPECT_EQ(FrameTitle(frame.frame()), L"Setup.msi - Dravnetta - Varnock");
    std::vector<std::wstring> tables = TableNodes(*tab);
    EXPECT_EQ(frame->GetStatusPercentages(), (std::vector<int>{80, 20}));
    EXPECT_EQ(StatusText(frame.frame(), 1), L"Tables: " + std::to_wstring(tables.size()));
    for (const wchar_t* name : {L"Component", L"Directory", L"File", L"Property", L"_Columns", L"_Tables"})
        EXPECT_NE(std::find(tables.begin(), tables.end(), name), tables.end()) << name;
    SaveScreenshot(frame->GetWindowHandle(), L"tab-1-opened.png");
    // What the tab's nodes and dialogs reach of the frame.
    EXPECT_EQ(tab->DialogOwner(), frame->GetWindowHandle());
    EXPECT_EQ(tab->GetImageList(), frame->GetImageList());
    EXPECT_EQ(tab->GetRowLinksPane(), &frame->GetLogTabs().RowLinksPane());
    EXPECT_EQ(tab->GetValidationResults(), &frame->GetLogTabs().Validation().Store());

    // The view keys reach the tab through the frame's message loop.
    MSG key = {};
    key.hwnd = tab->GetWindowHandle();
    key.message = WM_KEYDOWN;
    key.wParam = VK_F10;
    frame->ProcessMessage(key);
    EXPECT_EQ(tab->GetViewTabs().CurrentPage(), MainTabCtrl::COMPONENTS);
    key.wParam = VK_F9;
    frame->ProcessMessage(key);
    EXPECT_EQ(tab->GetViewTabs().CurrentPage(), MainTabCtrl::TABLES);

    EditCell(*tab, L"Property", L"ProductName", L"Value", L"Edited");
    EXPECT_EQ(tab->GetTitle(), L"Setup.msi*");
    SaveScreenshot(frame->GetWindowHandle(), L"tab-2-edited.png");
    gOptions.last_saved_by_state = Options::SI_CUSTOM_NAME;
    gOptions.last_saved_by_name = L"Tester";
    frame->OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(tab->GetTitle(), L"Setup.msi");
    EXPECT_EQ(QueryText(path, kProductName), L"Edited");
    EXPECT_EQ(LastSavedBy(path), L"Tester");
    gOptions.last_saved_by_state = Options::SI_UNCHANGED;

    EditCell(*tab, L"Property", L"ProductName", L"Value", L"Second");
    ScriptedPrompts prompts;
    PromptAnswer save_as;
    std::wstring saved = folder_.file(L"Saved.msi");
    save_as.paths = {saved};
    prompts.answer(save_as);
    frame->OnCommand(ID_FILE_SAVE_AS);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].caption, L"Save As");
    EXPECT_EQ(prompts.asked()[0].flags, 0xA806u);
    EXPECT_EQ(prompts.asked()[0].owner, frame->GetWindowHandle());
    EXPECT_EQ(tab->GetPath(), saved);
    EXPECT_EQ(tab->GetTitle(), L"Saved.msi");
    EXPECT_EQ(FrameTitle(frame.frame()), L"Saved.msi - Dravnetta - Varnock");
    EXPECT_EQ(QueryText(path, kProductName), L"Edited");
    EXPECT_EQ(QueryText(saved, kProductName), L"Second");
    EXPECT_EQ(LastSavedBy(saved), L"Tester");
    wchar_t status[512] = {};
    SendMessageW(frame->GetStatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
    EXPECT_EQ(std::wstring(status), saved);
    SaveScreenshot(frame->GetWindowHandle(), L"tab-3-saved-as.png");

    // A backup leaves the tab on its file and as dirty as it was.
    EditCell(*tab, L"Property", L"ProductName", L"Value", L"Third");
    frame->OnCommand(ID_FILE_BACKUP);
    std::wstring first = folder_.file(L"Saved_V1.msi");
    EXPECT_EQ(QueryText(first, kProductName), L"Third");
    EXPECT_EQ(QueryText(saved, kProductName), L"Second");
    EXPECT_EQ(tab->GetTitle(), L"Saved.msi*");
    EXPECT_EQ(tab->GetPath(), saved);
    SendMessageW(frame->GetStatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
    EXPECT_EQ(std::wstring(status), L"Backed up to: " + first);
    SaveScreenshot(frame->GetWindowHandle(), L"tab-4-backed-up.png");
    frame->OnCommand(ID_FILE_BACKUP);
    EXPECT_EQ(QueryText(folder_.file(L"Saved_V2.msi"), kProductName), L"Third");

    frame->OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(QueryText(saved, kProductName), L"Third");
    EXPECT_FALSE(HasTemporaryFiles(folder_.path()));
}

TEST_F(MsiFileTabTest, ADatabaseNamedAtStartUpOpensAsFromTheMenu)
{
    struct Case
    {
        const wchar_t* name;
        DWORD attributes;
        bool damaged;
        const wchar_t* title;
        bool slashes = false; // named with forward slashes
    } cases[] = {
        {L"Setup.msi", FILE_ATTRIBUTE_NORMAL, false, L"Setup.msi"},
        {L"Locked.msi", FILE_ATTRIBUTE_READONLY, false, L"Locked.msi (Read only)"},
        {L"Bad.msi", FILE_ATTRIBUTE_NORMAL, true, nullptr},
        {L"Slashes.msi", FILE_ATTRIBUTE_NORMAL, false, L"Slashes.msi", true},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::wstring path = folder_.file(test.name);
        if (test.damaged)
            WriteFileBytes(path, std::vector<BYTE>(2048, 0x41));
        else
            BuildPackage(path, 2, 1);
        SetFileAttributesW(path.c_str(), test.attributes);
        FILETIME before = {};
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        before = data.ftLastWriteTime;
        ScriptedPrompts prompts;
        prompts.answer(IDOK);
        std::wstring named = path;
        if (test.slashes)
            std::replace(named.begin(), named.end(), L'\\', L'/');
        {
            DatabaseFrame frame(L"Dravnetta.exe \"" + named + L"\"");
            if (!test.title) {
                ASSERT_EQ(prompts.asked().size(), 1u);
                EXPECT_EQ(prompts.asked()[0].text,
                          L"Failed to open file: " + path + L"\r\nThe file is not an installer database.");
                EXPECT_EQ(frame->GetTabs().Documents().size(), 0u);
                continue;
            }
            ASSERT_NE(frame.current(), nullptr);
            EXPECT_EQ(frame.current()->GetTitle(), test.title);
            // The program's own form of the path, whatever form it was given in.
            EXPECT_EQ(frame.current()->GetPath(), path);
            EXPECT_NE(frame.current()->FindTableNode(L"File"), nullptr);
            EXPECT_TRUE(prompts.asked().empty());
            if (test.attributes == FILE_ATTRIBUTE_NORMAL) {
                EditCell(*frame.current(), L"Property", L"ProductName", L"Value", L"Started");
                frame->OnCommand(ID_FILE_SAVE);
                EXPECT_EQ(QueryText(path, kProductName), L"Started");
            }
            frame->OnCommand(ID_FILE_CLOSE);
        }
        if (test.attributes != FILE_ATTRIBUTE_NORMAL) {
            GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
            EXPECT_EQ(CompareFileTime(&before, &data.ftLastWriteTime), 0);
        }
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(MsiFileTabTest, AFailedSaveAsLeavesTheTargetTheTabAndTheFolderAsTheyWere)
{
    std::wstring path = folder_.file(L"Setup.msi");
    BuildPackage(path, 2, 1);
    std::wstring target = folder_.file(L"Held.msi");
    WriteFileBytes(target, {1, 2, 3, 4});
    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    EditCell(*tab, L"Property", L"ProductName", L"Value", L"Changed");
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ScriptedPrompts prompts;
    PromptAnswer save_as;
    save_as.paths = {target};
    prompts.answer(save_as);
    EXPECT_THROW(tab->SaveAs(), tfc::Win32Error);
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(target), (std::vector<BYTE>{1, 2, 3, 4}));
    EXPECT_FALSE(HasTemporaryFiles(folder_.path()));
    EXPECT_EQ(tab->GetTitle(), L"Setup.msi*");
    EXPECT_EQ(tab->GetPath(), path);

    // Over a read-only file it works, and the tab goes on with the new file, writable.
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    prompts.answer(save_as);
    tab->SaveAs();
    EXPECT_EQ(tab->GetTitle(), L"Held.msi");
    EXPECT_EQ(QueryText(target, kProductName), L"Changed");
    EXPECT_EQ(QueryText(path, kProductName), L"Before");
    EXPECT_FALSE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(MsiFileTabTest, ReadOnlyFilesAndNewFilesFromReadOnlyTemplates)
{
    std::wstring path = folder_.file(L"Locked.msi");
    BuildPackage(path, 1, 1);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    ASSERT_NE(frame.current(), nullptr);
    EXPECT_EQ(frame.current()->GetTitle(), L"Locked.msi (Read only)");
    EXPECT_TRUE(frame.current()->IsReadOnly());

    std::wstring made = folder_.file(L"New.msi");
    frame->CreateFromTemplate(path, made);
    ASSERT_EQ(frame->GetTabs().Documents().size(), 2u);
    EXPECT_EQ(frame.current()->GetTitle(), L"New.msi");
    EXPECT_FALSE(frame.current()->IsReadOnly());
    EXPECT_FALSE(GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_READONLY);
    frame->OnCommand(ID_FILE_CLOSE);
    frame->OnCommand(ID_FILE_CLOSE);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(MsiFileTabTest, OneLookupPerTableAndClosingWithStreamsIsSafe)
{
    std::wstring path = folder_.file(L"Binary.msi");
    BuildPackage(path, 3, 2, true);
    DatabaseFrame frame;
    for (int round = 0; round < 20; ++round) {
        frame->OpenFiles({path}, false);
        MsiFileTab* tab = frame.current();
        ASSERT_NE(tab, nullptr) << round;
        if (round == 0) {
            // Only tables with rows have nodes; Feature is empty.
            EXPECT_NE(tab->FindTableNode(L"_Streams"), nullptr);
            EXPECT_NE(tab->FindTableNode(L"Binary"), nullptr);
            EXPECT_EQ(tab->FindTableNode(L"Feature"), nullptr);
            auto feature = tab->GetTableLookup(L"Feature");
            ASSERT_TRUE(feature);
            EXPECT_EQ(tab->GetTableLookup(L"Feature"), feature);
            EXPECT_EQ(tab->GetTableLookup(L"Binary"), tab->FindTableNode(L"Binary")->GetLookup());
            EXPECT_FALSE(tab->GetTableLookup(L"NoSuchTable"));

            // "Show empty tables" on twice, then off: the empty table's node uses the kept lookup.
            size_t shown = TableNodes(*tab).size();
            for (int click = 0; click < 2; ++click) {
                SendMessageW(tab->GetCheckBox(), BM_SETCHECK, BST_CHECKED, 0);
                SendMessageW(tab->GetWindowHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                             reinterpret_cast<LPARAM>(tab->GetCheckBox()));
            }
            ASSERT_NE(tab->FindTableNode(L"Feature"), nullptr);
            EXPECT_EQ(tab->FindTableNode(L"Feature")->GetLookup(), feature);
            EXPECT_EQ(TableNodes(*tab).size(), tab->GetMsiFile().tables().size());
            SendMessageW(tab->GetCheckBox(), BM_SETCHECK, BST_UNCHECKED, 0);
            SendMessageW(tab->GetWindowHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                         reinterpret_cast<LPARAM>(tab->GetCheckBox()));
            EXPECT_EQ(TableNodes(*tab).size(), shown);
            EXPECT_EQ(tab->GetTableLookup(L"Feature"), feature);
        }
        frame->OnCommand(ID_FILE_CLOSE);
        EXPECT_TRUE(frame->GetTabs().Documents().empty());
    }
}

TEST_F(MsiFileTabTest, TrackingIsSwitchedOnForOneSmallDatabase)
{
    std::wstring at = folder_.file(L"At.msi"), over = folder_.file(L"Over.msi"),
                 tiny = folder_.file(L"Tiny.msi");
    BuildPackage(at, 15, 5);
    BuildPackage(over, 16, 5);
    BuildPackage(tiny, 1, 0);
    struct Case
    {
        std::vector<std::wstring> paths;
        int threshold;
        bool tracked;
    } cases[] = {
        {{at}, 20, true}, {{over}, 20, false}, {{at}, 0, false}, {{tiny, at}, 20, false}, {{at}, 2000, true},
    };
    for (const Case& c : cases) {
        gOptions.tracking_threshold = c.threshold;
        DatabaseFrame frame;
        frame->OpenFiles(c.paths, false);
        ASSERT_EQ(frame->GetTabs().Documents().size(), c.paths.size());
        EXPECT_EQ(frame.current()->GetMsiFile().relationships().IsEnabled(), c.tracked)
            << c.threshold << " " << c.paths.size();
        HWND check = frame->GetLogTabs().RowLinksPane().GetCheckBox();
        EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED, c.tracked) << c.threshold;
    }
    struct Rule
    {
        size_t paths, rows;
        int threshold;
        bool tracked;
    } rules[] = {
        {1, 2000, 2000, true}, {1, 2001, 2000, false}, {1, 0, 0, false},
        {2, 10, 2000, false},  {1, 5, -1, false},
    };
    for (const Rule& r : rules)
        EXPECT_EQ(MainWindow::TracksOnOpen(r.paths, r.rows, r.threshold), r.tracked) << r.rows;
}

TEST_F(MsiFileTabTest, DroppingATableAndSavingAsOntoItsOwnFile)
{
    std::wstring path = folder_.file(L"Drop.msi");
    BuildPackage(path, 2, 3);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    int tables = tab->GetTableLookup(L"_Tables")->RowCount();
    ASSERT_NE(tab->FindTableNode(L"Registry"), nullptr);
    tab->DropTable(tab->FindTableNode(L"Registry"));
    EXPECT_EQ(tab->FindTableNode(L"Registry"), nullptr);
    EXPECT_FALSE(tab->GetTableLookup(L"Registry"));
    EXPECT_EQ(tab->GetTableLookup(L"_Tables")->RowCount(), tables - 1);
    EXPECT_EQ(tab->GetTitle(), L"Drop.msi*");
    // System tables stay.
    tab->DropTable(tab->FindTableNode(L"_Tables"));
    EXPECT_NE(tab->FindTableNode(L"_Tables"), nullptr);

    // The file itself chosen in Save As: saved in place.
    ScriptedPrompts prompts;
    PromptAnswer same;
    same.paths = {path};
    prompts.answer(same);
    frame->OnCommand(ID_FILE_SAVE_AS);
    EXPECT_EQ(tab->GetTitle(), L"Drop.msi");
    EXPECT_EQ(QueryText(path, L"SELECT `Name` FROM `_Tables` WHERE `Name`='Registry'"), L"<none>");
    EXPECT_EQ(QueryText(path, L"SELECT `Name` FROM `_Tables` WHERE `Name`='File'"), L"File");
    EXPECT_FALSE(HasTemporaryFiles(folder_.path()));
}

TEST_F(MsiFileTabTest, RowTreesFillWhenShownAndRebuildWhenTrackingGoesOff)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    DatabaseFrame frame(L"Dravnetta.exe \"" + folder_.copy_in(shared, L"Setup.msi") + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    auto top = [&](int page) {
        std::vector<std::wstring> labels;
        for (const auto& child : tab->GetViewTabs().GetPage(page).Root()->GetChildren())
            labels.push_back(child.node->GetLabel());
        return labels;
    };
    for (int page = MainTabCtrl::DIALOGS; page < MainTabCtrl::PAGE_COUNT; ++page)
        EXPECT_TRUE(top(page).empty()) << page;
    tab->SelectView(MainTabCtrl::COMPONENTS);
    EXPECT_EQ(top(MainTabCtrl::COMPONENTS), std::vector<std::wstring>{L"Component"});
    ContainerNode* components =
        tab->GetViewTabs().GetPage(MainTabCtrl::COMPONENTS).Root()->FindChild(L"Component");
    EXPECT_EQ(static_cast<int>(components->ChildCount()), tab->GetTableLookup(L"Component")->RowCount());
    SaveScreenshot(frame->GetWindowHandle(), L"tab-5-components.png");
    tab->SelectView(MainTabCtrl::FEATURES);
    EXPECT_EQ(top(MainTabCtrl::FEATURES), std::vector<std::wstring>{L"Features"});
    // No Dialog table: the page stays empty.
    tab->SelectView(MainTabCtrl::DIALOGS);
    EXPECT_TRUE(top(MainTabCtrl::DIALOGS).empty());

    // Tracking turned off in the row-relationship pane, as the user turns it off.
    tab->SelectView(MainTabCtrl::FEATURES);
    ASSERT_TRUE(tab->GetMsiFile().relationships().IsEnabled());
    frame->GetLogTabs().RowLinksPane().ToggleTracking();
    EXPECT_FALSE(tab->GetMsiFile().relationships().IsEnabled());
    EXPECT_TRUE(top(MainTabCtrl::COMPONENTS).empty());
    EXPECT_EQ(top(MainTabCtrl::FEATURES), std::vector<std::wstring>{L"Features"});
    tab->SelectView(MainTabCtrl::COMPONENTS);
    EXPECT_EQ(top(MainTabCtrl::COMPONENTS), std::vector<std::wstring>{L"Component"});
}

TEST_F(MsiFileTabTest, TableHelpNamesTheTableOfTheSelectedNodeOnEveryPage)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    DatabaseFrame frame(L"Dravnetta.exe \"" + folder_.copy_in(shared, L"Setup.msi") + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    auto link = [](const std::wstring& table) {
        return gOptions.help_table_prefix + table + gOptions.help_table_suffix;
    };
    struct Case
    {
        int page;
        std::function<ContainerNode*()> node; // selected before F1; null: none
        std::wstring opened;
    };
    auto grouping = [&](int page) {
        return tab->GetViewTabs().GetPage(page).Root()->GetChildren().begin()->node.get();
    };
    const Case cases[] = {
        {MainTabCtrl::TABLES, nullptr, gOptions.help_start_page},
        {MainTabCtrl::TABLES, [&] { return tab->FindTableNode(L"Shortcut"); }, link(L"Shortcut")},
        {MainTabCtrl::COMPONENTS, [&] { return grouping(MainTabCtrl::COMPONENTS); }, link(L"Component")},
        {MainTabCtrl::COMPONENTS,
         [&] { return grouping(MainTabCtrl::COMPONENTS)->GetChildren().begin()->node.get(); },
         link(L"Component")},
        {MainTabCtrl::FEATURES, [&] { return grouping(MainTabCtrl::FEATURES); }, link(L"Feature")},
    };
    for (const Case& test : cases) {
        tab->SelectView(test.page);
        TreeView& tree = tab->GetViewTabs().GetPage(test.page);
        if (test.node)
            SelectNode(tree, test.node());
        else
            SendMessageW(tree.GetWindow(), TVM_SELECTITEM, TVGN_CARET, 0);
        ScriptedPrompts prompts;
        prompts.answer(PromptAnswer{33, {}, false});
        frame->OnCommand(ID_HELP_SDK);
        ASSERT_EQ(prompts.asked().size(), 1u) << test.page;
        EXPECT_EQ(prompts.asked()[0].kind, PromptKind::OpenLink);
        EXPECT_EQ(prompts.asked()[0].text, test.opened) << test.page;
    }

    // A page that cannot be opened is reported, naming it.
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{SE_ERR_NOASSOC, {}, false});
    prompts.answer(IDOK);
    frame->OnCommand(ID_HELP_SDK);
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_EQ(prompts.asked()[1].kind, PromptKind::MessageBox);
    EXPECT_EQ(prompts.asked()[1].text, L"The help page could not be opened:\r\n" + link(L"Feature"));
}

TEST_F(MsiFileTabTest, RowLinksFollowTheRowTheTrackingAndTheTabShown)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    DatabaseFrame frame(L"Dravnetta.exe \"" + folder_.copy_in(shared, L"Setup.msi") + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    RowLinksWindow& pane = frame->GetLogTabs().RowLinksPane();
    auto checked = [&] { return SendMessageW(pane.GetCheckBox(), BM_GETCHECK, 0, 0) == BST_CHECKED; };
    ASSERT_TRUE(checked());
    MsiTableNode* directories = tab->FindTableNode(L"Directory");
    ASSERT_NE(directories, nullptr);
    SelectNode(*tab->GetTablesTree(), directories);
    auto key = [&](int position) { return directories->GetLookup()->GetKeyValuesAt(position, 0); };
    auto select_row = [&](int position) {
        ASSERT_TRUE(directories->SelectRow(FindCriteria(L"", L"Directory", L"", key(position))));
    };
    select_row(0);
    std::vector<std::wstring> first = PaneLines(pane);
    select_row(1);
    std::vector<std::wstring> second = PaneLines(pane);
    ASSERT_FALSE(second.empty());
    ASSERT_NE(first, second);

    // Off, another row, on: the pane lists the row selected now.
    select_row(0);
    pane.ToggleTracking();
    EXPECT_EQ(pane.GetLineCount(), 0);
    select_row(1);
    EXPECT_EQ(pane.GetLineCount(), 0);
    pane.ToggleTracking();
    EXPECT_EQ(PaneLines(pane), second);

    // A grouping is no row.
    tab->SelectView(MainTabCtrl::COMPONENTS);
    ContainerNode* grouping =
        tab->GetViewTabs().GetPage(MainTabCtrl::COMPONENTS).Root()->GetChildren().begin()->node.get();
    SelectNode(tab->GetViewTabs().GetPage(MainTabCtrl::COMPONENTS),
               grouping->GetChildren().begin()->node.get());
    EXPECT_GT(pane.GetLineCount(), 0);
    SelectNode(tab->GetViewTabs().GetPage(MainTabCtrl::COMPONENTS), grouping);
    EXPECT_EQ(pane.GetLineCount(), 0);

    // Another tab, not tracked: its box is clear and the pane empty; back, the box is set again.
    tab->SelectView(MainTabCtrl::TABLES);
    select_row(1);
    ASSERT_GT(pane.GetLineCount(), 0);
    std::wstring other = folder_.file(L"Other.msi");
    BuildPackage(other, 1, 1);
    gOptions.tracking_threshold = 0;
    frame->OpenFiles({other}, false);
    ASSERT_NE(frame.current(), tab);
    EXPECT_FALSE(checked());
    EXPECT_EQ(pane.GetLineCount(), 0);
    frame->GetTabs().SelectTab(0);
    ASSERT_EQ(frame.current(), tab);
    EXPECT_TRUE(checked());
    EXPECT_EQ(PaneLines(pane), second);
}

TEST_F(MsiFileTabTest, SaveAsFromReadOnlyAddedRowsAndTreePagesLeaveNothingStale)
{
    std::wstring path = folder_.file(L"Locked.msi");
    BuildPackage(path, 1, 1);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    DatabaseFrame frame;
    frame->OpenFiles({path}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    HMENU bar = GetMenu(frame->GetWindowHandle());
    auto greyed = [&](UINT id) { return (GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    for (UINT id : {ID_TABLES_ADD, ID_TABLES_IMPORT, ID_TABLES_DROP, ID_TABLES_CODE_PAGE})
        EXPECT_TRUE(greyed(id)) << id;
    {
        ScriptedPrompts prompts;
        prompts.answer(PromptAnswer{IDOK, {folder_.file(L"Free.msi")}, false});
        frame->OnCommand(ID_FILE_SAVE_AS);
    }
    EXPECT_EQ(tab->GetTitle(), L"Free.msi");
    for (UINT id : {ID_TABLES_ADD, ID_TABLES_IMPORT, ID_TABLES_DROP, ID_TABLES_CODE_PAGE})
        EXPECT_FALSE(greyed(id)) << id;

    // Pasted rows count in the status bar at once.
    MsiTableNode* property = tab->FindTableNode(L"Property");
    SelectNode(*tab->GetTablesTree(), property);
    EXPECT_EQ(StatusText(frame.frame(), 0), L"Rows: 1");
    {
        Clipboard clipboard;
        clipboard.Open(frame->GetWindowHandle());
        clipboard.SetText(L"Pasted\tvalue\r\n");
    }
    property->PasteRows();
    EXPECT_EQ(property->GetLookup()->RowCount(), 2);
    EXPECT_EQ(StatusText(frame.frame(), 0), L"Rows: 2");
    // So does a row added through "New Row", and the list shows it.
    {
        window_testing::DialogDriver add([&](HWND dialog) {
            auto* box = dynamic_cast<AddTableRowDlg*>(tfc::Dialog::dialog_object(dialog));
            if (!box)
                return false;
            for (int column : {0, 1}) {
                MsiFieldDefRef def = property->GetLookup()->GetFieldDef(column);
                MsiFieldDataRef value(new MsiFieldData());
                def->set_field_data(*value, column ? L"value" : L"Added");
                box->CommitFieldValue(*def, RowIterator(), value, true);
            }
            window_testing::ClickDialogButton(dialog, IDC_ROWS_OK);
            return true;
        });
        property->AddRow();
    }
    EXPECT_EQ(ListView_GetItemCount(tab->GetTreeContext()->GetWindowHandle()), 3);
    EXPECT_EQ(StatusText(frame.frame(), 0), L"Rows: 3");

    // A tree page with nothing selected shows no columns of the table shown before.
    HWND header = ListView_GetHeader(tab->GetTreeContext()->GetWindowHandle());
    EXPECT_EQ(Header_GetItemCount(header), 2);
    tab->SelectView(MainTabCtrl::DIALOGS);
    EXPECT_EQ(Header_GetItemCount(header), 0);
    tab->SelectView(MainTabCtrl::TABLES);
    EXPECT_EQ(Header_GetItemCount(header), 2);
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A dialog previewed from the Dialogs tree changes its row just for the preview: the next Save keeps
// every table of the package (once the saved file listed only `_Validation`).
TEST_F(MsiFileTabTest, DialogPreviewThenEditAndSaveKeepsEveryTable)
{
    std::wstring shared = TestDataPath(L"saves/with-dialogs.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    std::wstring path = folder_.copy_in(shared, L"Dialogs.msi");
    msi::TableRowCounts before = msi::DatabaseRowCounts(path);
    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    for (int round = 0; round < 2; ++round) {
        tab->SelectView(MainTabCtrl::DIALOGS);
        ContainerNode* group = tab->GetViewTabs().GetPage(MainTabCtrl::DIALOGS).Root()->FindChild(L"Dialog");
        auto* node = dynamic_cast<DialogNode*>(group ? group->FindChild(L"WelcomeForm") : nullptr);
        ASSERT_TRUE(node);
        {
            DialogDriver driver([&] {
                HWND dialog = FindDialog(L"Dialog Preview");
                if (!dialog)
                    return false;
                PressButton(dialog, round == 0 ? IDOK : IDCANCEL);
                return true;
            });
            node->Preview();
            EXPECT_TRUE(driver.finished());
        }
        tab->SelectView(MainTabCtrl::TABLES);
        EditCell(*tab, L"Property", L"ProductName", L"Value", round == 0 ? L"Edited" : L"Edited again");
        frame->OnCommand(ID_FILE_SAVE);
        EXPECT_EQ(tab->GetTitle(), L"Dialogs.msi");
        std::wstring copy = folder_.file(L"read.msi");
        ASSERT_TRUE(CopyFileW(path.c_str(), copy.c_str(), FALSE));
        EXPECT_EQ(before, msi::DatabaseRowCounts(copy));
        DeleteFileW(copy.c_str());
        EXPECT_EQ(QueryText(path, kProductName), round == 0 ? L"Edited" : L"Edited again");
    }
}

// Another program replaced the file while the tab had it open: Save says so and offers Save As; the file
// at the path is left as that program made it, and the edits go where the user chooses.
TEST_F(MsiFileTabTest, SaveOfAFileReplacedOnDiskOffersSaveAs)
{
    std::wstring shared = TestDataPath(L"shortcuts.msi"), other = TestDataPath(L"two-saves.msi");
    if (shared.empty() || other.empty())
        GTEST_SKIP() << "no shared test data";
    std::wstring path = folder_.copy_in(shared, L"Setup.msi");
    std::wstring replacement = folder_.copy_in(other, L"replacement.msi");
    std::vector<BYTE> replaced = ReadFileBytes(replacement);
    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    EditCell(*tab, L"Property", L"ProductName", L"Value", L"Edited");
    // As a Linux tool does it: a new file renamed over the open one.
    ASSERT_TRUE(
        RunUnixScript(folder_.path(), "mv -f '" + UnixPath(replacement) + "' '" + UnixPath(path) + "'\n"));

    // Declined: nothing is saved, the edits stay, and the caller (closing, say) learns it was not saved.
    ScriptedPrompts prompts;
    prompts.answer(IDNO);
    EXPECT_THROW(frame->OnCommand(ID_FILE_SAVE), tfc::ManageableError);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].caption, L"File changed on disk");
    EXPECT_EQ(tab->GetTitle(), L"Setup.msi*");
    EXPECT_EQ(ReadFileBytes(path), replaced);

    // Accepted: Save As writes the edits onto the package the tab opened; the replaced file stays as it is.
    prompts.answer(IDYES);
    PromptAnswer save_as;
    std::wstring saved = folder_.file(L"Mine.msi");
    save_as.paths = {saved};
    prompts.answer(save_as);
    frame->OnCommand(ID_FILE_SAVE);
    EXPECT_EQ(tab->GetTitle(), L"Mine.msi");
    EXPECT_EQ(FrameTitle(frame.frame()), L"Mine.msi - Dravnetta - Varnock");
    EXPECT_EQ(QueryText(saved, kProductName), L"Edited");
    // Read from a copy: the tab holds the saved file.
    std::wstring copy = folder_.copy_in(saved, L"MineCopy.msi");
    EXPECT_EQ(msi::DatabaseRowCounts(copy), msi::DatabaseRowCounts(shared));
    EXPECT_EQ(ReadFileBytes(path), replaced);
}

namespace {

// The captions the list's header holds; none while the header is hidden.
std::vector<std::wstring> HeaderCaptions(HWND list)
{
    HWND header = ListView_GetHeader(list);
    std::vector<std::wstring> captions;
    if (!IsWindowVisible(header))
        return captions;
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        wchar_t text[128] = {};
        HDITEMW item = {};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        Header_GetItem(header, i, &item);
        captions.push_back(text);
    }
    return captions;
}

// The dark pixels the screen shows over the list, once it has painted: text of any kind.
int DarkPixelsShown(HWND list)
{
    HWND header = ListView_GetHeader(list);
    EXPECT_TRUE(PumpUntil([&] {
        return !GetUpdateRect(list, nullptr, FALSE) && !GetUpdateRect(header, nullptr, FALSE) &&
               window_testing::ScreenShowsWindow(list);
    }));
    RECT client = {};
    GetClientRect(list, &client);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&client), 2);
    int dark = 0;
    for (DWORD pixel : window_testing::ScreenPixels(client))
        dark += (pixel & 0xFF) < 0x80 && ((pixel >> 8) & 0xFF) < 0x80 && ((pixel >> 16) & 0xFF) < 0x80;
    return dark;
}

} // namespace

// A row page's list is headed by what its own node shows, never by what was shown before: a grouping
// shows no columns at all (the captions of the row shown before once stayed on the screen above it).
TEST_F(MsiFileTabTest, RowPageGroupingsShowNoCaptionsOfWhatWasShownBefore)
{
    std::wstring shared = TestDataPath(L"saves/with-dialogs.msi");
    if (shared.empty())
        GTEST_SKIP() << "no shared test data";
    DatabaseFrame frame(L"Dravnetta.exe \"" + folder_.copy_in(shared, L"Dialogs.msi") + L"\"");
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    HWND list = tab->GetTreeContext()->GetWindowHandle();
    auto select = [&](int page, ContainerNode* node) {
        SendMessageW(tab->GetViewTabs().GetPage(page).GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node->GetItem()));
    };
    auto columns_of = [&](const wchar_t* table) {
        std::vector<std::wstring> names;
        auto lookup = tab->GetTableLookup(table);
        for (int column = 0; lookup && column < lookup->ColumnCount(); ++column)
            names.push_back(lookup->GetFieldDef(column)->name());
        return names;
    };
    struct Case
    {
        UINT view;
        int page;
        const wchar_t* top;
        const wchar_t* table;    // of the row shown first
        const wchar_t* grouping; // under that row; none: the top grouping itself
    } cases[] = {{ID_VIEW_FEATURES, MainTabCtrl::FEATURES, L"Features", L"Feature", L"Components"},
                 {ID_VIEW_DIALOGS, MainTabCtrl::DIALOGS, L"Dialog", L"Dialog", nullptr}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.table);
        // The Feature table first, on the screen.
        SendMessageW(tab->GetWindowHandle(), WM_COMMAND, ID_VIEW_TABLES, 0);
        select(MainTabCtrl::TABLES, tab->FindTableNode(L"Feature"));
        EXPECT_EQ(HeaderCaptions(list), columns_of(L"Feature"));
        EXPECT_GT(DarkPixelsShown(list), 0);

        SendMessageW(tab->GetWindowHandle(), WM_COMMAND, test.view, 0);
        TreeView& tree = tab->GetViewTabs().GetPage(test.page);
        ContainerNode* top = tree.Root()->FindChild(test.top);
        ASSERT_TRUE(top && top->HasChildren());
        ContainerNode* row = top->GetChildren().begin()->node.get();
        select(test.page, row);
        EXPECT_EQ(HeaderCaptions(list), columns_of(test.table));
        EXPECT_GT(DarkPixelsShown(list), 0);
        ContainerNode* grouping = top;
        if (test.grouping) {
            SendMessageW(tree.GetWindow(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(row->GetItem()));
            grouping = row->FindChild(test.grouping);
            ASSERT_NE(grouping, nullptr);
        }
        select(test.page, grouping);
        EXPECT_TRUE(HeaderCaptions(list).empty());
        EXPECT_EQ(DarkPixelsShown(list), 0);
        SaveScreenshot(frame->GetWindowHandle(), std::wstring(L"row-page-grouping-") + test.top + L".png");
    }
}

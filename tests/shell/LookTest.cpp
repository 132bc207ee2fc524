// How the database tab looks on a real package: captions that fit, popups over the frame. Screenshots of
// each go to the build folder for people to look at.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"
#include "support/WindowTesting.h"

#include "foundation/WindowPlace.h"
#include "resources/ShellIds.h"
#include "validation/ValidationWindow.h"
#include "views/dialogs/FindDlg.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/grid/HeaderWidth.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

using namespace shell_testing;
using namespace testing_support;

namespace {

POINT Centre(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Every column of the list at least as wide as its caption needs.
void ExpectCaptionsFit(HWND list, const char* where)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    int count = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    ASSERT_GT(count, 0) << where;
    for (int column = 0; column < count; ++column)
        EXPECT_GE(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0), HeaderItemWidth(list, column))
            << where << " column " << column;
}

class LookTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::wstring shared = TestDataPath(L"shortcuts.msi");
        if (shared.empty())
            GTEST_SKIP() << "no shared test data";
        frame_ = std::make_unique<DatabaseFrame>(L"Dravnetta.exe \"" + folder_.copy_in(shared, L"Look.msi") +
                                                 L"\"");
        // Wide enough for every column of the File table: a list too narrow shares its width out.
        MoveWindow((*frame_)->GetWindowHandle(), 10, 10, 1240, 760, TRUE);
        tab_ = frame_->current();
        ASSERT_NE(tab_, nullptr);
    }
    HWND Frame() { return (*frame_)->GetWindowHandle(); }

    ScratchFolder folder_;
    std::unique_ptr<DatabaseFrame> frame_;
    MsiFileTab* tab_ = nullptr;
};

} // namespace

TEST_F(LookTest, ColumnCaptionsAndPaneLabelsAreNotCut)
{
    MsiTableNode* file = tab_->FindTableNode(L"File");
    ASSERT_NE(file, nullptr);
    SendMessageW(tab_->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(file->GetItem()));
    HWND list = tab_->GetTreeContext()->GetWindowHandle();
    ExpectCaptionsFit(list, "File table");
    SaveScreenshot(Frame(), L"look-long-headers.png");

    ExpectCaptionsFit((*frame_)->GetLogTabs().RowLinksPane().GetListWindow(), "row relationships");
    auto* results = dynamic_cast<ValidationWindow*>(&(*frame_)->GetLogTabs().ValidationPane());
    ASSERT_NE(results, nullptr);
    RECT box = {};
    GetWindowRect(results->GetCheckBox(), &box);
    EXPECT_GE(box.right - box.left,
              ControlTextWidth(results->GetCheckBox()) + GetSystemMetrics(SM_CXMENUCHECK));
}

// The bottom pane's tabs are icons only: each is named by a tip.
TEST_F(LookTest, TheBottomPaneTabsAreNamedByTips)
{
    HWND tips = (*frame_)->GetLogTabs().GetToolTipWindow();
    ASSERT_EQ(SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 2);
    std::vector<std::wstring> names;
    for (int i = 0; i < 2; ++i) {
        wchar_t text[80] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = TTTOOLINFOW_V2_SIZE;
        tool.lpszText = text;
        ASSERT_TRUE(SendMessageW(tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&tool)));
        EXPECT_FALSE(IsRectEmpty(&tool.rect)) << i;
        names.push_back(text);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Row Relationships", L"Validation Window"}));
}

TEST_F(LookTest, ComponentsTreeWithItsTopNodeSelected)
{
    SendMessageW(tab_->GetWindowHandle(), WM_COMMAND, ID_VIEW_COMPONENTS, 0);
    TreeView& tree = tab_->GetViewTabs().GetPage(MainTabCtrl::COMPONENTS);
    ASSERT_TRUE(window_testing::PumpUntil([&] { return tree.Root()->HasChildren(); }));
    ContainerNode* top = tree.Root()->GetChildren().begin()->node.get();
    EXPECT_EQ(top->GetLabel(), L"Component");
    SendMessageW(tree.GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(top->GetItem()));
    EXPECT_TRUE(IsWindowVisible(tree.GetWindow()));
    SaveScreenshot(Frame(), L"look-components-tree.png");
}

TEST_F(LookTest, SummaryInformationDialog)
{
    bool shown = false;
    window_testing::DialogDriver driver([&](HWND dialog) {
        shown = true;
        SaveScreenshot(dialog, L"look-summary-information.png");
        window_testing::ClickDialogButton(dialog, IDCANCEL);
        return true;
    });
    SendMessageW(tab_->GetWindowHandle(), WM_COMMAND, ID_TABLES_SUMMARY_INFO, 0);
    EXPECT_TRUE(shown);
}

TEST_F(LookTest, FindOpensOverTheFrame)
{
    MoveWindow(Frame(), 200, 150, 900, 640, TRUE);
    FindDlg& find = (*frame_)->GetFindDialog();
    find.Show();
    HWND dialog = find.GetWindowHandle();
    ASSERT_TRUE(IsWindowVisible(dialog));
    POINT centre = Centre(dialog), frame = Centre(Frame());
    EXPECT_NEAR(centre.x, frame.x, 2);
    EXPECT_NEAR(centre.y, frame.y, 2);
    SaveScreenshot(Frame(), L"look-find-dialog.png");
    // Moved by the user, it stays there when shown again.
    SetWindowPos(dialog, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    find.Show();
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    EXPECT_EQ(rect.left, 10);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Dialogs that once opened at the screen's top left or at its centre open over the frame wherever it stands.
TEST_F(LookTest, DialogsOpenOverTheFrame)
{
    MoveWindow(Frame(), 40, 30, 900, 640, TRUE);
    POINT frame = Centre(Frame());
    struct Case
    {
        const wchar_t* caption;
        std::function<void()> open;
    } cases[] = {
        {L"Summary Information",
         [&] { SendMessageW(tab_->GetWindowHandle(), WM_COMMAND, ID_TABLES_SUMMARY_INFO, 0); }},
        {L"New Row", [&] { tab_->FindTableNode(L"Property")->AddRow(); }},
    };
    for (const Case& c : cases) {
        bool shown = false;
        window_testing::ModalDriver driver([&] {
            HWND dialog = window_testing::FindThreadDialog(c.caption);
            if (!dialog)
                return false;
            shown = true;
            POINT centre = Centre(dialog);
            EXPECT_NEAR(centre.x, frame.x, 2) << c.caption;
            EXPECT_NEAR(centre.y, frame.y, 2) << c.caption;
            SaveScreenshot(Frame(), std::wstring(L"look-over-frame-") + c.caption + L".png");
            window_testing::ClickDialogButton(dialog, IDCANCEL);
            return true;
        });
        c.open();
        EXPECT_TRUE(shown) << c.caption;
    }
}

// A page shown for the first time shows no columns of the row another page showed.
TEST_F(LookTest, APageShowsNoColumnsOfTheRowAnotherPageShowed)
{
    HWND header = ListView_GetHeader(tab_->GetTreeContext()->GetWindowHandle());
    tab_->SelectView(MainTabCtrl::FEATURES);
    TreeView& features = tab_->GetViewTabs().GetPage(MainTabCtrl::FEATURES);
    ASSERT_TRUE(features.Root()->HasChildren());
    ContainerNode* grouping = features.Root()->GetChildren().begin()->node.get();
    ASSERT_TRUE(grouping->HasChildren());
    ContainerNode* feature = grouping->GetChildren().begin()->node.get();
    SendMessageW(features.GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(feature->GetItem()));
    EXPECT_GT(Header_GetItemCount(header), 0);
    tab_->SelectView(MainTabCtrl::COMPONENTS);
    EXPECT_EQ(Header_GetItemCount(header), 0);
    EXPECT_EQ(ListView_GetItemCount((*frame_)->GetLogTabs().RowLinksPane().GetListWindow()), 0);
    SaveScreenshot(Frame(), L"look-components-after-features.png");
}

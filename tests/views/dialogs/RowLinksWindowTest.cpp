// The row-relationship pane over a real package with row reference tracking: both directions, one line per
// pair of rows, sorting, the jump to a listed row, and the tracking box.
#include "views/dialogs/RowLinksWindow.h"
#include "model/MsiFile.h"

#include "DialogTesting.h"

#include <gtest/gtest.h>
#include <stdexcept>

using dialog_testing::PackageTab;
using grid_testing::OpenPackage;

namespace {

class RowLinksWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!package_.ok())
            GTEST_SKIP() << "shared test data absent";
        tab_ = std::make_unique<PackageTab>(package_);
        host_ = CreateWindowExW(0, L"STATIC", L"Row Relationships", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                700, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        RECT rect = {0, 0, 680, 260};
        PackageTab* tab = tab_.get();
        pane_.Create(host_, rect, nullptr, [tab]() -> TableViewsTab* { return tab; });
    }
    void TearDown() override
    {
        if (host_)
            DestroyWindow(host_);
    }
    void ClickTrackingBox() { SendMessageW(pane_.GetCheckBox(), BM_CLICK, 0, 0); }
    bool BoxChecked() { return SendMessageW(pane_.GetCheckBox(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Show(const wchar_t* table, const wchar_t* key)
    {
        MsiTable& shown = package_.table(table);
        pane_.ShowRowLinks(&shown, grid_testing::FindRowByKey(shown, key));
    }
    // "Table Key (image)" per line, in list order.
    std::vector<std::wstring> Lines()
    {
        std::vector<std::wstring> lines;
        for (int i = 0; i < pane_.GetLineCount(); ++i) {
            LVITEMW item = {};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            SendMessageW(pane_.GetListWindow(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            lines.push_back(pane_.GetItemText(i, 0) + L" " + pane_.GetItemText(i, 1) + L" (" +
                            std::to_wstring(item.iImage) + L")");
        }
        return lines;
    }
    void ClickHeader(int column)
    {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = pane_.GetListWindow();
        click.hdr.idFrom = 2;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageW(pane_.GetWindowHandle(), WM_NOTIFY, 2, reinterpret_cast<LPARAM>(&click));
    }

    OpenPackage package_{L"shortcuts.msi"};
    std::unique_ptr<PackageTab> tab_;
    HWND host_ = nullptr;
    RowLinksWindow pane_;
};

TEST_F(RowLinksWindowTest, ListsBothDirectionsOneLinePerRowPair)
{
    std::vector<bool> told;
    pane_.SetTrackingChangedHandler([&told](EditableMsiFileTab&, bool on) { told.push_back(on); });
    Show(L"Directory", L"ProgramFilesFolder");
    EXPECT_EQ(0, pane_.GetLineCount()) << "tracking is off";

    ClickTrackingBox();
    ASSERT_TRUE(BoxChecked());
    ASSERT_TRUE(package_.file().relationships().IsEnabled());
    Show(L"Directory", L"ProgramFilesFolder");
    EXPECT_EQ((std::vector<std::wstring>{L"Directory TARGETDIR (6)", L"Directory INSTALLFOLDER (5)"}),
              Lines());

    // The shortcut refers to the folder by its column and in its formatted target: one line for both.
    Show(L"Directory", L"INSTALLFOLDER");
    int custom = -1;
    for (int i = 0; i < pane_.GetLineCount(); ++i) {
        if (pane_.GetItemText(i, 1) == L"CustomTargetShortcut") {
            EXPECT_EQ(-1, custom) << "one line per pair of rows";
            custom = i;
        }
    }
    ASSERT_NE(-1, custom);
    std::wstring description = pane_.GetItemText(custom, 2);
    EXPECT_NE(std::wstring::npos, description.find(L" | ")) << description;
    EXPECT_NE(std::wstring::npos, description.find(L"Formatted")) << description;

    grid_testing::SaveScreenshot(host_, testing_support::BuildPath(L"RowLinksPane.png"));

    // Header clicks sort case-insensitively, then the other way round.
    for (int column : {1, 0}) {
        for (bool ascending : {true, false}) {
            ClickHeader(column);
            for (int i = 1; i < pane_.GetLineCount(); ++i) {
                int order =
                    lstrcmpiW(pane_.GetItemText(i - 1, column).c_str(), pane_.GetItemText(i, column).c_str());
                EXPECT_TRUE(ascending ? order <= 0 : order >= 0) << column << " " << i;
            }
        }
    }

    // Enter shows the selected line's row in the document.
    LVITEMW select = {};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(pane_.GetListWindow(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&select));
    SendMessageW(pane_.GetListWindow(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(1u, tab_->shown.size());
    EXPECT_EQ(pane_.GetItemText(0, 0), tab_->shown[0].table_name);
    EXPECT_EQ(pane_.GetItemKey(0), tab_->shown[0].key_values);

    ClickTrackingBox();
    EXPECT_FALSE(BoxChecked());
    EXPECT_FALSE(package_.file().relationships().IsEnabled());
    EXPECT_EQ(0, pane_.GetLineCount());
    EXPECT_EQ((std::vector<bool>{true, false}), told);
}

// A table whose references cannot be read: building the row references fails part-way.
class BrokenTable : public MsiTable
{
public:
    explicit BrokenTable(MsiFile* owner) : MsiTable(L"~Broken", owner) {}
    std::set<std::wstring> ReferencedTables() const override { throw std::runtime_error("unreadable table"); }
};

TEST_F(RowLinksWindowTest, AFailedBuildLeavesTrackingOffAndTheBoxUnchecked)
{
    package_.file().AddTable(MsiTableRef(new BrokenTable(&package_.file())));
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    ClickTrackingBox();
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(PromptKind::ErrorDialog, prompts.asked()[0].kind);
    EXPECT_FALSE(BoxChecked());
    EXPECT_FALSE(package_.file().relationships().IsEnabled());
    package_.file().EraseTable(L"~Broken");
}

TEST_F(RowLinksWindowTest, ForgetsARowThatIsDeleted)
{
    ClickTrackingBox();
    Show(L"Directory", L"ProgramFilesFolder");
    ASSERT_EQ(2, pane_.GetLineCount());
    std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(L"Directory");
    lookup->DeleteRow(0, lookup->FindRow({L"ProgramFilesFolder"}, 0));
    pane_.Refresh();
    EXPECT_EQ(0, pane_.GetLineCount());
}

} // namespace

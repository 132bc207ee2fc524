// "Update Referencing Rows" over a real package with row reference tracking, pressed from a timer while a
// lookup commits a changed key; and the rewriting of references in formatted text.
#include "views/dialogs/ReferenceRewrite.h"
#include "views/dialogs/RowChangeDlg.h"
#include "model/MsiFile.h"
#include "resources/DialogsIds.h"

#include "DialogTesting.h"

#include <gtest/gtest.h>

using dialog_testing::PackageTab;
using grid_testing::OpenPackage;

namespace {

TEST(ReferenceRewriteTest, FollowsTheKeyInReferencesOfItsTable)
{
    struct Case
    {
        const wchar_t* table;
        const wchar_t* old_key;
        const wchar_t* new_key;
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"File", L"F1", L"F2", L"[#F1] x [!F1] [#F10] [F1]", L"[#F2] x [!F2] [#F10] [F1]"},
        {L"File", L"a.b", L"c", L"[#a1b] [#a.b]", L"[#a1b] [#c]"},
        {L"Component", L"C", L"D", L"[$C] [#C] [C]", L"[$D] [#C] [C]"},
        {L"Property", L"P", L"Q", L"[P][#P] [$P] [PP]", L"[Q][#P] [$P] [PP]"},
        {L"Property", L"P", L"$0\\1", L"a[P]b", L"a[$0\\1]b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, reference_rewrite::RewriteReferences(c.text, c.table, c.old_key, c.new_key))
            << c.text;
}

class RowChangeDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!package_.ok())
            GTEST_SKIP() << "shared test data absent";
        tab_ = std::make_unique<PackageTab>(package_);
        files_ = tab_->GetTableLookup(L"File");
        // Referring rows whose keys hold "|" or are longer than any list buffer.
        files_->AddRowFromText({long_key_, L"ShortcutComp", L"long.txt", L"1", L"", L"", L"", L"2"});
        files_->AddRowFromText({L"x|y", L"ShortcutComp", L"bar.txt", L"1", L"", L"", L"", L"3"});
        files_->AddRowFromText({L"F1", L"ShortcutComp", L"f1.txt", L"1", L"", L"", L"", L"4"});
        MsiTable& shortcuts = package_.table(L"Shortcut");
        MsiFieldDefRef target = shortcuts.FindColumn(L"Target");
        package_.file().ModifyRow(shortcuts, *target,
                                  grid_testing::FindRowByKey(shortcuts, L"FileTargetShortcut"),
                                  MsiFieldDataRef(new MsiFieldData(std::wstring(kTarget))));
        package_.file().relationships().Build(package_.file());
    }

    // Commits the new key of the row while `press` answers the dialog; false when it never came.
    bool ChangeKey(const wchar_t* table, const wchar_t* key, const wchar_t* new_key,
                   const std::function<void(HWND dialog, HWND list)>& press)
    {
        std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(table);
        int position = lookup->FindRow({key}, 0);
        bool seen = false;
        grid_testing::ModalDriver driver([&]() {
            HWND dialog = dialog_testing::FindDialog(L"Update Referencing Rows");
            if (!dialog)
                return false;
            seen = true;
            press(dialog, GetDlgItem(dialog, IDC_ROWS_PLACEHOLDER));
            return true;
        });
        lookup->CommitFieldValue(*lookup->GetFieldDef(0), lookup->GetIndexedRow(position, 0),
                                 MsiFieldDataRef(new MsiFieldData(std::wstring(new_key))), true);
        return seen;
    }
    static std::wstring ItemText(HWND list, int item, int column)
    {
        wchar_t text[64] = {};
        LVITEMW query = {};
        query.iSubItem = column;
        query.pszText = text;
        query.cchTextMax = 64;
        SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&query));
        return text;
    }

    static constexpr const wchar_t* kTarget = L"[#F1] x [!F1] [#F10] [F1]";
    OpenPackage package_{L"shortcuts.msi"};
    std::unique_ptr<PackageTab> tab_;
    std::shared_ptr<MsiTableLookupBase> files_;
    std::wstring long_key_ = std::wstring(1100, L'L');
};

TEST_F(RowChangeDlgTest, CancelLeavesTheCellAndTheReferringRows)
{
    ASSERT_TRUE(ChangeKey(L"Component", L"ShortcutComp", L"NewComp", [](HWND dialog, HWND list) {
        int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        EXPECT_LE(7, count);
        auto checked = [list, count]() {
            int checks = 0;
            for (int item = 0; item < count; ++item) {
                UINT state =
                    static_cast<UINT>(SendMessageW(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
                checks += (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
            }
            return checks;
        };
        EXPECT_EQ(count, checked());
        grid_testing::ClickButton(dialog, IDC_TOGGLE);
        EXPECT_EQ(0, checked());
        grid_testing::ClickButton(dialog, IDC_SELECT_ALL);
        EXPECT_EQ(count, checked());
        grid_testing::ClickButton(dialog, IDCANCEL);
    }));
    EXPECT_EQ((std::vector<std::wstring>{L"ShortcutComp"}), tab_->Keys(L"Component"));
    for (const std::wstring& key : {long_key_, std::wstring(L"x|y"), std::wstring(L"test.txt")})
        EXPECT_EQ(L"ShortcutComp", tab_->Cell(L"File", key, L"Component_"));
}

TEST_F(RowChangeDlgTest, OkUpdatesEveryTickedRowWhateverItsKey)
{
    ASSERT_TRUE(ChangeKey(L"Component", L"ShortcutComp", L"NewComp", [](HWND dialog, HWND list) {
        // The feature's line stays unticked.
        int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int item = 0; item < count; ++item) {
            if (ItemText(list, item, 0) != L"FeatureComponents")
                continue;
            LVITEMW state = {};
            state.stateMask = LVIS_STATEIMAGEMASK;
            state.state = INDEXTOSTATEIMAGEMASK(1);
            SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
        }
        grid_testing::ClickButton(dialog, IDC_ROWS_OK);
    }));
    EXPECT_EQ((std::vector<std::wstring>{L"NewComp"}), tab_->Keys(L"Component"));
    for (const std::wstring& key : {long_key_, std::wstring(L"x|y"), std::wstring(L"test.txt")})
        EXPECT_EQ(L"NewComp", tab_->Cell(L"File", key, L"Component_"));
    for (const wchar_t* key : {L"FileTargetShortcut", L"CustomTargetShortcut", L"AdvtShortcut"})
        EXPECT_EQ(L"NewComp", tab_->Cell(L"Shortcut", key, L"Component_"));
    EXPECT_EQ(L"ShortcutComp",
              tab_->Cell(L"FeatureComponents", L"ProductFeature|ShortcutComp", L"Component_"));
    EXPECT_FALSE(tab_->status.empty());
}

TEST_F(RowChangeDlgTest, FormattedReferencesFollowTheKey)
{
    for (bool ok : {false, true}) {
        ASSERT_TRUE(ChangeKey(L"File", L"F1", L"F2", [ok](HWND dialog, HWND) {
            grid_testing::ClickButton(dialog, ok ? IDC_ROWS_OK : IDCANCEL);
        }));
        EXPECT_EQ(ok ? L"[#F2] x [!F2] [#F10] [F1]" : kTarget,
                  tab_->Cell(L"Shortcut", L"FileTargetShortcut", L"Target"));
        EXPECT_EQ(ok ? L"(no row)" : L"f1.txt", tab_->Cell(L"File", L"F1", L"FileName"));
    }
}

TEST_F(RowChangeDlgTest, NoQuestionWhenNothingReferencesTheKeyOrTrackingIsOff)
{
    // The new file row is named by nothing; with tracking off the component's rows are not asked about.
    EXPECT_FALSE(ChangeKey(L"File", L"x|y", L"z", [](HWND dialog, HWND) { EndDialog(dialog, IDCANCEL); }));
    EXPECT_EQ(L"bar.txt", tab_->Cell(L"File", L"z", L"FileName"));
    package_.file().relationships().Clear();
    EXPECT_FALSE(ChangeKey(L"Component", L"ShortcutComp", L"NewComp",
                           [](HWND dialog, HWND) { EndDialog(dialog, IDCANCEL); }));
    EXPECT_EQ((std::vector<std::wstring>{L"NewComp"}), tab_->Keys(L"Component"));
    EXPECT_EQ(L"ShortcutComp", tab_->Cell(L"File", L"test.txt", L"Component_"));
}

} // namespace

// "Cascaded Deletion" over a real package with row reference tracking: the tree of owned rows, cycles,
// rows owned twice, long keys, "&RootsOnly", the plain question, and the tab's dirty mark.
#include "views/dialogs/RowDeletionsDlg.h"
#include "model/MsiFile.h"
#include "model/MsiSchema.h"
#include "model/installer/MsiApi.h"
#include "resources/DialogsIds.h"

#include "DialogTesting.h"

#include <gtest/gtest.h>
#include <set>

using dialog_testing::PackageTab;
using grid_testing::OpenPackage;

namespace {

class RowDeletionsDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!package_.ok())
            GTEST_SKIP() << "shared test data absent";
        tab_ = std::make_unique<PackageTab>(package_);
        std::shared_ptr<MsiTableLookupBase> folders = tab_->GetTableLookup(L"Directory");
        // Two folders that own each other, and two whose long keys share their first 100 characters.
        folders->AddRowFromText({L"CYC_A", L"CYC_B", L"a"});
        folders->AddRowFromText({L"CYC_B", L"CYC_A", L"b"});
        folders->AddRowFromText({long_ + L"1", L"TARGETDIR", L"l1"});
        folders->AddRowFromText({long_ + L"2", long_ + L"1", L"l2"});
        package_.file().relationships().Build(package_.file());
    }

    RowDeletionsDlg::RowList Rows(std::initializer_list<std::pair<const wchar_t*, std::wstring>> rows)
    {
        RowDeletionsDlg::RowList list;
        for (const auto& row : rows) {
            MsiTable& table = package_.table(row.first);
            list.emplace_back(&table, grid_testing::FindRowByKey(table, row.second));
        }
        return list;
    }
    // Runs the dialog; `press` sees it and its tree, and presses its buttons.
    bool Run(RowDeletionsDlg& dialog, const std::function<void(HWND)>& press)
    {
        grid_testing::ModalDriver driver([&]() {
            HWND window = dialog_testing::FindDialog(L"Cascaded Deletion");
            if (!window)
                return false;
            press(window);
            return true;
        });
        return dialog.DoModal();
    }
    // "Table key" of every node, depth first, indented by depth.
    static void Picture(const ContainerNode& node, std::wstring& out, int depth = 0)
    {
        for (const ContainerNode::Child& child : node.GetChildren()) {
            auto* row = dynamic_cast<RowNode*>(child.node.get());
            out += std::wstring(static_cast<size_t>(depth) * 2, L' ') + row->GetTable()->name() + L" " +
                   row->GetTable()->RowKeyText(*row->GetRow()) + (row->IsChecked() ? L"" : L" (off)") + L"\n";
            Picture(*child.node, out, depth + 1);
        }
    }

    OpenPackage package_{L"shortcuts.msi"};
    std::unique_ptr<PackageTab> tab_;
    std::wstring long_ = std::wstring(120, L'D');
};

TEST_F(RowDeletionsDlgTest, OwnedRowsFormTheTreeAndOkDeletesThemOnce)
{
    RowDeletionsDlg dialog(*tab_,
                           Rows({{L"Directory", L"CYC_A"},
                                 {L"Directory", long_ + L"1"},
                                 {L"Feature", L"ProductFeature"},
                                 {L"Component", L"ShortcutComp"},
                                 {L"File", L"test.txt"}}),
                           tab_.get());
    std::wstring picture;
    testing_support::ScriptedPrompts prompts; // any question would fail the test
    ASSERT_TRUE(Run(dialog, [&](HWND window) {
        // Painted first: Wine's tree drops its check marks at its first paint.
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Picture(*dialog.GetTree().Root(), picture);
        grid_testing::SaveScreenshot(window, testing_support::BuildPath(L"CascadedDeletion.png"));
        grid_testing::ClickButton(window, IDC_ROWS_OK);
    }));
    // Tree items are in label order; the cycle ends at the row already on the path.
    // The file's hash and the feature's link belong to two roots: each is shown under both and deleted once.
    EXPECT_EQ(L"Component ShortcutComp\n"
              L"  FeatureComponents ProductFeature|ShortcutComp\n"
              L"  File test.txt\n"
              L"    MsiFileHash test.txt\n"
              L"  Shortcut AdvtShortcut\n"
              L"  Shortcut CustomTargetShortcut\n"
              L"  Shortcut FileTargetShortcut\n"
              L"Directory CYC_A\n"
              L"  Directory CYC_B\n"
              L"Directory " +
                  long_ + L"1\n  Directory " + long_ +
                  L"2\n"
                  L"Feature ProductFeature\n"
                  L"  FeatureComponents ProductFeature|ShortcutComp\n"
                  L"File test.txt\n"
                  L"  MsiFileHash test.txt\n",
              picture);
    EXPECT_EQ(12, dialog.DeletedCount());
    EXPECT_TRUE(tab_->Keys(L"MsiFileHash").empty());
    EXPECT_TRUE(tab_->Keys(L"FeatureComponents").empty());
    EXPECT_TRUE(tab_->Keys(L"Shortcut").empty());
    EXPECT_EQ((std::vector<std::wstring>{L"INSTALLFOLDER", L"ProgramFilesFolder", L"TARGETDIR"}),
              tab_->Keys(L"Directory"));
    EXPECT_TRUE(tab_->IsDirty());
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(RowDeletionsDlgTest, RootsOnlyDeletesOnlyTheRowsAskedFor)
{
    RowDeletionsDlg dialog(*tab_, Rows({{L"Component", L"ShortcutComp"}}), nullptr);
    std::wstring toggled, roots_only;
    ASSERT_TRUE(Run(dialog, [&](HWND window) {
        // A right click on a node turns its whole branch the other way.
        auto* root = static_cast<RowNode*>(dialog.GetTree().Root()->GetChildren().begin()->node.get());
        root->FindChild(L"File test.txt")->OnContextMenu(0, 0);
        Picture(*dialog.GetTree().Root(), toggled);
        grid_testing::ClickButton(window, IDC_ROOTS_ONLY);
        Picture(*dialog.GetTree().Root(), roots_only);
        grid_testing::ClickButton(window, IDC_ROWS_OK);
    }));
    EXPECT_EQ(L"Component ShortcutComp\n"
              L"  FeatureComponents ProductFeature|ShortcutComp\n"
              L"  File test.txt (off)\n"
              L"    MsiFileHash test.txt (off)\n"
              L"  Shortcut AdvtShortcut\n"
              L"  Shortcut CustomTargetShortcut\n"
              L"  Shortcut FileTargetShortcut\n",
              toggled);
    EXPECT_EQ(L"Component ShortcutComp\n"
              L"  FeatureComponents ProductFeature|ShortcutComp (off)\n"
              L"  File test.txt (off)\n"
              L"    MsiFileHash test.txt (off)\n"
              L"  Shortcut AdvtShortcut (off)\n"
              L"  Shortcut CustomTargetShortcut (off)\n"
              L"  Shortcut FileTargetShortcut (off)\n",
              roots_only);
    EXPECT_EQ(1, dialog.DeletedCount());
    EXPECT_TRUE(tab_->Keys(L"Component").empty());
    EXPECT_EQ(3u, tab_->Keys(L"Shortcut").size());
    EXPECT_EQ(L"ShortcutComp", tab_->Cell(L"File", L"test.txt", L"Component_"));
}

TEST_F(RowDeletionsDlgTest, ARowNothingBelongsToIsOnlyAskedAbout)
{
    for (int answer : {IDNO, IDYES}) {
        testing_support::ScriptedPrompts prompts;
        prompts.answer(answer);
        RowDeletionsDlg dialog(*tab_, Rows({{L"Property", L"ALLUSERS"}}), nullptr);
        EXPECT_EQ(answer == IDYES, dialog.DoModal());
        ASSERT_EQ(1u, prompts.asked().size());
        EXPECT_EQ(L"Delete Row(s)?", prompts.asked()[0].caption);
        EXPECT_EQ(answer == IDYES ? L"(no row)" : L"1", tab_->Cell(L"Property", L"ALLUSERS", L"Value"));
        EXPECT_EQ(answer == IDYES, tab_->IsDirty());
    }
}

// A feature's link to a component requires the component: deleting the component takes the link, and the
// saved file, read by the installer library, has no link naming a component that is gone.
TEST(RowDeletionsRequiredTest, DeletingAComponentTakesTheFeatureLinksThatNameIt)
{
    OpenPackage package(L"transforms\\base.msi");
    if (!package.ok())
        GTEST_SKIP() << "shared test data absent";
    package.file().relationships().Build(package.file());
    {
        PackageTab tab(package);
        MsiTable& components = package.table(L"Component");
        RowDeletionsDlg dialog(tab, {{&components, grid_testing::FindRowByKey(components, L"Registry")}},
                               nullptr);
        std::vector<std::wstring> labels;
        grid_testing::ModalDriver driver([&]() {
            HWND window = dialog_testing::FindDialog(L"Cascaded Deletion");
            if (!window)
                return false;
            for (const ContainerNode::Child& child :
                 dialog.GetTree().Root()->GetChildren().begin()->node->GetChildren())
                labels.push_back(child.node->GetLabel());
            grid_testing::ClickButton(window, IDC_ROWS_OK);
            return true;
        });
        ASSERT_TRUE(dialog.DoModal());
        EXPECT_EQ((std::vector<std::wstring>{L"FeatureComponents TEST|Registry",
                                             L"Registry reg302A797C45AD3AD1EC816DDC58DF65F3"}),
                  labels);
        EXPECT_EQ(3, dialog.DeletedCount());
    }
    package.SaveAndReopen();
    EXPECT_EQ(1u, package.table(L"FeatureComponents").rows().size());
    // Wine opens no file that a transacted handle holds: the library reads a copy.
    std::wstring copy = package.folder().file(L"read.msi");
    ASSERT_TRUE(CopyFileW(package.path().c_str(), copy.c_str(), FALSE));
    MsiHandle database = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
    MsiHandle view =
        msi::DatabaseOpenView(database.get(), L"SELECT `Feature_`, `Component_` FROM `FeatureComponents`");
    msi::ViewExecute(view.get(), 0);
    std::vector<std::wstring> links;
    while (MsiHandle record = msi::ViewFetch(view.get()))
        links.push_back(msi::RecordGetString(record.get(), 1) + L"|" + msi::RecordGetString(record.get(), 2));
    EXPECT_EQ(std::vector<std::wstring>{L"TEST|File"}, links);
}

// Two tables whose rows own each other, under a schema of their own.
TEST(RowDeletionsCycleTest, ATwoTableOwnershipCycleEnds)
{
    testing_support::ScratchFolder folder;
    auto make = [](const std::wstring& path, std::initializer_list<const wchar_t*> statements) {
        MSIHANDLE database = 0;
        ASSERT_EQ(0u, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database));
        for (const wchar_t* sql : statements)
            grid_testing::RunSql(database, sql);
        EXPECT_EQ(0u, MsiDatabaseCommit(database));
        MsiCloseHandle(database);
    };
    std::wstring schema = folder.file(L"schema.dat");
    make(
        schema,
        {L"CREATE TABLE `Schema` (`Table` CHAR(64) NOT NULL, `Column` CHAR(64) NOT NULL, `Qualifier` "
         L"CHAR(255), "
         L"`Category` CHAR(32), `Unused` SHORT, `Type` CHAR(32), `Description` LONGCHAR, `NamedValues` "
         L"LONGCHAR "
         L"PRIMARY KEY `Table`, `Column`, `Qualifier`)",
         L"CREATE TABLE `Relationships` (`TableA` CHAR(64) NOT NULL, `ColumnA` CHAR(64) NOT NULL, `TableB` "
         L"CHAR(64) NOT NULL, `ColumnB` CHAR(64) NOT NULL, `Number` SHORT NOT NULL, `Optional` SHORT, `Kind` "
         L"SHORT PRIMARY KEY `TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`)",
         L"INSERT INTO `Schema` (`Table`, `Column`, `Unused`) VALUES ('Left', 'Id', 0)",
         L"INSERT INTO `Schema` (`Table`, `Column`, `Unused`) VALUES ('Left', 'Right_', 0)",
         L"INSERT INTO `Schema` (`Table`, `Column`, `Unused`) VALUES ('Right', 'Id', 0)",
         L"INSERT INTO `Schema` (`Table`, `Column`, `Unused`) VALUES ('Right', 'Left_', 0)",
         L"INSERT INTO `Relationships` (`TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`, `Optional`, "
         L"`Kind`) "
         L"VALUES ('Left', 'Right_', 'Right', 'Id', 1, 1, -1)",
         L"INSERT INTO `Relationships` (`TableA`, `ColumnA`, `TableB`, `ColumnB`, `Number`, `Optional`, "
         L"`Kind`) "
         L"VALUES ('Right', 'Left_', 'Left', 'Id', 1, 1, -1)"});
    std::wstring path = folder.file(L"cycle.msi");
    make(path, {L"CREATE TABLE `Left` (`Id` CHAR(20) NOT NULL, `Right_` CHAR(20) PRIMARY KEY `Id`)",
                L"CREATE TABLE `Right` (`Id` CHAR(20) NOT NULL, `Left_` CHAR(20) PRIMARY KEY `Id`)",
                L"INSERT INTO `Left` (`Id`, `Right_`) VALUES ('l1', 'r1')",
                L"INSERT INTO `Right` (`Id`, `Left_`) VALUES ('r1', 'l1')"});
    struct SchemaPath
    {
        explicit SchemaPath(const std::wstring& path) { MsiSchema::SetFilePath(path); }
        ~SchemaPath() { MsiSchema::SetFilePath(L""); }
    } schema_path(schema);
    {
        MsiFile file;
        file.Open(path, MSIDBOPEN_TRANSACT);
        file.relationships().Build(file);
        PackageTab tab(file, path);
        // Without a frame the tab owns its dialogs and has no icons or bottom panes.
        EXPECT_EQ(tab.DialogOwner(), tab.GetWindowHandle());
        EXPECT_EQ(tab.GetImageList(), nullptr);
        EXPECT_EQ(tab.GetRowLinksPane(), nullptr);
        EXPECT_EQ(tab.GetValidationResults(), nullptr);
        MsiTable& left = *file.FindTable(L"Left");
        RowDeletionsDlg dialog(tab, {{&left, left.rows().begin()}}, nullptr);
        std::wstring picture;
        grid_testing::ModalDriver driver([&]() {
            HWND window = dialog_testing::FindDialog(L"Cascaded Deletion");
            if (!window)
                return false;
            for (const ContainerNode* node = dialog.GetTree().Root(); node->HasChildren();) {
                node = node->GetChildren().begin()->node.get();
                picture += node->GetLabel() + L"; ";
            }
            grid_testing::ClickButton(window, IDC_ROWS_OK);
            return true;
        });
        EXPECT_TRUE(dialog.DoModal());
        EXPECT_EQ(L"Left l1; Right r1; ", picture);
        EXPECT_TRUE(file.FindTable(L"Left")->rows().empty());
        EXPECT_TRUE(file.FindTable(L"Right")->rows().empty());
    }
}

} // namespace

// The Directory view's computed target paths: shown, coloured, sorted, never edited, current after edits,
// and rows copied from the view paste back although the view has one more column than the table.
#include "model/lookups/FieldEditorFactory.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "foundation/FileUtil.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>

using namespace lookup_testing;

namespace {

std::vector<std::wstring> Statements()
{
    std::vector<std::wstring> statements = {
        L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), `DefaultDir` "
        L"CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)"};
    const wchar_t* const rows[][3] = {{L"TARGETDIR", nullptr, L"SourceDir"},
                                      {L"ProgramFilesFolder", L"TARGETDIR", L"."},
                                      {L"INSTALLDIR", L"ProgramFilesFolder", L"PROGRA~1|Product"},
                                      {L"Bin", L"INSTALLDIR", L"bin"},
                                      {L"LoopA", L"LoopB", L"a"},
                                      {L"LoopB", L"LoopA", L"b"},
                                      {L"Orphan", L"Missing", L"orphan"},
                                      {L"Apple", L"TARGETDIR", L"apple"},
                                      {L"Banana", L"TARGETDIR", L"Banana"}};
    for (const auto& row : rows) {
        std::wstring parent = row[1] ? L"'" + std::wstring(row[1]) + L"'" : L"NULL";
        statements.push_back(
            L"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES ('" +
            std::wstring(row[0]) + L"', " + parent + L", '" + row[2] + L"')");
    }
    return statements;
}

class MsiDirectoryTableLookupTest : public ::testing::Test
{
protected:
    MsiDirectoryTableLookupTest() : database_(Statements()), lookup_(database_.table(L"Directory")) {}

    std::wstring path_of(const std::wstring& id)
    {
        return lookup_.GetCellText(3, lookup_.FindRow({id}, 0), 0);
    }

    LookupDatabase database_;
    MsiDirectoryTableLookup lookup_;
};

} // namespace

TEST_F(MsiDirectoryTableLookupTest, ShowsResolvedPathsAsAnExtraColumn)
{
    EXPECT_EQ(4, lookup_.ColumnCount());
    EXPECT_EQ(3, lookup_.TextColumnCount());
    EXPECT_EQ(L"target_path", lookup_.GetFieldDef(3)->name());
    EXPECT_EQ(3, lookup_.FindColumn(L"target_path"));
    EXPECT_EQ(L"TARGETDIR", path_of(L"TARGETDIR"));
    EXPECT_EQ(L"ProgramFilesFolder\\Product\\bin", path_of(L"Bin"));
    EXPECT_EQ(L"<Error>\\orphan", path_of(L"Orphan"));
    EXPECT_EQ(FindCriteria(L"", L"Directory", L"target_path", {L"Bin"}),
              lookup_.GetCellLocation(3, lookup_.FindRow({L"Bin"}, 0), 0));
}

TEST_F(MsiDirectoryTableLookupTest, LoopedParentsShowAnErrorInsteadOfHanging)
{
    EXPECT_NE(std::wstring::npos, path_of(L"LoopA").find(L"<Error>"));
    EXPECT_EQ(RGB(255, 0, 0), lookup_.GetCellTextColour(3, lookup_.FindRow({L"Orphan"}, 0), 0));
    EXPECT_EQ(RGB(0xA0, 0xA0, 0xA0), lookup_.GetCellTextColour(3, lookup_.FindRow({L"Bin"}, 0), 0));
    EXPECT_EQ(0u, lookup_.GetCellTextColour(2, lookup_.FindRow({L"Orphan"}, 0), 0));
}

TEST_F(MsiDirectoryTableLookupTest, SortsByPathIgnoringCase)
{
    std::vector<int> selected;
    int focused = -1;
    lookup_.Sort(3, true, 0, selected, focused);
    std::vector<std::wstring> keys = KeyOrder(lookup_, 3);
    auto apple = std::find(keys.begin(), keys.end(), L"Apple");
    auto banana = std::find(keys.begin(), keys.end(), L"Banana");
    EXPECT_LT(apple, banana);
    lookup_.Sort(3, false, 3, selected, focused);
    keys = KeyOrder(lookup_, 3);
    EXPECT_GT(std::find(keys.begin(), keys.end(), L"Apple"), std::find(keys.begin(), keys.end(), L"Banana"));
}

TEST_F(MsiDirectoryTableLookupTest, PathColumnHasNoEditor)
{
    int created = 0;
    FieldEditorFactory previous =
        SetFieldEditorFactory([&created](MsiFieldEditorHandler&, MsiTable&, RowIterator, const MsiFieldDef&) {
            ++created;
            return std::shared_ptr<InPlaceEditor>();
        });
    lookup_.CreateEditor(3, 0, 0, nullptr);
    EXPECT_EQ(0, created);
    lookup_.CreateEditor(2, 0, 0, nullptr);
    EXPECT_EQ(1, created);
    SetFieldEditorFactory(previous);
}

TEST_F(MsiDirectoryTableLookupTest, PathsFollowEditsMadeThroughTheLookup)
{
    int installdir = lookup_.FindRow({L"INSTALLDIR"}, 0);
    lookup_.CommitFieldValue(*lookup_.GetFieldDef(2), lookup_.GetIndexedRow(installdir, 0),
                             MsiFieldDataRef(new MsiFieldData(L"Other")), true);
    EXPECT_EQ(L"ProgramFilesFolder\\Other\\bin", path_of(L"Bin"));
    lookup_.DeleteRow(0, lookup_.FindRow({L"INSTALLDIR"}, 0));
    EXPECT_EQ(L"<Error>\\bin", path_of(L"Bin"));
}

TEST_F(MsiDirectoryTableLookupTest, CopiedRowsPasteBack)
{
    int bin = lookup_.FindRow({L"Bin"}, 0);
    std::vector<std::wstring> fields = SplitString(lookup_.GetRowClipboardText(bin, 0), L'\t');
    ASSERT_EQ(static_cast<size_t>(lookup_.TextColumnCount()), fields.size());
    int rows = lookup_.RowCount();
    lookup_.AddRowFromText(fields);
    EXPECT_EQ(rows + 1, lookup_.RowCount());
    EXPECT_EQ(L"ProgramFilesFolder\\Product\\bin", path_of(L"Bin0"));
    // A row that carries its path too loses it.
    fields.push_back(L"ignored");
    lookup_.AddRowFromText(fields);
    EXPECT_EQ(L"ProgramFilesFolder\\Product\\bin", path_of(L"Bin1"));
}

TEST_F(MsiDirectoryTableLookupTest, PathsAreReadWhenFirstAskedFor)
{
    // A row changed beside the lookup before any path was asked for is in the first paths shown.
    MsiTable& table = database_.table(L"Directory");
    RowIterator installdir = lookup_.GetIndexedRow(lookup_.FindRow({L"INSTALLDIR"}, 0), 0);
    database_.file().ModifyRow(table, *table.columns()[2], installdir,
                               MsiFieldDataRef(new MsiFieldData(L"Beside")));
    EXPECT_EQ(L"ProgramFilesFolder\\Beside\\bin", path_of(L"Bin"));
    EXPECT_EQ(L"ProgramFilesFolder\\Beside", path_of(L"INSTALLDIR"));
}

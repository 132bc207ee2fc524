// The comparison of a base and a transformed table: merged rows and their states, edits that go to the
// transformed table only, reverting cells and whole tables, lookups without an owner node, and drawing.
#include "model/lookups/CellAppearance.h"
#include "model/lookups/MsiDiffStreamsTableLookup.h"
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "foundation/Errors.h"
#include "LookupOwnerDouble.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <commctrl.h>
#include <functional>

using namespace lookup_testing;
using model_testing::Param;

namespace {

const wchar_t kItems[] = L"CREATE TABLE `Items` (`Item` CHAR(40) NOT NULL, `Label` CHAR(40), `Data` OBJECT "
                         L"PRIMARY KEY `Item`)";
const wchar_t kInsertItem[] = L"INSERT INTO `Items` (`Item`, `Label`, `Data`) VALUES (?, ?, ?)";
const wchar_t kPictures[] = L"CREATE TABLE `Pics` (`Pic` CHAR(40) NOT NULL, `Label` CHAR(40), `Data` OBJECT "
                            L"PRIMARY KEY `Pic`)";
const wchar_t kSame[] = L"CREATE TABLE `Same` (`Key` CHAR(10) NOT NULL, `Val` CHAR(10) PRIMARY KEY `Key`)";
const wchar_t kSameRows[] = L"INSERT INTO `Same` (`Key`, `Val`) VALUES ('k1', 'v1')";
const wchar_t kInsertPicture[] = L"INSERT INTO `Pics` (`Pic`, `Label`, `Data`) VALUES (?, ?, ?)";

struct Item
{
    const wchar_t* key;
    const wchar_t* label;
    const char* data;
};

// Two databases made apart: the base and the database a transform would make of it.
class TwoDatabases
{
public:
    TwoDatabases()
    {
        base_path_ = make(L"base.msi",
                          {{L"a", L"x", nullptr},
                           {L"b", L"y", nullptr},
                           {L"c", L"z", nullptr},
                           {L"s1", L"same", "one"},
                           {L"s2", L"other", "two"}},
                          {{L"p1", L"l", "one"}, {L"p2", L"m", "two"}},
                          {L"CREATE TABLE `Gone` (`Key` CHAR(10) NOT NULL PRIMARY KEY `Key`)",
                           L"INSERT INTO `Gone` (`Key`) VALUES ('k')",
                           L"CREATE TABLE `Shape` (`Key` CHAR(10) NOT NULL, `A` CHAR(10) PRIMARY KEY `Key`)",
                           L"INSERT INTO `Shape` (`Key`, `A`) VALUES ('k', 'a')",
                           L"INSERT INTO `Shape` (`Key`, `A`) VALUES ('m', 'c')", kSame, kSameRows});
        transformed_path_ = make(L"transformed.msi",
                                 {{L"a", L"x", nullptr},
                                  {L"b", L"Y", nullptr},
                                  {L"d", L"w", nullptr},
                                  {L"s1", L"same", "one"},
                                  {L"s2", L"other", "TWO"}},
                                 {{L"p1", L"L", "one"}, {L"p3", L"n", "three"}},
                                 {L"CREATE TABLE `New` (`Key` CHAR(10) NOT NULL PRIMARY KEY `Key`)",
                                  L"INSERT INTO `New` (`Key`) VALUES ('k')",
                                  L"CREATE TABLE `Shape` (`Key` CHAR(10) NOT NULL, `A` CHAR(10), `B` SHORT "
                                  L"PRIMARY KEY `Key`)",
                                  L"INSERT INTO `Shape` (`Key`, `A`, `B`) VALUES ('k', 'b', 2)",
                                  L"INSERT INTO `Shape` (`Key`, `A`, `B`) VALUES ('n', 'd', -5)",
                                  L"INSERT INTO `Shape` (`Key`, `A`) VALUES ('p', 'e')", kSame, kSameRows});
        base_.Open(base_path_, MSIDBOPEN_READONLY);
        transformed_.Open(transformed_path_, MSIDBOPEN_TRANSACT);
    }

    MsiTable* base(const wchar_t* name) { return base_.FindTable(name).get(); }
    MsiTable* transformed(const wchar_t* name) { return transformed_.FindTable(name).get(); }
    MsiFile& transformed_file() { return transformed_; }
    testing_support::ScratchFolder& folder() { return folder_; }

private:
    std::wstring make(const std::wstring& name, const std::vector<Item>& items,
                      const std::vector<Item>& pictures, std::vector<std::wstring> statements)
    {
        std::wstring path = folder_.file(name);
        statements.insert(statements.begin(), {kItems, kPictures});
        model_testing::CreateDatabaseFile(path, statements);
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        insert(database.get(), name, kInsertItem, items);
        insert(database.get(), name, kInsertPicture, pictures);
        msi::DatabaseCommit(database.get());
        return path;
    }
    void insert(MSIHANDLE database, const std::wstring& name, const wchar_t* sql,
                const std::vector<Item>& items)
    {
        for (const Item& item : items) {
            Param data = Param::Null();
            if (item.data) {
                std::wstring file = folder_.file(name + L"." + item.key + L".bin");
                std::string bytes = item.data;
                testing_support::WriteFileBytes(file, std::vector<BYTE>(bytes.begin(), bytes.end()));
                data = Param::StreamFile(file);
            }
            model_testing::Execute(database, sql, {Param::Text(item.key), Param::Text(item.label), data});
        }
    }

    testing_support::ScratchFolder folder_;
    std::wstring base_path_;
    std::wstring transformed_path_;
    MsiFile base_;
    MsiFile transformed_;
};

class MsiDiffTableLookupTest : public ::testing::Test
{
protected:
    MsiDiffTableLookupTest() : lookup_(databases_.base(L"Items"), databases_.transformed(L"Items")) {}

    int at(const std::wstring& key) { return lookup_.FindRow({key}, 0); }
    int row_state(const std::wstring& key) { return lookup_.RowState(at(key), 0); }
    int cell_state(int column, const std::wstring& key) { return lookup_.CellState(column, at(key), 0); }
    MsiFieldDataRef text(const std::wstring& value) { return MsiFieldDataRef(new MsiFieldData(value)); }
    void commit(int column, const std::wstring& key, const std::wstring& value)
    {
        lookup_.CommitFieldValue(*databases_.transformed(L"Items")->columns()[column],
                                 lookup_.GetIndexedRow(at(key), 0), text(value), true);
    }

    TwoDatabases databases_;
    MsiDiffTableLookupBasic lookup_;
};

using Keys = std::vector<std::wstring>;

} // namespace

TEST_F(MsiDiffTableLookupTest, MergesRowsByKeyWithTheirStates)
{
    EXPECT_EQ(6, lookup_.RowCount());
    EXPECT_EQ((Keys{L"a", L"b", L"c", L"d", L"s1", L"s2"}), KeyOrder(lookup_, 0));
    EXPECT_EQ(MsiDiffTableLookupBasic::InBoth, row_state(L"a"));
    EXPECT_EQ(MsiDiffTableLookupBasic::BaseOnly, row_state(L"c"));
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"d"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(1, L"a"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellChanged, cell_state(1, L"b"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(0, L"b"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellRemoved, cell_state(1, L"c"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellAdded, cell_state(1, L"d"));
    // Streams by content, although each side reads into a file of its own.
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(2, L"s1"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellChanged, cell_state(2, L"s2"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(2, L"a"));
    EXPECT_TRUE(lookup_.HasDifferences());

    EXPECT_EQ(L"Y", lookup_.GetCellText(1, at(L"b"), 0));
    EXPECT_EQ(L"y", lookup_.GetOriginalCellText(1, at(L"b"), 0));
    EXPECT_EQ(L"z", lookup_.GetCellText(1, at(L"c"), 0));
    EXPECT_EQ(L"", lookup_.GetOriginalCellText(1, at(L"d"), 0));
}

TEST_F(MsiDiffTableLookupTest, BaseOnlyRowsCannotBeEdited)
{
    EXPECT_EQ(lookup_.RowCount(), lookup_.FindEditableRow({L"c"}, 0));
    EXPECT_EQ(at(L"d"), lookup_.FindEditableRow({L"d"}, 0));
    EXPECT_FALSE(lookup_.IsEditableRow(lookup_.GetIndexedRow(at(L"c"), 0)));
    EXPECT_TRUE(lookup_.IsEditableRow(lookup_.GetIndexedRow(at(L"a"), 0)));
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    EXPECT_FALSE(lookup_.CreateEditor(1, at(L"c"), 0, nullptr));
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"This row does not exist in the editable file", prompts.asked()[0].text);
    EXPECT_EQ(L"Edit Field", prompts.asked()[0].caption);
    EXPECT_EQ(
        L"Setting this value would result in a duplicate row",
        lookup_.ValidateFieldValue(*lookup_.GetFieldDef(0), lookup_.GetIndexedRow(at(L"a"), 0), text(L"b")));
    // A key only the base has is free in the edited table.
    EXPECT_EQ(L"", lookup_.ValidateFieldValue(*lookup_.GetFieldDef(0), lookup_.GetIndexedRow(at(L"a"), 0),
                                              text(L"c")));
}

TEST_F(MsiDiffTableLookupTest, DeletedRowsOfBothTablesShowAsRemoved)
{
    MsiFile& file = databases_.transformed_file();
    lookup_.DeleteRow(0, at(L"a"));
    EXPECT_EQ(MsiDiffTableLookupBasic::BaseOnly, row_state(L"a"));
    size_t log = file.change_log().size();
    lookup_.DeleteRow(0, at(L"a"));
    EXPECT_EQ(log, file.change_log().size());
    lookup_.DeleteRow(0, at(L"d"));
    EXPECT_EQ(lookup_.RowCount(), at(L"d"));
    EXPECT_EQ(5, lookup_.RowCount());
    EXPECT_EQ((Keys{L"a", L"b", L"c", L"s1", L"s2"}), KeyOrder(lookup_, 1));
}

TEST_F(MsiDiffTableLookupTest, AddedRowsPairWithBaseRowsOfTheirKey)
{
    lookup_.AddRowFromText({L"c", L"z", L""});
    EXPECT_EQ(6, lookup_.RowCount());
    EXPECT_EQ(MsiDiffTableLookupBasic::InBoth, row_state(L"c"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(1, L"c"));
    // A key that the edited table has already is numbered.
    lookup_.AddRowFromText({L"a", L"x", L""});
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"a0"));
}

TEST_F(MsiDiffTableLookupTest, EditsGoToTheTransformedTable)
{
    LookupOwnerDouble owner;
    lookup_.SetOwnerNode(&owner);
    lookup_.SetEditHandler(&owner.handler);
    commit(1, L"a", L"changed");
    EXPECT_EQ(MsiDiffTableLookupBasic::CellChanged, cell_state(1, L"a"));
    EXPECT_EQ(L"x", lookup_.GetOriginalCellText(1, at(L"a"), 0));
    EXPECT_EQ(std::vector<bool>{false}, owner.handler.refreshes);
    // Not sorted and not a key: the row stays where it is, nothing is selected.
    EXPECT_TRUE(owner.rows_selected.empty());

    // A row only the transformed table has takes a key only the base has: the two pair up.
    commit(0, L"d", L"c");
    EXPECT_EQ(5, lookup_.RowCount());
    EXPECT_EQ(MsiDiffTableLookupBasic::InBoth, row_state(L"c"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellChanged, cell_state(1, L"c"));
    EXPECT_EQ((std::vector<bool>{false, true}), owner.handler.refreshes);
    ASSERT_EQ(1u, owner.rows_selected.size());
    EXPECT_EQ(FindCriteria(owner.path, L"Items", L"Item", {L"c"}), owner.rows_selected[0]);

    // A row of both tables that changes its key leaves its base row behind as removed.
    commit(0, L"b", L"e");
    EXPECT_EQ(6, lookup_.RowCount());
    EXPECT_EQ(MsiDiffTableLookupBasic::BaseOnly, row_state(L"b"));
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"e"));
    EXPECT_EQ(L"Y", lookup_.GetCellText(1, at(L"e"), 0));
    EXPECT_TRUE(owner.handler.refreshes.back());
}

TEST_F(MsiDiffTableLookupTest, WithoutAnOwnerNodeEditsAreMadeAsInAPlainLookup)
{
    commit(0, L"a", L"f");
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"f"));
    lookup_.RevertCell(1, at(L"b"), 0);
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(1, L"b"));
    lookup_.AddRowFromText({L"g", L"", L""});
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"g"));
}

TEST_F(MsiDiffTableLookupTest, RevertedCellsTakeTheBaseValue)
{
    LookupOwnerDouble owner;
    lookup_.SetOwnerNode(&owner);
    lookup_.RevertCell(1, at(L"b"), 0);
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, cell_state(1, L"b"));
    EXPECT_EQ(&owner.handler, lookup_.GetEditHandler());
}

TEST_F(MsiDiffTableLookupTest, ChangesMadeElsewhereAreReadAgain)
{
    MsiTable& items = *databases_.transformed(L"Items");
    RowIterator a = lookup_.GetIndexedRow(at(L"a"), 0);
    databases_.transformed_file().ModifyRow(items, *items.columns()[0], a, text(L"h"));
    EXPECT_EQ(MsiDiffTableLookupBasic::BaseOnly, row_state(L"a"));
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"h"));
    databases_.transformed_file().AddRow(items, {text(L"i"), text(L"j"), MakeNullFieldData()});
    EXPECT_EQ(MsiDiffTableLookupBasic::Added, row_state(L"i"));
}

TEST(MsiDiffRevertTest, RevertingATableWithStreamsMakesItTheBaseAgain)
{
    TwoDatabases databases;
    MsiDiffTableLookupBasic pictures(databases.base(L"Pics"), databases.transformed(L"Pics"));
    ASSERT_TRUE(pictures.HasDifferences());
    pictures.CreateEditableTable();
    EXPECT_FALSE(pictures.HasDifferences());
    EXPECT_EQ(2, pictures.RowCount());
    EXPECT_EQ(MsiDiffTableLookupBasic::CellUnchanged, pictures.CellState(2, pictures.FindRow({L"p2"}, 0), 0));
    // Nothing failed went into the change log: the transformed database saves elsewhere.
    std::wstring copy = databases.folder().file(L"saved.msi");
    databases.transformed_file().Save(copy, false, L"");
    MsiFile saved;
    saved.Open(copy, MSIDBOPEN_READONLY);
    MsiDiffTableLookupBasic check(databases.base(L"Pics"), saved.FindTable(L"Pics").get());
    EXPECT_FALSE(check.HasDifferences());
}

// A column's streams compared at once (one query a table) agree with the rows compared one by one.
TEST(MsiDiffStreamsTest, ComparedAtOnceAsOneByOne)
{
    TwoDatabases databases;
    struct Case
    {
        const char* what;
        bool with_transformed; // else the base table with itself
        std::vector<const wchar_t*> keys;
        const wchar_t* extracted; // the transformed row's stream read into a file first
    } cases[] = {
        {"the last differs", true, {L"s1", L"s2"}, nullptr},
        {"the first differs, nulls beside", true, {L"s2", L"a", L"s1", L"b"}, nullptr},
        {"one side extracted", true, {L"a", L"s1", L"s2"}, L"s1"},
        {"none differs", false, {L"s1", L"b", L"s2"}, nullptr},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        MsiTable& base = *databases.base(L"Items");
        MsiTable& other = test.with_transformed ? *databases.transformed(L"Items") : base;
        auto row = [](MsiTable& table, const wchar_t* key) {
            for (MsiRow& row : table.rows())
                if (table.RowKeyText(row) == key)
                    return &row;
            throw std::runtime_error("no such row");
        };
        const MsiFieldDef& column = *base.columns()[2];
        const MsiFieldDef& other_column = *other.columns()[2];
        if (test.extracted)
            other.ExtractCell(*row(other, test.extracted), other_column);
        std::vector<std::pair<MsiRow*, MsiRow*>> rows;
        for (const wchar_t* key : test.keys)
            rows.emplace_back(row(base, key), row(other, key));
        size_t first = base.FirstStreamDifference(column, other, other_column, rows);
        size_t expected = rows.size();
        for (size_t at = rows.size(); at-- > 0;)
            if (!base.SameStream(*rows[at].first, column, other, *rows[at].second, other_column))
                expected = at;
        EXPECT_EQ(expected, first);
    }
}

TEST(MsiDiffRevertTest, StreamsWineKeepsAreRevertedToo)
{
    TwoDatabases databases;
    MsiDiffTableLookupBasic items(databases.base(L"Items"), databases.transformed(L"Items"));
    // s2's stored stream differs from the base; s1 is deleted, so Wine keeps its stream's name.
    items.DeleteRow(0, items.FindRow({L"s1"}, 0));
    items.CreateEditableTable();
    EXPECT_FALSE(items.HasDifferences());

    std::wstring copy = databases.folder().file(L"saved.msi");
    databases.transformed_file().Save(copy, false, L"");
    databases.transformed_file().SaveInPlace(false, L"");
    const wchar_t* streams = L"SELECT `Item`, `Data` FROM `Items` WHERE `Data` IS NOT NULL ORDER BY `Item`";
    std::vector<std::vector<std::string>> expected = {{"s1", "one"}, {"s2", "two"}};
    EXPECT_EQ(expected, model_testing::SelectRows(databases.transformed_file().handle(), streams));
    MsiHandle saved = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
    EXPECT_EQ(expected, model_testing::SelectRows(saved.get(), streams));
}

TEST(MsiDiffRevertTest, TablesOfAnotherShapeAreMadeAnew)
{
    TwoDatabases databases;
    MsiDiffTableLookupBasic shape(databases.base(L"Shape"), databases.transformed(L"Shape"));
    EXPECT_EQ(3, shape.ColumnCount());
    shape.CreateEditableTable();
    EXPECT_FALSE(shape.HasDifferences());
    EXPECT_EQ(2, shape.ColumnCount());
    EXPECT_EQ(databases.transformed(L"Shape"), shape.GetTable());
    databases.transformed_file().Save(databases.folder().file(L"saved.msi"), false, L"");

    MsiDiffTableLookupBasic streams(databases.base(L"_Streams"), databases.transformed(L"_Streams"));
    try {
        streams.CreateEditableTable();
        FAIL() << "reverted";
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(L"Revert To Base", error.caption);
    }
}

TEST(MsiDiffMissingTablesTest, TablesOfOneSideShowAsAddedOrRemoved)
{
    TwoDatabases databases;
    MsiDiffTableLookupBasic gone(databases.base(L"Gone"), nullptr);
    EXPECT_EQ(1, gone.RowCount());
    EXPECT_EQ(MsiDiffTableLookupBasic::CellRemoved, gone.CellState(0, 0, 0));
    EXPECT_EQ(nullptr, gone.GetTable());
    EXPECT_TRUE(gone.HasDifferences());
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    prompts.answer(IDOK);
    gone.AddRowFromText({L"n"});
    EXPECT_FALSE(gone.CreateEditor(0, 0, 0, nullptr));
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(L"This table does not exist in the editable file", prompts.asked()[0].text);
    EXPECT_EQ(L"Add Row", prompts.asked()[0].caption);
    EXPECT_EQ(L"Edit Field", prompts.asked()[1].caption);
    EXPECT_EQ(1, gone.RowCount());

    MsiDiffTableLookupBasic added(nullptr, databases.transformed(L"New"));
    EXPECT_EQ(MsiDiffTableLookupBasic::CellAdded, added.CellState(0, 0, 0));
    EXPECT_EQ(L"New", added.GetTableName());
}

TEST_F(MsiDiffTableLookupTest, SortsMergedRowsByTheirShownCells)
{
    std::vector<int> selected = {at(L"c")};
    int focused = at(L"d");
    lookup_.Sort(1, true, 0, selected, focused);
    // other, same, w, x, Y (y), z
    EXPECT_EQ((Keys{L"s2", L"s1", L"d", L"a", L"b", L"c"}), KeyOrder(lookup_, 1));
    EXPECT_EQ(std::vector<int>{5}, selected);
    EXPECT_EQ(2, focused);
    EXPECT_EQ(1, lookup_.GetSortDirection(1));
}

// A row shown from the base table, which lacks the column, sorts as null does; equal rows keep their order.
TEST(MsiDiffSortTest, RowsWithoutTheColumnSortAsNull)
{
    TwoDatabases databases;
    MsiDiffTableLookupBasic shape(databases.base(L"Shape"), databases.transformed(L"Shape"));
    struct Step
    {
        int column;
        bool ascending;
        Keys order;
    };
    const Step steps[] = {{2, true, {L"m", L"p", L"n", L"k"}},
                          {2, false, {L"k", L"n", L"m", L"p"}},
                          {1, true, {L"k", L"m", L"n", L"p"}}};
    int previous = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.column);
        std::vector<int> selected = {shape.FindRow({L"p"}, previous)};
        int focused = shape.FindRow({L"m"}, previous);
        shape.Sort(step.column, step.ascending, previous, selected, focused);
        EXPECT_EQ(step.order, KeyOrder(shape, step.column));
        EXPECT_EQ(std::vector<int>{shape.FindRow({L"p"}, step.column)}, selected);
        EXPECT_EQ(shape.FindRow({L"m"}, step.column), focused);
        previous = step.column;
    }
}

TEST_F(MsiDiffTableLookupTest, DrawsEveryCellByItsState)
{
    struct Recorder : CellPainter
    {
        void Fill(HDC, unsigned flags, const RECT&) override { fills.push_back(flags); }
        void Text(HDC, HWND, int, const std::wstring&, const RECT&) override { ++texts; }
        std::vector<unsigned> fills;
        int texts = 0;
    } recorder;
    CellPainter* previous = SetCellPainter(&recorder);
    auto draw = [&](int column, const std::wstring& key, unsigned validation, UINT state, bool cursor) {
        recorder.fills.clear();
        EXPECT_EQ(CDRF_SKIPDEFAULT,
                  lookup_.DrawListCell(column, at(key), 0, nullptr, validation, state, cursor));
        return recorder.fills;
    };
    using Fills = std::vector<unsigned>;
    EXPECT_EQ(Fills{CELL_FILL_VALID}, draw(1, L"a", 0, 0, false));
    EXPECT_EQ(Fills{CELL_FILL_DIFFERENT}, draw(1, L"b", 0, 0, false));
    EXPECT_EQ(Fills{CELL_FILL_DIFFERENT}, draw(1, L"d", 0, 0, false));
    EXPECT_EQ(Fills{CELL_FILL_BASE_ONLY}, draw(1, L"c", 0, 0, false));
    EXPECT_EQ((Fills{CELL_FILL_VALID, CELL_FILL_HAS_ERRORS, CELL_FILL_FOCUSED}),
              draw(1, L"a", 4, LVIS_FOCUSED | LVIS_SELECTED, true));
    EXPECT_EQ((Fills{CELL_FILL_DIFFERENT, CELL_FILL_SELECTED}), draw(1, L"b", 0, LVIS_SELECTED, false));
    SetCellPainter(previous);
}

// A painter that fails: the cell's DC goes back to the window all the same (the next one asked is it).
TEST_F(MsiDiffTableLookupTest, AFailedCellPaintGivesItsDCBack)
{
    struct Failing : CellPainter
    {
        void Fill(HDC dc, unsigned, const RECT&) override
        {
            used = dc;
            throw std::runtime_error("paint");
        }
        void Text(HDC, HWND, int, const std::wstring&, const RECT&) override {}
        HDC used = nullptr;
    } failing;
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    CellPainter* previous = SetCellPainter(&failing);
    EXPECT_THROW(lookup_.DrawListCell(1, at(L"a"), 0, list, 0, 0, false), std::runtime_error);
    SetCellPainter(previous);
    ASSERT_NE(failing.used, nullptr);
    HDC next = GetDC(list);
    EXPECT_EQ(next, failing.used);
    ReleaseDC(list, next);
    DestroyWindow(list);
}

TEST(MsiDiffStreamsTest, StreamsComparisonUsesTheOwnerRules)
{
    TwoDatabases databases;
    std::shared_ptr<MsiDiffTableLookupBasic> streams =
        MakeDiffTableLookup(databases.base(L"_Streams"), databases.transformed(L"_Streams"));
    ASSERT_TRUE(std::dynamic_pointer_cast<MsiDiffStreamsTableLookup>(streams));
    int s2 = streams->FindRow({L"Items.s2"}, 0);
    ASSERT_NE(streams->RowCount(), s2);
    EXPECT_EQ(MsiDiffTableLookupBasic::CellChanged, streams->CellState(1, s2, 0));
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    streams->DeleteRow(0, s2);
    EXPECT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(MsiDiffTableLookupBasic::InBoth, streams->RowState(streams->FindRow({L"Items.s2"}, 0), 0));
    EXPECT_TRUE(std::dynamic_pointer_cast<MsiDiffTableLookupBasic>(
        MakeDiffTableLookup(databases.base(L"Items"), databases.transformed(L"Items"))));
}

// What the lookup knows of the table's differences follows every change, its own and those made elsewhere:
// it always says what a lookup made afresh says.
TEST(MsiDiffDifferencesTest, KeptCurrentThroughTheTablesEvents)
{
    TwoDatabases databases;
    MsiTable& base = *databases.base(L"Same");
    MsiTable& same = *databases.transformed(L"Same");
    MsiFile& file = databases.transformed_file();
    MsiDiffTableLookupBasic lookup(&base, &same);
    auto text = [](const wchar_t* value) { return MsiFieldDataRef(new MsiFieldData(value)); };
    auto row = [&](const wchar_t* key) {
        RowIterator found = same.rows().begin();
        while (found != same.rows().end() && same.RowKeyText(*found) != key)
            ++found;
        return found;
    };
    struct Step
    {
        const char* what;
        std::function<void()> change;
        bool differs;
    } steps[] = {
        {"as the base", [] {}, false},
        {"a cell changed elsewhere",
         [&] { file.ModifyRow(same, *same.columns()[1], row(L"k1"), text(L"x")); }, true},
        {"and changed back", [&] { file.ModifyRow(same, *same.columns()[1], row(L"k1"), text(L"v1")); },
         false},
        {"a cell committed here",
         [&] { lookup.CommitFieldValue(*same.columns()[1], row(L"k1"), text(L"y"), true); }, true},
        {"reverted here", [&] { lookup.RevertCell(1, lookup.FindRow({L"k1"}, 0), 0); }, false},
        {"a row added",
         [&] {
             file.AddRow(same, {text(L"k2"), text(L"v2")});
         },
         true},
        {"and deleted", [&] { file.DeleteRow(same, row(L"k2")); }, false},
        {"a key changed", [&] { file.ModifyRow(same, *same.columns()[0], row(L"k1"), text(L"k9")); }, true},
        {"and changed back", [&] { file.ModifyRow(same, *same.columns()[0], row(L"k9"), text(L"k1")); },
         false},
        {"indexes dropped", [&] { lookup.ResetIndexes(); }, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_EQ(step.differs, lookup.HasDifferences());
        EXPECT_EQ(step.differs, MsiDiffTableLookupBasic(&base, &same).HasDifferences());
        EXPECT_EQ(step.differs, lookup.HasDifferences()) << "asked again";
    }
}

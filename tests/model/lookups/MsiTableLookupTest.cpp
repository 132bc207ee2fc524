// A table lookup's rows: cell texts, sorting by every kind of column in both directions with the previous
// order kept among equal rows, selections carried through a sort, and the search by key.
#include "model/lookups/MsiTableLookup.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cwctype>

using namespace lookup_testing;

namespace {

// TypeLib's Version column is shown in hexadecimal by the schema.
const wchar_t* const kTypeLib =
    L"CREATE TABLE `TypeLib` (`LibID` CHAR(38) NOT NULL, `Language` SHORT NOT NULL, "
    L"`Component_` CHAR(72) NOT NULL, `Version` LONG, `Description` CHAR(128), "
    L"`Directory_` CHAR(72), `Feature_` CHAR(38) NOT NULL, `Cost` LONG "
    L"PRIMARY KEY `LibID`, `Language`, `Component_`)";
const wchar_t* const kItems =
    L"CREATE TABLE `Items` (`Item` CHAR(40) NOT NULL, `Label` CHAR(40), `Count` LONG, "
    L"`Data` OBJECT PRIMARY KEY `Item`)";
const wchar_t* const kInsertItem =
    L"INSERT INTO `Items` (`Item`, `Label`, `Count`, `Data`) VALUES (?, ?, ?, ?)";

Param TextOrNull(const wchar_t* text)
{
    return text ? Param::Text(text) : Param::Null();
}

class MsiTableLookupTest : public ::testing::Test
{
protected:
    MsiTableLookupTest() : database_({kItems, kTypeLib}, inserts()) {}

    static std::vector<Insert> inserts()
    {
        struct Item
        {
            const wchar_t* key;
            const wchar_t* label;
            Param count;
            bool data;
        };
        const Item items[] = {{L"b1", L"apple", Param::Int(5), false},
                              {L"a2", L"Banana", Param::Int(-3), true},
                              {L"c3", nullptr, Param::Null(), false},
                              {L"d4", L"APPLE", Param::Int(100), true},
                              {L"e5", L"cherry", Param::Int(0), false}};
        std::vector<Insert> result;
        for (const Item& item : items) {
            Param data = Param::Null();
            if (item.data) {
                std::wstring path = testing_support::BuildPath(L"lookup-item.bin");
                testing_support::WriteFileBytes(path, {'x', 'y'});
                data = Param::StreamFile(path);
            }
            result.push_back(
                {kInsertItem, {Param::Text(item.key), TextOrNull(item.label), item.count, data}});
        }
        const wchar_t* insert_lib = L"INSERT INTO `TypeLib` (`LibID`, `Language`, `Component_`, `Version`, "
                                    L"`Feature_`) VALUES (?, ?, ?, ?, ?)";
        result.push_back(
            {insert_lib,
             {Param::Text(L"L1"), Param::Int(0), Param::Text(L"C"), Param::Int(0x20), Param::Text(L"F")}});
        result.push_back(
            {insert_lib,
             {Param::Text(L"L2"), Param::Int(0), Param::Text(L"C"), Param::Int(0x3), Param::Text(L"F")}});
        result.push_back(
            {insert_lib,
             {Param::Text(L"L3"), Param::Int(0), Param::Text(L"C"), Param::Null(), Param::Text(L"F")}});
        return result;
    }

    std::vector<std::wstring> sorted(MsiTableLookup& lookup, int column, bool ascending, int old_column)
    {
        std::vector<int> selected;
        int focused = -1;
        lookup.Sort(column, ascending, old_column, selected, focused);
        return KeyOrder(lookup, column);
    }

    LookupDatabase database_;
};

using Keys = std::vector<std::wstring>;

} // namespace

TEST_F(MsiTableLookupTest, ShowsCellsInTableOrderBeforeAnySort)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    EXPECT_EQ(L"Items", lookup.GetTableName());
    EXPECT_EQ(4, lookup.ColumnCount());
    EXPECT_EQ(3, lookup.LastColumn());
    EXPECT_EQ(5, lookup.RowCount());
    EXPECT_EQ(4, lookup.LastRow());
    EXPECT_EQ(0, lookup.GetSortDirection(1));
    EXPECT_EQ((Keys{L"b1", L"a2", L"c3", L"d4", L"e5"}), KeyOrder(lookup, 1));
    EXPECT_EQ((Keys{L"apple", L"Banana", L"<null>", L"APPLE", L"cherry"}), ColumnTexts(lookup, 1, 0));
    EXPECT_EQ(L"<null>", lookup.GetCellText(2, 2, 0));
    EXPECT_EQ(L"", lookup.GetCellEditText(2, 2, 0));
    EXPECT_EQ(L"-3", lookup.GetCellEditText(2, 1, 0));
    EXPECT_EQ(L"<binary>", lookup.GetCellText(3, 1, 0));
    EXPECT_EQ(L"<null>", lookup.GetCellText(3, 0, 0));
    EXPECT_EQ(L"", lookup.GetCellClipboardText(3, 0, 0));
    EXPECT_EQ(FindCriteria(L"", L"Items", L"Count", {L"a2"}), lookup.GetCellLocation(2, 1, 0));
    EXPECT_EQ(L"b1\tapple\t5\t", lookup.GetRowClipboardText(0, 0));
    EXPECT_EQ(2, lookup.FindColumn(L"Count"));
    EXPECT_EQ(-1, lookup.FindColumn(L"count"));
    EXPECT_FALSE(lookup.IsIndexBuilt(2));
}

TEST_F(MsiTableLookupTest, StreamCellsAreCopiedAsTheirFiles)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    std::wstring path = lookup.GetCellClipboardText(3, 1, 0);
    EXPECT_EQ((std::vector<BYTE>{'x', 'y'}), testing_support::ReadFileBytes(path));
}

TEST_F(MsiTableLookupTest, SortsTextIgnoringCaseAndKeepsTiesInTheirPreviousOrder)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    Keys ascending = sorted(lookup, 1, true, 0);
    // "<null>" falls wherever the locale puts that text: only the letters' order is certain.
    ascending.erase(std::find(ascending.begin(), ascending.end(), L"c3"));
    EXPECT_EQ((Keys{L"b1", L"d4", L"a2", L"e5"}), ascending);
    EXPECT_EQ(1, lookup.GetSortDirection(1));

    Keys descending = sorted(lookup, 1, false, 1);
    descending.erase(std::find(descending.begin(), descending.end(), L"c3"));
    // apple and APPLE are equal: descending keeps them in the order they had.
    EXPECT_EQ((Keys{L"e5", L"a2", L"b1", L"d4"}), descending);
    EXPECT_EQ(2, lookup.GetSortDirection(1));
    // The other column's Index is untouched.
    EXPECT_EQ((Keys{L"b1", L"a2", L"c3", L"d4", L"e5"}), KeyOrder(lookup, 0));
}

TEST_F(MsiTableLookupTest, PreviousSortColumnIsTheSecondaryKey)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    sorted(lookup, 0, false, 0);
    Keys by_label = sorted(lookup, 1, true, 0);
    by_label.erase(std::find(by_label.begin(), by_label.end(), L"c3"));
    // Descending keys first: d4 comes before b1 among the equal labels.
    EXPECT_EQ((Keys{L"d4", L"b1", L"a2", L"e5"}), by_label);
}

TEST_F(MsiTableLookupTest, SortingATextColumnAgainFollowsItsChangedTexts)
{
    // Texts equal but for case are ties, whose order depends on the sorts before: compared in lower case.
    auto lowered = [](MsiTableLookup& lookup) {
        Keys texts = ColumnTexts(lookup, 1, 1);
        for (std::wstring& text : texts)
            std::transform(text.begin(), text.end(), text.begin(), towlower);
        return texts;
    };
    MsiTableLookup lookup(database_.table(L"Items"));
    MsiFieldDefRef label = lookup.GetFieldDef(1);
    sorted(lookup, 1, true, 0);
    struct Change
    {
        const wchar_t* key;
        const wchar_t* label;
    };
    // The same texts on other rows, a text none had, a text gone.
    const Change changes[] = {{L"b1", L"cherry"}, {L"e5", L"apple"}, {L"a2", L"zebra"}, {L"d4", nullptr}};
    bool ascending = true;
    for (const Change& change : changes) {
        RowIterator row = lookup.GetIndexedRow(lookup.FindRow({change.key}, 0), 0);
        lookup.CommitFieldValue(
            *label, row, change.label ? MsiFieldDataRef(new MsiFieldData(change.label)) : MakeNullFieldData(),
            true);
        ascending = !ascending;
        sorted(lookup, 1, ascending, 1);
        MsiTableLookup fresh(database_.table(L"Items"));
        sorted(fresh, 1, ascending, 0);
        EXPECT_EQ(lowered(fresh), lowered(lookup)) << change.key;
    }
}

TEST_F(MsiTableLookupTest, SortsIntegersByValueWithNullFirst)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    EXPECT_EQ((Keys{L"c3", L"a2", L"e5", L"b1", L"d4"}), sorted(lookup, 2, true, 0));
    EXPECT_EQ((Keys{L"d4", L"b1", L"e5", L"a2", L"c3"}), sorted(lookup, 2, false, 2));
}

TEST_F(MsiTableLookupTest, SortsHexadecimalColumnsByValueNotText)
{
    MsiTableLookup lookup(database_.table(L"TypeLib"));
    EXPECT_EQ((std::vector<std::wstring>{L"0x00000020", L"0x00000003", L"<null>"}),
              ColumnTexts(lookup, 3, 0));
    EXPECT_EQ((Keys{L"L3", L"L2", L"L1"}), sorted(lookup, 3, true, 0));
    EXPECT_EQ((Keys{L"L1", L"L2", L"L3"}), sorted(lookup, 3, false, 3));
}

TEST_F(MsiTableLookupTest, SortsStreamsByTheirMarkersOnly)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    // "<binary>" before "<null>", rows with data in their previous order.
    EXPECT_EQ((Keys{L"a2", L"d4", L"b1", L"c3", L"e5"}), sorted(lookup, 3, true, 0));
    EXPECT_EQ((Keys{L"b1", L"c3", L"e5", L"a2", L"d4"}), sorted(lookup, 3, false, 3));
}

TEST_F(MsiTableLookupTest, SameDirectionTwiceSortsNothingAndResetRestoresTableOrder)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    sorted(lookup, 2, true, 0);
    // A third click in the stored direction leaves the order alone, even when the old column differs.
    EXPECT_EQ((Keys{L"c3", L"a2", L"e5", L"b1", L"d4"}), sorted(lookup, 2, true, 2));
    lookup.ResetIndexes();
    EXPECT_FALSE(lookup.IsIndexBuilt(2));
    EXPECT_EQ(0, lookup.GetSortDirection(2));
    EXPECT_EQ((Keys{L"b1", L"a2", L"c3", L"d4", L"e5"}), KeyOrder(lookup, 2));
}

TEST_F(MsiTableLookupTest, SelectionAndFocusFollowTheirRowsThroughASort)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    std::vector<int> selected = {4, 0, 2}; // e5, b1, c3 in table order, in the list's order
    int focused = 1;                       // a2
    lookup.Sort(2, true, 0, selected, focused);
    EXPECT_EQ((std::vector<int>{2, 3, 0}), selected);
    EXPECT_EQ(1, focused);
    int none = -1;
    std::vector<int> nothing;
    lookup.Sort(2, false, 2, nothing, none);
    EXPECT_EQ(-1, none);
    EXPECT_TRUE(nothing.empty());
}

TEST_F(MsiTableLookupTest, FindsRowsByExactKeysInTheSortOrder)
{
    MsiTableLookup lookup(database_.table(L"Items"));
    EXPECT_EQ(3, lookup.FindRow({L"d4"}, 0));
    EXPECT_EQ(5, lookup.FindRow({L"D4"}, 0));
    EXPECT_EQ(5, lookup.FindRow({}, 0));
    // Texts beyond the key columns are ignored.
    EXPECT_EQ(3, lookup.FindRow({L"d4", L"anything"}, 0));
    sorted(lookup, 2, false, 0);
    EXPECT_EQ(0, lookup.FindRow({L"d4"}, 2));
    EXPECT_EQ(3, lookup.FindRow({L"d4"}, 0));
}

TEST_F(MsiTableLookupTest, FindNeedsEveryKeyColumn)
{
    MsiTableLookup lookup(database_.table(L"TypeLib"));
    EXPECT_EQ(1, lookup.FindRow({L"L2", L"0", L"C"}, 0));
    EXPECT_EQ(3, lookup.FindRow({L"L2", L"0"}, 0));
    EXPECT_EQ(3, lookup.FindRow({L"L2", L"1", L"C"}, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"L2", L"0", L"C"}), lookup.GetKeyValuesAt(1, 0));
}

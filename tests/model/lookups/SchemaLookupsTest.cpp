// Lookups over `_Tables` and `_Columns`: the database reads both afresh whenever a table comes or goes, and
// every lookup built over them (Indexes sorted, key search used, comparison key maps) shows the new rows.
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "model/lookups/MsiTableLookup.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>

using namespace lookup_testing;

namespace {

const wchar_t kFirst[] = L"CREATE TABLE `First` (`Key` CHAR(10) NOT NULL, `A` CHAR(10) PRIMARY KEY `Key`)";
const wchar_t kSecond[] = L"CREATE TABLE `Second` (`Key` CHAR(10) NOT NULL PRIMARY KEY `Key`)";

std::vector<std::wstring> Sorted(std::vector<std::wstring> texts)
{
    std::sort(texts.begin(), texts.end());
    return texts;
}

// What the table holds now, read from its rows.
std::vector<std::wstring> FirstCells(MsiTable& table)
{
    std::vector<std::wstring> texts;
    for (const MsiRow& row : table.rows())
        texts.push_back(table.columns()[0]->display_str(*row[0]));
    return Sorted(texts);
}

// A lookup whose Indexes are built, one sorted, and whose key search has run (schema tables have no key
// columns, so it answers their first row).
void Use(MsiTableLookupBase& lookup, const std::wstring& key)
{
    std::vector<int> selected;
    int focused = -1;
    lookup.Sort(0, false, 0, selected, focused);
    KeyOrder(lookup, 0);
    ColumnTexts(lookup, 0, lookup.ColumnCount() - 1);
    lookup.FindRow({key}, 0);
}

} // namespace

TEST(SchemaLookups, LookupsOfTheSchemaTablesShowTheRowsReadAfterEachChange)
{
    LookupDatabase source({L"CREATE TABLE `Extra` (`Key` CHAR(10) NOT NULL PRIMARY KEY `Key`)"},
                          {{L"INSERT INTO `Extra` (`Key`) VALUES ('k')", {}}});
    struct Case
    {
        const char* change;
        std::function<void(MsiFile& file)> make;
        const wchar_t* table; // the table the change adds or drops
        bool present;
    } cases[] = {
        {"add a table", [&](MsiFile& file) { file.AddTableWithRows(source.table(L"Extra")); }, L"Extra",
         true},
        {"drop a table", [](MsiFile& file) { file.DropTable(*file.FindTable(L"Second")); }, L"Second", false},
        {"merge a file", [&](MsiFile& file) { file.MergeTables(source.file()); }, L"Extra", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.change);
        LookupDatabase database({kFirst, kSecond});
        MsiFile& file = database.file();
        MsiTableLookup tables(database.table(L"_Tables"));
        MsiTableLookup columns(database.table(L"_Columns"));
        Use(tables, L"First");
        Use(columns, L"First");
        c.make(file);
        EXPECT_EQ(FirstCells(database.table(L"_Tables")), Sorted(KeyOrder(tables, 0)));
        EXPECT_EQ(FirstCells(database.table(L"_Columns")), Sorted(ColumnTexts(columns, 0, 0)));
        EXPECT_EQ(FirstCells(database.table(L"_Columns")), Sorted(ColumnTexts(columns, 0, 3)));
        std::vector<std::wstring> names = KeyOrder(tables, 0);
        EXPECT_EQ(c.present, std::find(names.begin(), names.end(), c.table) != names.end());
    }
}

TEST(SchemaLookups, AComparisonOfTheSchemaTablesShowsTheRowsOfATableMadeAnew)
{
    LookupDatabase base({kFirst, kSecond});
    LookupDatabase transformed(
        {L"CREATE TABLE `First` (`Key` CHAR(10) NOT NULL, `A` CHAR(10), `B` SHORT PRIMARY KEY `Key`)",
         kSecond});
    MsiDiffTableLookupBasic columns(&base.table(L"_Columns"), &transformed.table(L"_Columns"));
    Use(columns, L"First");
    EXPECT_TRUE(columns.HasDifferences());
    MsiDiffTableLookupBasic first(&base.table(L"First"), &transformed.table(L"First"));
    first.CreateEditableTable(); // another shape: dropped and made anew from the base
    EXPECT_EQ(FirstCells(transformed.table(L"_Columns")), Sorted(ColumnTexts(columns, 0, 0)));
    EXPECT_FALSE(columns.HasDifferences());
    EXPECT_EQ(3, columns.RowCount()) << "First's third column is gone";
}

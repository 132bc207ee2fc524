// Edits through a table lookup: duplicate keys, commits with and without the owner node, rows added from
// values and from texts, deletions and their failures, unique key prefixes, and the row references after a
// key change.
#include "model/installer/MsiCallFaults.h"
#include "model/lookups/FieldEditorFactory.h"
#include "model/lookups/MsiTableLookup.h"
#include "model/lookups/RowFromText.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "LookupOwnerDouble.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>

using namespace lookup_testing;
using model_testing::SelectRows;

namespace {

const std::vector<std::wstring> kTables = {
    L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` CHAR(72) "
    L"NOT NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY "
    L"`Component`)",
    L"CREATE TABLE `FeatureComponents` (`Feature_` CHAR(38) NOT NULL, `Component_` CHAR(72) NOT NULL "
    L"PRIMARY KEY `Feature_`, `Component_`)",
    L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), `DefaultDir` "
    L"CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)",
    L"INSERT INTO `Directory` (`Directory`, `DefaultDir`) VALUES ('TARGETDIR', 'SourceDir')",
    L"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`) VALUES ('Row1', "
    L"'{11111111-1111-1111-1111-111111111111}', 'TARGETDIR', 0)",
    L"INSERT INTO `Component` (`Component`, `Directory_`, `Attributes`) VALUES ('Other', 'TARGETDIR', 4)",
    L"INSERT INTO `Component` (`Component`, `Directory_`, `Attributes`) VALUES ('Comp_reg1', 'TARGETDIR', 0)",
    L"INSERT INTO `Component` (`Component`, `Directory_`, `Attributes`) VALUES ('Comp_reg_2', 'TARGETDIR', "
    L"0)",
    L"INSERT INTO `FeatureComponents` (`Feature_`, `Component_`) VALUES ('F', 'Row1')",
};

class Update : public ReferencingRowsUpdate
{
public:
    explicit Update(std::vector<std::string>& log) : log_(log) {}
    bool Apply() override
    {
        log_.push_back("apply");
        return true;
    }

private:
    std::vector<std::string>& log_;
};

class MsiTableLookupEditsTest : public ::testing::Test
{
protected:
    MsiTableLookupEditsTest() : database_(kTables) {}

    MsiFieldDataRef text(const std::wstring& value) { return MsiFieldDataRef(new MsiFieldData(value)); }
    std::vector<std::vector<std::string>> components()
    {
        return SelectRows(database_.file().handle(),
                          L"SELECT `Component`, `Condition` FROM `Component` ORDER BY `Component`");
    }

    LookupDatabase database_;
};

using Keys = std::vector<std::wstring>;

} // namespace

TEST_F(MsiTableLookupEditsTest, OnlyKeyChangesThatCollideAreDuplicates)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    MsiFieldDefRef key = lookup.GetFieldDef(0);
    RowIterator row1 = lookup.GetIndexedRow(0, 0);
    EXPECT_EQ(L"Setting this value would result in a duplicate row",
              lookup.ValidateFieldValue(*key, row1, text(L"Other")));
    EXPECT_EQ(L"", lookup.ValidateFieldValue(*key, row1, text(L"Fresh")));
    EXPECT_EQ(L"", lookup.ValidateFieldValue(*key, row1, text(L"other")));
    EXPECT_EQ(L"", lookup.ValidateFieldValue(*lookup.GetFieldDef(4), row1, text(L"Other")));
    // A null key is compared as the empty text, so it never equals a key that shows "<null>".
    EXPECT_EQ(L"", lookup.ValidateFieldValue(*key, row1, MakeNullFieldData()));

    MsiTableLookup pairs(database_.table(L"FeatureComponents"));
    RowIterator pair = pairs.GetIndexedRow(0, 0);
    EXPECT_EQ(L"Setting this value would result in a duplicate row",
              pairs.ValidateFieldValue(*pairs.GetFieldDef(1), pair, text(L"Row1")));
    EXPECT_EQ(L"", pairs.ValidateFieldValue(*pairs.GetFieldDef(0), pair, text(L"G")));
}

TEST_F(MsiTableLookupEditsTest, CommitStoresTheValueAndTellsTheHandler)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    RecordingEditHandler handler;
    lookup.SetEditHandler(&handler);
    std::vector<int> selected;
    int focused = -1;
    lookup.Sort(4, true, 0, selected, focused);
    RowIterator other = lookup.GetIndexedRow(1, 0);

    lookup.CommitFieldValue(*lookup.GetFieldDef(4), other, text(L"NOT Installed"), false);
    EXPECT_TRUE(handler.refreshes.empty());
    EXPECT_EQ(1, lookup.GetSortDirection(4));

    lookup.CommitFieldValue(*lookup.GetFieldDef(4), other, text(L"NOT Installed"), true);
    EXPECT_EQ(std::vector<bool>{false}, handler.refreshes);
    EXPECT_EQ(0, lookup.GetSortDirection(4));
    EXPECT_EQ(L"NOT Installed", lookup.GetCellText(4, 1, 0));
    EXPECT_EQ("NOT Installed", components()[1][1]);
}

TEST_F(MsiTableLookupEditsTest, OwnerNodeCanCancelACommitOrUpdateReferencingRowsAfterIt)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    LookupOwnerDouble owner;
    lookup.SetOwnerNode(&owner);
    lookup.SetEditHandler(&owner.handler);
    RowIterator other = lookup.GetIndexedRow(1, 0);

    owner.cancel_referencing_rows = true;
    lookup.CommitFieldValue(*lookup.GetFieldDef(0), other, text(L"Renamed"), true);
    EXPECT_EQ(std::vector<int>{0}, owner.confirmed_columns);
    EXPECT_EQ(L"Other", lookup.GetCellText(0, 1, 0));
    EXPECT_TRUE(owner.handler.refreshes.empty());

    std::vector<std::string> log;
    owner.cancel_referencing_rows = false;
    owner.make_update = [&log] { return std::unique_ptr<ReferencingRowsUpdate>(new Update(log)); };
    lookup.CommitFieldValue(*lookup.GetFieldDef(0), other, text(L"Renamed"), true);
    EXPECT_EQ(L"Renamed", lookup.GetCellText(0, 1, 0));
    EXPECT_EQ(std::vector<std::string>{"apply"}, log);
    EXPECT_EQ(1, lookup.FindRow({L"Renamed"}, 0));
    EXPECT_EQ(4, lookup.FindRow({L"Other"}, 0));
}

TEST_F(MsiTableLookupEditsTest, KeyChangeKeepsRowReferencesAndRequiredRelationshipsRight)
{
    MsiFile& file = database_.file();
    file.relationships().Build(file);
    MsiTableLookup components(database_.table(L"Component"));
    MsiTableLookup features(database_.table(L"FeatureComponents"));
    EXPECT_EQ(L"", features.GetCellTipText(1, 0, 0));

    components.CommitFieldValue(*components.GetFieldDef(0), components.GetIndexedRow(0, 0), text(L"Row9"),
                                true);
    MsiTable& component_table = database_.table(L"Component");
    EXPECT_TRUE(
        file.relationships().GetReferencingRows(component_table, components.GetIndexedRow(0, 0)).empty());
    EXPECT_EQ(L"Required relationship not satisfied: \r\n\tFeatureComponents.Component_ IS OWNED BY "
              L"Component.Component, required\r\n",
              features.GetCellTipText(1, 0, 0));

    // The other lookup sees the change made through this one.
    EXPECT_EQ(0, components.FindRow({L"Row9"}, 0));
    components.CommitFieldValue(*components.GetFieldDef(0), components.GetIndexedRow(0, 0), text(L"Row1"),
                                true);
    EXPECT_EQ(
        1u, file.relationships().GetReferencingRows(component_table, components.GetIndexedRow(0, 0)).size());
    EXPECT_EQ(L"", features.GetCellTipText(1, 0, 0));
}

TEST_F(MsiTableLookupEditsTest, FindSeesRowsChangedElsewhere)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    EXPECT_EQ(1, lookup.FindRow({L"Other"}, 0));
    MsiTable& table = database_.table(L"Component");
    database_.file().ModifyRow(table, *table.columns()[0], lookup.GetIndexedRow(1, 0), text(L"Moved"));
    EXPECT_EQ(4, lookup.FindRow({L"Other"}, 0));
    EXPECT_EQ(1, lookup.FindRow({L"Moved"}, 0));
}

TEST_F(MsiTableLookupEditsTest, AddedRowsJoinEveryBuiltIndexUnsorted)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    std::vector<int> selected;
    int focused = -1;
    lookup.Sort(0, true, 0, selected, focused);
    EXPECT_EQ(L"Row1", KeyOrder(lookup, 0).back());
    lookup.AddRowFromText({L"Alpha", L"", L"TARGETDIR", L"0", L"", L""});
    EXPECT_EQ(5, lookup.RowCount());
    EXPECT_EQ(0, lookup.GetSortDirection(0));
    EXPECT_EQ(L"Alpha", KeyOrder(lookup, 0).back());
    EXPECT_EQ(4, lookup.FindRow({L"Alpha"}, 0));
    // The reset direction makes the same click sort again.
    lookup.Sort(0, true, 0, selected, focused);
    EXPECT_EQ(L"Alpha", KeyOrder(lookup, 0).front());
    EXPECT_EQ(5u, components().size());
}

TEST_F(MsiTableLookupEditsTest, PastedDuplicateKeysAreNumberedFromTheEnteredText)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    lookup.AddRowFromText({L"Row1", L"", L"TARGETDIR", L"0", L"first", L""});
    lookup.AddRowFromText({L"Row1", L"", L"TARGETDIR", L"0", L"second", L""});
    lookup.AddRowFromText({L"%s", L"", L"TARGETDIR", L"0", L"", L""});
    lookup.AddRowFromText({L"%s", L"", L"TARGETDIR", L"0", L"", L""});
    EXPECT_EQ(L"first", lookup.GetCellText(4, lookup.FindRow({L"Row10"}, 0), 0));
    EXPECT_EQ(L"second", lookup.GetCellText(4, lookup.FindRow({L"Row11"}, 0), 0));
    EXPECT_NE(lookup.RowCount(), lookup.FindRow({L"%s0"}, 0));
}

TEST_F(MsiTableLookupEditsTest, RowsFromTextsThatCannotBeAddedAddNothing)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    tfc::clear_thread_messages();
    EXPECT_THROW(lookup.AddRowFromText({L"New", L"", L"TARGETDIR", L"0", L""}), tfc::NullError);
    EXPECT_EQ(L"Cannot add a row to a table with a different number of fields",
              tfc::joined_thread_messages());
    tfc::clear_thread_messages();
    EXPECT_THROW(lookup.AddRowFromText({L"New", L"", L"", L"0", L"", L""}), tfc::NullError);
    EXPECT_EQ(L"Cannot add a row to the table with null data in a non-nullable field",
              tfc::joined_thread_messages());
    tfc::clear_thread_messages();
    EXPECT_EQ(4, lookup.RowCount());
    EXPECT_EQ(4u, components().size());
}

TEST(RowFromTextsTest, NumbersThatCannotChangeEndInsteadOfLooping)
{
    auto hex = std::make_shared<MsiFieldSchema>(L"T", L"Id");
    hex->set_category(L"", FieldCategory::Hex);
    MsiColumns columns = {MakeFieldDef(L"Id", true, L"i4", 0, hex),
                          MakeFieldDef(L"Note", false, L"S0", 1, nullptr)};
    std::set<std::wstring> taken = {L"0x00000000", L"0x00000010", L"0x000000a0"};
    auto is_taken = [&taken](const std::vector<std::wstring>& keys) { return taken.count(keys[0]) > 0; };

    // 16 is taken, so 160 (0xa0) is tried, then 161.
    MsiRow row = RowFromTexts(columns, {L"16", L"x"}, is_taken);
    EXPECT_EQ(161, row[0]->integer());
    // "0" + "0" still reads 0, "01" does not.
    EXPECT_EQ(1, RowFromTexts(columns, {L"0", L"x"}, is_taken)[0]->integer());
    // Text that reads as 0 whatever digits follow it: an error, not an endless loop or a second key 0.
    tfc::clear_thread_messages();
    EXPECT_THROW(RowFromTexts(columns, {L"0x10", L"x"}, is_taken), tfc::NullError);
    EXPECT_EQ(L"Cannot add a row: no unused key can be made from 0x10", tfc::joined_thread_messages());
    tfc::clear_thread_messages();
    taken.insert(L"0xffffffff");
    EXPECT_THROW(RowFromTexts(columns, {L"4294967295", L"x"}, is_taken), tfc::NullError);
    tfc::clear_thread_messages();
}

TEST_F(MsiTableLookupEditsTest, DeletedRowsLeaveEveryIndex)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    std::vector<int> selected;
    int focused = -1;
    lookup.Sort(3, false, 0, selected, focused);
    EXPECT_EQ(L"Other", KeyOrder(lookup, 3).front());
    lookup.DeleteRow(3, 0);
    EXPECT_EQ((Keys{L"Row1", L"Comp_reg1", L"Comp_reg_2"}), KeyOrder(lookup, 0));
    EXPECT_EQ(3u, KeyOrder(lookup, 3).size());
    EXPECT_EQ(3, lookup.FindRow({L"Other"}, 0));
    EXPECT_EQ(3u, components().size());
}

TEST_F(MsiTableLookupEditsTest, FailedDeleteLeavesIndexesMatchingTheTable)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    KeyOrder(lookup, 1);
    msi::ScopedCallFaults faults;
    msi::FailCall(L"MsiViewExecute", 1, ERROR_FUNCTION_FAILED);
    EXPECT_ANY_THROW(lookup.DeleteRow(0, 1));
    tfc::clear_thread_messages();
    EXPECT_EQ(4, lookup.RowCount());
    EXPECT_EQ((Keys{L"Row1", L"Other", L"Comp_reg1", L"Comp_reg_2"}), KeyOrder(lookup, 0));
    EXPECT_EQ(4u, KeyOrder(lookup, 1).size());
    EXPECT_EQ(1, lookup.FindRow({L"Other"}, 0));
}

TEST_F(MsiTableLookupEditsTest, SchemaTablesRefuseDeletionsButStreamsPass)
{
    MsiTableLookup tables(database_.table(L"_Tables"));
    try {
        tables.DeleteRow(0, 0);
        FAIL() << "deleted";
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(L"This table is a schema table and cannot have rows deleted.", error.message);
        EXPECT_EQ(L"Cannot delete row", error.caption);
    }
    EXPECT_EQ(3, tables.RowCount());
}

TEST_F(MsiTableLookupEditsTest, UniqueKeyPrefixesTakeOnlyLiteralMatches)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    EXPECT_EQ(L"Comp_reg__", lookup.MakeUniqueKey(L"Comp_reg"));
    EXPECT_EQ(L"Fresh", lookup.MakeUniqueKey(L"Fresh"));
    EXPECT_EQ(L"Row_", lookup.MakeUniqueKey(L"Row"));
}

TEST_F(MsiTableLookupEditsTest, UniqueKeyPatternsEscapeEveryMetacharacter)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    lookup.AddRowFromText({L"a.b1", L"", L"TARGETDIR", L"0", L"", L""});
    EXPECT_EQ(L"a.b_", lookup.MakeUniqueKey(L"a.b"));
    EXPECT_EQ(L"a+b", lookup.MakeUniqueKey(L"a+b"));
    EXPECT_EQ(L"axb", lookup.MakeUniqueKey(L"axb")) << "a '.' matches only a dot";
    EXPECT_EQ(L"(x[{\\*?|^$", lookup.MakeUniqueKey(L"(x[{\\*?|^$"));
}

TEST_F(MsiTableLookupEditsTest, EditorsComeFromTheInstalledFactoryForUserTablesOnly)
{
    MsiTableLookup lookup(database_.table(L"Component"));
    RecordingEditHandler handler;
    std::vector<std::wstring> asked;
    FieldEditorFactory previous = SetFieldEditorFactory(
        [&asked](MsiFieldEditorHandler&, MsiTable& table, RowIterator row, const MsiFieldDef& def) {
            asked.push_back(table.name() + L"." + def.name() + L"." + table.KeyValues(*row)[0]);
            return std::shared_ptr<InPlaceEditor>();
        });
    lookup.CreateEditor(4, 1, 0, &handler);
    EXPECT_EQ(std::vector<std::wstring>{L"Component.Condition.Other"}, asked);
    EXPECT_EQ(&handler, lookup.GetEditHandler());
    MsiTableLookup schema_table(database_.table(L"_Columns"));
    schema_table.CreateEditor(0, 0, 0, &handler);
    EXPECT_EQ(1u, asked.size());
    SetFieldEditorFactory(previous);
}

TEST_F(MsiTableLookupEditsTest, WritesUserTablesIntoAnotherDatabase)
{
    testing_support::ScratchFolder folder;
    MsiHandle target = msi::OpenDatabase(folder.file(L"target.msi"), MSIDBOPEN_CREATE);
    MsiTableLookup lookup(database_.table(L"Component"));
    EXPECT_EQ(L"", lookup.WriteTable(target.get()));
    EXPECT_EQ(4u, SelectRows(target.get(), L"SELECT `Component` FROM `Component`").size());
    MsiTableLookup tables(database_.table(L"_Tables"));
    EXPECT_EQ(L"", tables.WriteTable(target.get()));
}

// The `_Streams` view: every stream cell's stream belongs to its row (also when the row has several keys),
// follows the row's changes, and cannot be deleted on its own; streams that nothing owns can.
#include "model/lookups/MsiStreamsTableLookup.h"
#include "LookupOwnerDouble.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace lookup_testing;

namespace {

const wchar_t kRefusal[] =
    L" could not be deleted because it belongs to another table. Double click the row to "
    L"jump to the relevant row.";

class MsiStreamsTableLookupTest : public ::testing::Test
{
protected:
    MsiStreamsTableLookupTest()
        : database_(
              {L"CREATE TABLE `Binary` (`Name` CHAR(72) NOT NULL, `Data` OBJECT NOT NULL PRIMARY KEY `Name`)",
               L"CREATE TABLE `Pairs` (`K1` CHAR(10) NOT NULL, `K2` SHORT NOT NULL, `Data` OBJECT "
               L"PRIMARY KEY `K1`, `K2`)",
               L"CREATE TABLE `Plain` (`Key` CHAR(10) NOT NULL PRIMARY KEY `Key`)"},
              inserts())
    {
    }

    static std::vector<Insert> inserts()
    {
        std::wstring data = testing_support::BuildPath(L"lookup-stream.bin");
        testing_support::WriteFileBytes(data, {'s', 't', 'r', 'e', 'a', 'm'});
        Param stream = Param::StreamFile(data);
        const wchar_t* binary = L"INSERT INTO `Binary` (`Name`, `Data`) VALUES (?, ?)";
        const wchar_t* pairs = L"INSERT INTO `Pairs` (`K1`, `K2`, `Data`) VALUES (?, ?, ?)";
        const wchar_t* streams = L"INSERT INTO `_Streams` (`Name`, `Data`) VALUES (?, ?)";
        return {{binary, {Param::Text(L"b1"), stream}},
                {binary, {Param::Text(L"with.dot"), stream}},
                {pairs, {Param::Text(L"x"), Param::Int(3), stream}},
                {pairs, {Param::Text(L"y"), Param::Int(4), Param::Null()}},
                {streams, {Param::Text(L"Loose"), stream}},
                {streams, {Param::Text(L"Plain.k"), stream}},
                {streams, {Param::Text(L"Binary.gone"), stream}}};
    }

    std::vector<std::wstring> names(MsiTableLookupBase& lookup)
    {
        std::vector<std::wstring> result = ColumnTexts(lookup, 0, 0);
        std::sort(result.begin(), result.end());
        return result;
    }
    int position(MsiTableLookupBase& lookup, const std::wstring& name) { return lookup.FindRow({name}, 0); }

    LookupDatabase database_;
};

using Names = std::vector<std::wstring>;

} // namespace

TEST_F(MsiStreamsTableLookupTest, StreamsOfRowsCannotBeDeletedHere)
{
    MsiStreamsTableLookup streams(database_.table(L"_Streams"));
    Names before = names(streams);
    ASSERT_NE(before.end(), std::find(before.begin(), before.end(), L"Pairs.x.3"));
    testing_support::ScriptedPrompts prompts;
    std::vector<std::wstring> refused = {L"Binary.b1", L"Binary.with.dot", L"Pairs.x.3"};
    for (const std::wstring& name : refused) {
        prompts.answer(IDOK);
        streams.DeleteRow(0, position(streams, name));
    }
    ASSERT_EQ(refused.size(), prompts.asked().size());
    for (size_t at = 0; at < refused.size(); ++at) {
        EXPECT_EQ(L"Row " + refused[at] + kRefusal, prompts.asked()[at].text);
        EXPECT_EQ(L"Deleting row from the wrong place", prompts.asked()[at].caption);
    }
    EXPECT_EQ(before, names(streams));
}

TEST_F(MsiStreamsTableLookupTest, StreamsThatNothingOwnsCanBeDeleted)
{
    {
        MsiStreamsTableLookup streams(database_.table(L"_Streams"));
        int count = streams.RowCount();
        testing_support::ScriptedPrompts prompts;
        // Plain has no stream column, so nothing of it owns streams; Binary has, but no row "gone".
        for (const wchar_t* name : {L"Loose", L"Plain.k", L"Binary.gone"}) {
            streams.DeleteRow(0, position(streams, name));
            EXPECT_EQ(streams.RowCount(), position(streams, name)) << name;
        }
        EXPECT_TRUE(prompts.asked().empty());
        EXPECT_EQ(count - 3, streams.RowCount());
        // A stream added in the same open (Wine can fault on that after a `_Streams` deletion), then
        // saved: the deleted streams are gone from the file, the new one is there.
        MsiTableLookup binary(database_.table(L"Binary"));
        binary.AddRowFromText({L"b2", database_.text_file(L"b2.bin", "b2 bytes")});
        database_.file().SaveInPlace(false, L"");
    }
    database_.reopen();
    auto stored = model_testing::SelectRows(
        database_.file().handle(),
        L"SELECT `Name`, `Data` FROM `_Streams` WHERE `Name`<>'\x5SummaryInformation'");
    std::sort(stored.begin(), stored.end());
    std::vector<std::vector<std::string>> expected = {{"Binary.b1", "stream"},
                                                      {"Binary.b2", "b2 bytes"},
                                                      {"Binary.with.dot", "stream"},
                                                      {"Pairs.x.3", "stream"}};
    EXPECT_EQ(expected, stored);
}

TEST_F(MsiStreamsTableLookupTest, StreamRowsFollowTheirOwners)
{
    MsiStreamsTableLookup streams(database_.table(L"_Streams"));
    LookupOwnerDouble owner;
    streams.SetOwnerNode(&owner);
    MsiTableLookup pairs(database_.table(L"Pairs"));
    std::wstring file = database_.text_file(L"new.bin", "new");

    pairs.AddRowFromText({L"z", L"5", file});
    EXPECT_NE(streams.RowCount(), position(streams, L"Pairs.z.5"));
    EXPECT_EQ(1, owner.reloads);
    // A row without a stream adds none.
    pairs.AddRowFromText({L"w", L"6", L""});
    EXPECT_EQ(streams.RowCount(), position(streams, L"Pairs.w.6"));

    int z = pairs.FindRow({L"z", L"5"}, 0);
    pairs.CommitFieldValue(*pairs.GetFieldDef(0), pairs.GetIndexedRow(z, 0),
                           MsiFieldDataRef(new MsiFieldData(L"v")), true);
    EXPECT_EQ(streams.RowCount(), position(streams, L"Pairs.z.5"));
    EXPECT_NE(streams.RowCount(), position(streams, L"Pairs.v.5"));

    pairs.DeleteRow(0, pairs.FindRow({L"v", L"5"}, 0));
    EXPECT_EQ(streams.RowCount(), position(streams, L"Pairs.v.5"));
    EXPECT_NE(streams.RowCount(), position(streams, L"Pairs.x.3"));
}

TEST_F(MsiStreamsTableLookupTest, DroppedTablesTakeTheirStreamsAlong)
{
    MsiStreamsTableLookup streams(database_.table(L"_Streams"));
    database_.file().DropTable(database_.table(L"Binary"));
    EXPECT_EQ(streams.RowCount(), position(streams, L"Binary.b1"));
    EXPECT_EQ(streams.RowCount(), position(streams, L"Binary.with.dot"));
    EXPECT_NE(streams.RowCount(), position(streams, L"Pairs.x.3"));
}

TEST_F(MsiStreamsTableLookupTest, TablesAddedLaterAreWatchedToo)
{
    MsiStreamsTableLookup streams(database_.table(L"_Streams"));
    MsiTableRef copy(new MsiTable(L"Icon", &database_.file()));
    copy->columns() = database_.table(L"Binary").columns();
    database_.file().AddTableWithRows(*copy);
    MsiTableLookup icons(database_.table(L"Icon"));
    icons.AddRowFromText({L"i1", database_.text_file(L"icon.bin", "icon")});
    EXPECT_NE(streams.RowCount(), position(streams, L"Icon.i1"));
}

TEST_F(MsiStreamsTableLookupTest, EditingAnOwnedStreamJumpsToItsRow)
{
    MsiStreamsTableLookup streams(database_.table(L"_Streams"));
    LookupOwnerDouble owner;
    streams.SetOwnerNode(&owner);
    EXPECT_FALSE(streams.CreateEditor(1, position(streams, L"Pairs.x.3"), 0, nullptr));
    ASSERT_EQ(1u, owner.tables_selected.size());
    EXPECT_EQ(FindCriteria(owner.path, L"Pairs", L"", {L"x", L"3"}), owner.tables_selected[0]);
    streams.CreateEditor(1, position(streams, L"Binary.with.dot"), 0, nullptr);
    EXPECT_EQ(FindCriteria(owner.path, L"Binary", L"", {L"with.dot"}), owner.tables_selected[1]);
}
TEST(MsiStreamsTableLookupPackageTest, TheDatabasesOwnStreamsCannotBeDeleted)
{
    std::wstring package = testing_support::TestDataPath(L"shortcuts.msi");
    if (package.empty())
        GTEST_SKIP() << "shared test data absent";
    testing_support::ScratchFolder folder;
    MsiFile file;
    file.Open(folder.copy_in(package, L"shortcuts.msi"), MSIDBOPEN_TRANSACT);
    MsiStreamsTableLookup streams(*file.FindTable(L"_Streams"));
    int summary = streams.FindRow({L"\x05SummaryInformation"}, 0);
    ASSERT_NE(streams.RowCount(), summary);
    int count = streams.RowCount();
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    streams.DeleteRow(0, summary);
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(std::wstring(L"Row \x05SummaryInformation") + kRefusal, prompts.asked()[0].text);
    EXPECT_EQ(count, streams.RowCount());
}

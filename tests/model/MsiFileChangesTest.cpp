// Row and table changes through MsiFile on real database files under the platform's installer library:
// what reaches the file, what the log replays elsewhere, and that a refused change leaves memory, log and
// file as they were.
#include "model/MsiFile.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "model/MsiModification.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "ChangesTesting.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <thread>

using namespace model_testing;
using changes_testing::Bytes;
using changes_testing::FilePicture;

namespace {

using MsiFileChangesTest = changes_testing::SmallDatabaseTest;

} // namespace

TEST_F(MsiFileChangesTest, ChangesReachTheFileAsMadeInMemory)
{
    std::wstring stream_d = folder_.file(L"d.bin");
    testing_support::WriteFileBytes(stream_d, Bytes(std::string(5000, 'd')));
    MsiTable& items = table(L"Item");
    file_->AddRow(items, item_row(L"d", 4, L"note d", stream_d));
    // A row that owns a stream: another cell, then its key.
    file_->ModifyRow(column(L"Item", L"Note"), row(L"Item", L"a"), text(L"changed a"));
    file_->ModifyRow(column(L"Item", L"Name"), row(L"Item", L"a"), text(L"a2"));
    file_->ModifyRow(column(L"Item", L"Number"), row(L"Item", L"b"), MakeNullFieldData());
    file_->DeleteRow(items, row(L"Item", L"c"));
    // A key of two columns, one of them null.
    MsiTable& pairs = table(L"Pair");
    file_->DeleteRow(pairs, row(L"Pair", L"none", L"Value"));
    file_->DeleteRow(pairs, row(L"Pair", L"one", L"Value"));
    EXPECT_EQ(1u, pairs.rows().size());
    std::wstring expected = memory_picture();

    file_->SaveInPlace(false, L"");
    EXPECT_TRUE(file_->change_log().empty());
    close();
    EXPECT_EQ(expected, saved_picture(path_));
    EXPECT_EQ("stream of row a", stored_stream(path_, L"a2"));
    EXPECT_EQ(std::string(5000, 'd'), stored_stream(path_, L"d"));
    EXPECT_EQ("<no row>", stored_stream(path_, L"a"));
}

TEST_F(MsiFileChangesTest, ChangingANullCellLeavesEveryOtherNullCellNull)
{
    // Null cells read from the file may be one shared cell: a change must not reach the others.
    file_->ModifyRow(column(L"Item", L"Note"), row(L"Item", L"b"), text(L"note b"));
    file_->ModifyRow(column(L"Item", L"Number"), row(L"Item", L"c"), MakeIntegerFieldData(3));
    for (const wchar_t* key : {L"b", L"c"})
        EXPECT_TRUE((*row(L"Item", key))[3]->is_null()) << key;
    EXPECT_EQ(L"note b", (*row(L"Item", L"b"))[2]->string());
    EXPECT_EQ(3, (*row(L"Item", L"c"))[1]->integer());
    std::wstring expected = memory_picture();
    EXPECT_NE(std::wstring::npos, expected.find(L"<null>"));
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(expected, saved_picture(path_));
}

TEST_F(MsiFileChangesTest, ChangingACellReadOnceForManyEqualValuesChangesOnlyItsRow)
{
    // Equal texts and numbers of one column read from the file may be one shared cell.
    close();
    {
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        const wchar_t* item = L"INSERT INTO `Item` (`Name`, `Number`, `Note`) VALUES (?, ?, ?)";
        for (const wchar_t* name : {L"d", L"e", L"f"})
            Execute(database.get(), item, {Param::Text(name), Param::Int(7), Param::Text(L"same")});
        msi::DatabaseCommit(database.get());
    }
    file_.reset(new MsiFile());
    file_->Open(path_, MSIDBOPEN_TRANSACT);
    EXPECT_EQ((*row(L"Item", L"d"))[2].get(), (*row(L"Item", L"f"))[2].get());
    struct Change
    {
        const wchar_t* row;
        const wchar_t* column;
        MsiFieldDataRef value;
    };
    const Change changes[] = {{L"d", L"Note", text(L"own d")},
                              {L"e", L"Number", MakeIntegerFieldData(8)},
                              {L"f", L"Number", MakeNullFieldData()}};
    for (const Change& change : changes)
        file_->ModifyRow(column(L"Item", change.column), row(L"Item", change.row), change.value);
    std::wstring expected = L"d\t7\town d\t";
    EXPECT_NE(std::wstring::npos, memory_picture().find(expected));
    for (const wchar_t* unchanged : {L"e\t8\tsame\t", L"f\t<null>\tsame\t"})
        EXPECT_NE(std::wstring::npos, memory_picture().find(unchanged)) << unchanged;
    expected = memory_picture();
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(expected, saved_picture(path_));
}

TEST_F(MsiFileChangesTest, ChangesKeepingTheKeyLandInTheirOwnColumnsOnly)
{
    // A key of two columns, which the table puts first: a change that keeps the key writes only the others,
    // each into its own column.
    close();
    {
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        Execute(database.get(), L"CREATE TABLE `Mixed` (`Size` LONG, `Name` CHAR(20) NOT NULL, `Flag` SHORT, "
                                L"`Note` CHAR(40), `Level` SHORT NOT NULL PRIMARY KEY `Name`, `Level`)");
        const wchar_t* insert =
            L"INSERT INTO `Mixed` (`Size`, `Name`, `Flag`, `Note`, `Level`) VALUES (?, ?, ?, ?, ?)";
        int level = 0;
        for (const wchar_t* name : {L"m", L"n", L"o"}) {
            ++level;
            Execute(database.get(), insert,
                    {Param::Int(10 * level), Param::Text(name), Param::Int(level), Param::Text(L"note"),
                     Param::Int(level)});
        }
        msi::DatabaseCommit(database.get());
    }
    file_.reset(new MsiFile());
    file_->Open(path_, MSIDBOPEN_TRANSACT);
    struct Change
    {
        const wchar_t* row;
        const wchar_t* column;
        MsiFieldDataRef value;
    };
    const Change changes[] = {
        {L"m", L"Size", MakeIntegerFieldData(99)}, {L"m", L"Note", text(L"changed m")},
        {L"n", L"Flag", MakeNullFieldData()},      {L"n", L"Size", MakeNullFieldData()},
        {L"o", L"Note", MakeNullFieldData()},      {L"o", L"Flag", MakeIntegerFieldData(-7)}};
    for (const Change& change : changes)
        file_->ModifyRow(column(L"Mixed", change.column), row(L"Mixed", change.row, L"Name"), change.value);
    std::wstring expected = table_picture(*file_, L"Mixed");
    EXPECT_EQ(L"[Mixed]\nm\t1\t1\tchanged m\t99\t\nn\t2\t<null>\tnote\t<null>\t\no\t3\t-7\t<null>\t30\t\n",
              expected);

    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    file_->SaveInPlace(false, L"");
    close();
    for (const std::wstring& saved_path : {path_, copy}) {
        MsiFile saved;
        saved.Open(saved_path, MSIDBOPEN_READONLY);
        EXPECT_EQ(expected, table_picture(saved, L"Mixed"));
    }
}

TEST_F(MsiFileChangesTest, ChangingAValueSharedWithAnotherTableChangesOnlyItsRow)
{
    // A value read in several tables (a key and the rows that name it) may be one cell of the whole load.
    close();
    {
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        Execute(database.get(), L"INSERT INTO `Plain` (`Key`, `Value`) VALUES (?, ?)",
                {Param::Text(L"a"), Param::Text(L"note c")});
        Execute(database.get(), L"INSERT INTO `Pair` (`Value`, `K`, `N`) VALUES (?, ?, ?)",
                {Param::Text(L"a"), Param::Text(L"z"), Param::Int(1)});
        msi::DatabaseCommit(database.get());
    }
    file_.reset(new MsiFile());
    file_->Open(path_, MSIDBOPEN_TRANSACT);
    auto cell = [this](const wchar_t* table_name, const wchar_t* key, const wchar_t* by,
                       const wchar_t* name) {
        return (*row(table_name, key, by))[column(table_name, name).column_index()].get();
    };
    EXPECT_EQ(cell(L"Item", L"a", L"Name", L"Name"), cell(L"Plain", L"a", L"Key", L"Key"));
    EXPECT_EQ(cell(L"Item", L"a", L"Name", L"Name"), cell(L"Pair", L"z", L"K", L"Value"));
    EXPECT_EQ(cell(L"Item", L"c", L"Name", L"Note"), cell(L"Plain", L"a", L"Key", L"Value"));
    file_->ModifyRow(column(L"Plain", L"Key"), row(L"Plain", L"a", L"Key"), text(L"own"));
    file_->ModifyRow(column(L"Plain", L"Value"), row(L"Plain", L"own", L"Key"), text(L"own note"));
    file_->ModifyRow(column(L"Pair", L"N"), row(L"Pair", L"z", L"K"), MakeIntegerFieldData(5));
    std::wstring expected = memory_picture();
    EXPECT_EQ(L"a", table(L"Item").FindColumn(L"Name")->display_str(*cell(L"Item", L"a", L"Name", L"Name")));
    EXPECT_EQ(L"note c",
              table(L"Item").FindColumn(L"Note")->display_str(*cell(L"Item", L"c", L"Name", L"Note")));
    EXPECT_EQ(L"a", table(L"Pair").FindColumn(L"Value")->display_str(*cell(L"Pair", L"z", L"K", L"Value")));
    EXPECT_EQ(1, cell(L"Pair", L"one", L"Value", L"N")->integer());
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(expected, saved_picture(path_));
}

TEST_F(MsiFileChangesTest, KeyRotationReplaysAsMade)
{
    MsiTable& plain = table(L"Plain");
    const MsiFieldDef& key = *plain.columns()[0];
    file_->ModifyRow(key, row(L"Plain", L"A"), text(L"C"));
    file_->ModifyRow(key, row(L"Plain", L"B"), text(L"A"));
    file_->ModifyRow(key, row(L"Plain", L"C"), text(L"B"));
    file_->ModifyRow(*plain.columns()[1], row(L"Plain", L"A"), text(L"second, now A"));
    std::wstring expected = memory_picture();
    EXPECT_NE(std::wstring::npos, expected.find(L"B\tfirst\t"));

    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    EXPECT_EQ(4u, file_->change_log().size());
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(expected, saved_picture(copy));
    EXPECT_EQ(FilePicture(path_), FilePicture(copy));
}

TEST_F(MsiFileChangesTest, AddingRowsPreparesTheirStatementOnce)
{
    msi::ScopedCallFaults faults;
    msi::StartCountingCalls();
    MsiTable& plain = table(L"Plain");
    for (const wchar_t* key : {L"P", L"Q", L"R"})
        file_->AddRow(plain, {text(key), text(L"value")});
    unsigned inserts = 0;
    for (const auto& call : msi::CallTrace()) {
        if (call.first == L"MsiDatabaseOpenView" && call.second.find(L"INSERT") == 0)
            ++inserts;
    }
    EXPECT_EQ(1u, inserts);
    EXPECT_EQ(3u, msi::CallCount(L"MsiViewExecute"));
    EXPECT_EQ(3u, file_->change_log().size());
}

TEST_F(MsiFileChangesTest, TablesDroppedAndMadeAgainTakeFreshStatements)
{
    // A table of no database to copy from.
    MsiTable source(L"Extra", nullptr);
    source.columns().push_back(MakeFieldDef(L"Key", true, L"s20", 0, nullptr));
    source.columns().push_back(MakeFieldDef(L"Count", false, L"I4", 1, nullptr));
    for (int at = 0; at < 10; ++at)
        AppendRow(source.rows(), {text(L"k" + std::to_wstring(at)), MakeIntegerFieldData(at)});

    MsiTableRef extra = file_->AddTableWithRows(source);
    EXPECT_EQ(11u, file_->change_log().size());
    EXPECT_EQ(10u, extra->rows().size());
    file_->DropTable(*extra);
    EXPECT_FALSE(file_->FindTable(L"Extra"));
    // The INSERT prepared before the drop would answer 1627 on the new table.
    extra = file_->AddTableWithRows(source);
    file_->AddRow(*extra, {text(L"more"), MakeNullFieldData()});
    EXPECT_EQ(11u + 1u + 11u + 1u, file_->change_log().size());

    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    file_->SaveInPlace(false, L"");
    close();
    std::wstring saved = FilePicture(copy);
    EXPECT_EQ(FilePicture(path_), saved);
    EXPECT_NE(std::wstring::npos, saved.find(L"more\t<null>"));
    EXPECT_NE(std::wstring::npos, saved.find(L"k9\t9"));
}

TEST_F(MsiFileChangesTest, RefusedChangesLeaveMemoryLogAndFileAsTheyWere)
{
    msi::ScopedCallFaults faults;
    MsiTable& plain = table(L"Plain");
    MsiTable& items = table(L"Item");
    file_->ModifyRow(*plain.columns()[1], row(L"Plain", L"A"), text(L"kept"));
    std::wstring before = memory_picture();
    size_t logged = file_->change_log().size();

    // Refused by the database: a key that exists.
    EXPECT_ANY_THROW(file_->AddRow(plain, {text(L"B"), text(L"duplicate")}));
    EXPECT_ANY_THROW(file_->ModifyRow(*plain.columns()[0], row(L"Plain", L"A"), text(L"B")));
    // Refused on the way by the layer's seam.
    msi::FailCall(L"MsiViewExecute", 1, ERROR_FUNCTION_FAILED);
    EXPECT_ANY_THROW(file_->AddRow(plain, {text(L"N"), text(L"new")}));
    msi::FailCall(L"MsiViewModify", 1, ERROR_FUNCTION_FAILED);
    EXPECT_ANY_THROW(file_->ModifyRow(*items.columns()[2], row(L"Item", L"b"), text(L"lost")));
    // The check finds the row, then the DELETE fails.
    msi::FailCall(L"MsiViewExecute", 2, ERROR_FUNCTION_FAILED);
    EXPECT_ANY_THROW(file_->DeleteRow(plain, row(L"Plain", L"B")));
    msi::FailCall(L"MsiViewExecute", 1, ERROR_FUNCTION_FAILED);
    EXPECT_ANY_THROW(file_->DropTable(plain));
    msi::ClearCallFaults();
    tfc::clear_thread_messages();

    EXPECT_EQ(before, memory_picture());
    EXPECT_EQ(logged, file_->change_log().size());
    EXPECT_TRUE(file_->FindTable(L"Plain"));
    // A later save elsewhere replays only what was made, and so does the own file.
    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    EXPECT_EQ(before, saved_picture(copy));
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(before, saved_picture(path_));
}

TEST_F(MsiFileChangesTest, ChangingARowThatIsGoneIsAnError)
{
    MsiTable& plain = table(L"Plain");
    MsiRow stale = *row(L"Plain", L"B");
    file_->DeleteRow(plain, row(L"Plain", L"B"));
    // The row is back in memory but not in the database: neither change may pass as done.
    RowIterator ghost = AppendRow(plain.rows(), stale);
    size_t logged = file_->change_log().size();
    EXPECT_THROW(file_->DeleteRow(plain, ghost), std::runtime_error);
    EXPECT_THROW(file_->ModifyRow(*plain.columns()[1], ghost, text(L"lost")), std::runtime_error);
    EXPECT_EQ(L"second", plain.columns()[1]->display_str(*(*ghost)[1]));
    EXPECT_EQ(logged, file_->change_log().size());
    EXPECT_EQ(2u, plain.rows().size());
}

TEST_F(MsiFileChangesTest, StreamsWineKeepsTakeTheRowsBytesOnSave)
{
    MsiTable& items = table(L"Item");
    std::wstring stream_new = folder_.file(L"new.bin");
    testing_support::WriteFileBytes(stream_new, Bytes("new bytes"));
    std::wstring stream_big = folder_.file(L"big.bin");
    testing_support::WriteFileBytes(stream_big, Bytes(std::string(10000, 'g')));
    auto stream_cell = [&](const std::wstring& path) {
        MsiFieldDataRef cell(new MsiFieldData());
        column(L"Item", L"Data").set_field_data(*cell, path);
        return cell;
    };
    // Wine keeps the stream of a deleted row under its name: a new row under that key, with a stream or
    // without, and a row moved there must not get the old bytes.
    file_->DeleteRow(items, row(L"Item", L"a"));
    file_->AddRow(items, item_row(L"a", 9, L"again", stream_new));
    file_->AddRow(items, item_row(L"f", 6, L"", stream_a_));
    file_->DeleteRow(items, row(L"Item", L"f"));
    file_->AddRow(items, item_row(L"f", 6, L"", L""));
    file_->AddRow(items, item_row(L"g", 7, L"", stream_a_));
    file_->DeleteRow(items, row(L"Item", L"g"));
    file_->ModifyRow(column(L"Item", L"Name"), row(L"Item", L"b"), text(L"g"));
    // A row's own stream rewritten in place (grown), cleared, and given one.
    file_->AddRow(items, item_row(L"e", 5, L"", stream_a_));
    file_->ModifyRow(column(L"Item", L"Data"), row(L"Item", L"e"), stream_cell(stream_big));
    file_->ModifyRow(column(L"Item", L"Data"), row(L"Item", L"a"), MakeNullFieldData());
    file_->ModifyRow(column(L"Item", L"Data"), row(L"Item", L"c"), stream_cell(stream_new));
    std::wstring expected = memory_picture();

    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    file_->SaveInPlace(false, L"");
    EXPECT_TRUE(file_->change_log().empty());
    // The database stays open and editable after its streams were written.
    file_->ModifyRow(column(L"Item", L"Note"), row(L"Item", L"c"), text(L"after save"));
    file_->SaveInPlace(false, L"");
    close();
    for (const std::wstring& saved : {copy, path_}) {
        SCOPED_TRACE(saved == copy ? "saved elsewhere" : "saved in place");
        EXPECT_EQ("<null>", stored_stream(saved, L"a"));
        EXPECT_EQ(std::string(10000, 'g'), stored_stream(saved, L"e"));
        EXPECT_EQ("new bytes", stored_stream(saved, L"c"));
        EXPECT_EQ("<null>", stored_stream(saved, L"f"));
        EXPECT_EQ("<null>", stored_stream(saved, L"g"));
        // No stream is left without its row.
        MsiHandle database = msi::OpenDatabase(saved, MSIDBOPEN_READONLY);
        auto names = SelectRows(database.get(), L"SELECT `Name` FROM `_Streams`");
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::vector<std::string>>{{"\x5SummaryInformation"}, {"Item.c"}, {"Item.e"}}),
                  names);
    }
    EXPECT_EQ(expected, saved_picture(copy));
    EXPECT_NE(expected, saved_picture(path_)); // the note changed after the first save
}

TEST_F(MsiFileChangesTest, KeysStoredAsNullNameTheirRows)
{
    // -32768 in a 2-byte key is stored as null: the row is found to be changed and deleted.
    MsiTable& pairs = table(L"Pair");
    const MsiFieldDef& value = column(L"Pair", L"Value");
    auto pair_row = [&](const wchar_t* key, const wchar_t* text_value) {
        MsiRow cells(3);
        cells[column(L"Pair", L"K").column_index()] = text(key);
        cells[column(L"Pair", L"N").column_index()] = MakeIntegerFieldData(-32768);
        cells[value.column_index()] = text(text_value);
        return cells;
    };
    file_->AddRow(pairs, pair_row(L"z", L"marker"));
    file_->ModifyRow(value, row(L"Pair", L"marker", L"Value"), text(L"changed"));
    file_->AddRow(pairs, pair_row(L"w", L"gone"));
    file_->DeleteRow(pairs, row(L"Pair", L"gone", L"Value"));
    std::wstring expected = memory_picture();
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(expected, saved_picture(path_));
}

TEST_F(MsiFileChangesTest, MergingBringsInMissingTablesAndRows)
{
    std::wstring other_path = folder_.file(L"other.msi");
    CreateDatabaseFile(other_path,
                       {L"CREATE TABLE `Plain` (`Key` CHAR(20) NOT NULL, `Value` CHAR(40) PRIMARY KEY `Key`)",
                        L"CREATE TABLE `New` (`Id` CHAR(20) NOT NULL, `Data` OBJECT PRIMARY KEY `Id`)"});
    {
        MsiHandle database = msi::OpenDatabase(other_path, MSIDBOPEN_TRANSACT);
        Execute(database.get(), L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('A', 'other value')");
        Execute(database.get(), L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('Z', 'last')");
        Execute(database.get(), L"INSERT INTO `New` (`Id`, `Data`) VALUES (?, ?)",
                {Param::Text(L"n1"), Param::StreamFile(stream_a_)});
        msi::DatabaseCommit(database.get());
    }
    MsiFile other;
    other.Open(other_path, MSIDBOPEN_READONLY);
    file_->MergeTables(other);
    EXPECT_EQ(L"first", column(L"Plain", L"Value").display_str(*(*row(L"Plain", L"A"))[1]));
    EXPECT_EQ(L"last", column(L"Plain", L"Value").display_str(*(*row(L"Plain", L"Z"))[1]));
    ASSERT_TRUE(file_->FindTable(L"New"));
    EXPECT_EQ(1u, table(L"New").rows().size());
    // One row into Plain; the new table made and its row added.
    EXPECT_EQ(3u, file_->change_log().size());

    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    close();
    MsiHandle saved = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
    auto rows = SelectRows(saved.get(), L"SELECT `Data` FROM `New` WHERE `Id`='n1'");
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("stream of row a", rows[0][0]);
}

TEST_F(MsiFileChangesTest, SavingOnAWorkerWhileRowsAreAdded)
{
    MsiTable& plain = table(L"Plain");
    const int kRows = 60;
    std::atomic<bool> adding{true};
    std::atomic<int> saves{0};
    std::atomic<bool> started{false};
    std::thread worker([&] {
        started = true;
        // At least one save, and more for as long as rows are being added.
        do {
            file_->SaveDatabaseAs(folder_.file(L"copy" + std::to_wstring(saves) + L".msi"), false, L"");
            ++saves;
        } while (adding && saves < 20);
    });
    while (!started)
        Sleep(0);
    for (int at = 0; at < kRows; ++at) {
        wchar_t key[8];
        swprintf(key, 8, L"P%02d", at);
        file_->AddRow(plain, {text(key), text(L"added")});
    }
    adding = false;
    worker.join();
    close();
    // Every copy holds all rows added before its save took the log, and no part of a later one.
    for (int at = 0; at < saves; ++at) {
        MsiHandle saved =
            msi::OpenDatabase(folder_.file(L"copy" + std::to_wstring(at) + L".msi"), MSIDBOPEN_READONLY);
        auto rows = SelectRows(saved.get(), L"SELECT `Key` FROM `Plain` WHERE `Value`='added'");
        std::vector<std::string> keys;
        for (const auto& fields : rows)
            keys.push_back(fields[0]);
        std::sort(keys.begin(), keys.end());
        for (size_t key = 0; key < keys.size(); ++key) {
            char expected[8];
            snprintf(expected, sizeof(expected), "P%02u", static_cast<unsigned>(key));
            EXPECT_EQ(expected, keys[key]);
        }
    }
}

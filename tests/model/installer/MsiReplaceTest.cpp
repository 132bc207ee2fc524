// Replacing fetched rows against the platform's library on real database files: under Wine the replace
// is emulated, so these cases check that the emulation keeps every cell and fails without damage.
#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "../MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace model_testing;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class MsiReplaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"replace.msi");
        stream_a_ = folder_.file(L"a.bin");
        testing_support::WriteFileBytes(stream_a_, bytes("stream of row a"));
        stream_new_ = folder_.file(L"new.bin");
        testing_support::WriteFileBytes(stream_new_, bytes(std::string(5000, 'n')));
        CreateDatabaseFile(path_,
                           {L"CREATE TABLE `T` (`K` CHAR(20) NOT NULL, `K2` INT NOT NULL, `S` CHAR(20), "
                            L"`N` SHORT, `Data` OBJECT PRIMARY KEY `K`, `K2`)"});
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        const wchar_t* insert = L"INSERT INTO `T` (`K`, `K2`, `S`, `N`, `Data`) VALUES (?, ?, ?, ?, ?)";
        Execute(database.get(), insert,
                {Param::Text(L"a"), Param::Int(1), Param::Text(L"text a"), Param::Int(5),
                 Param::StreamFile(stream_a_)});
        Execute(database.get(), insert,
                {Param::Text(L"b"), Param::Int(2), Param::Null(), Param::Null(), Param::Null()});
        Execute(database.get(), insert,
                {Param::Text(L"c"), Param::Int(3), Param::Text(L"text c"), Param::Int(7), Param::Null()});
        msi::DatabaseCommit(database.get());
        tfc::clear_thread_messages();
    }

    static std::vector<BYTE> bytes(const std::string& text)
    {
        return std::vector<BYTE>(text.begin(), text.end());
    }

    // Fetches the row (key, key2) and replaces it with the values fill writes.
    void replace(MSIHANDLE database, const std::wstring& key, int key2,
                 const std::function<void(MSIHANDLE)>& fill)
    {
        MsiHandle view = Execute(database, L"SELECT * FROM `T` WHERE `K`=? AND `K2`=?",
                                 {Param::Text(key), Param::Int(key2)});
        MsiHandle record = msi::ViewFetch(view.get());
        ASSERT_TRUE(record);
        msi::ReplaceFetchedRow(database, L"T", view.get(), record.get(), fill);
    }

    Rows rows(MSIHANDLE database) { return SelectRows(database, L"SELECT * FROM `T` ORDER BY `K2`"); }

    // Commits, reopens and reads the table back.
    Rows committed_rows(MsiHandle& database)
    {
        msi::DatabaseCommit(database.get());
        database.reset();
        database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        return rows(database.get());
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_, stream_a_, stream_new_;
};

const Rows kInitialRows = {{"a", "1", "text a", "5", "stream of row a"},
                           {"b", "2", "<null>", "<null>", "<null>"},
                           {"c", "3", "text c", "7", "<null>"}};

} // namespace

TEST_F(MsiReplaceTest, SameKeyUpdatesCellsToValuesAndNulls)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    replace(database.get(), L"a", 1, [](MSIHANDLE record) {
        msi::RecordSetString(record, 3, nullptr);
        msi::RecordSetInteger(record, 4, -3);
    });
    replace(database.get(), L"b", 2, [](MSIHANDLE record) {
        msi::RecordSetString(record, 3, L"O'Brien");
        msi::RecordSetInteger(record, 4, 12);
    });
    Rows expected = {{"a", "1", "<null>", "-3", "stream of row a"},
                     {"b", "2", "O'Brien", "12", "<null>"},
                     {"c", "3", "text c", "7", "<null>"}};
    EXPECT_EQ(expected, committed_rows(database));
}

TEST_F(MsiReplaceTest, ChangedKeyMovesTheRowWithNullCellsAndItsStream)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    replace(database.get(), L"b", 2, [](MSIHANDLE record) { msi::RecordSetString(record, 1, L"b moved"); });
    replace(database.get(), L"a", 1, [](MSIHANDLE record) {
        msi::RecordSetString(record, 1, L"a moved");
        msi::RecordSetInteger(record, 2, 10);
    });
    Rows expected = {{"b moved", "2", "<null>", "<null>", "<null>"},
                     {"c", "3", "text c", "7", "<null>"},
                     {"a moved", "10", "text a", "5", "stream of row a"}};
    EXPECT_EQ(expected, rows(database.get()));
    // The stream is stored under the new key's name.
    EXPECT_EQ(
        1u, SelectRows(database.get(), L"SELECT `Name` FROM `_Streams` WHERE `Name`='T.a moved.10'").size());
    EXPECT_EQ(expected, committed_rows(database));
    // The moved rows are found under their new keys only.
    EXPECT_TRUE(SelectRows(database.get(), L"SELECT * FROM `T` WHERE `K`='a'").empty());
}

TEST_F(MsiReplaceTest, ChangedKeyWithANewStream)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    std::wstring stream = stream_new_;
    replace(database.get(), L"c", 3, [&](MSIHANDLE record) {
        msi::RecordSetString(record, 1, L"c2");
        msi::RecordSetStream(record, 5, stream);
    });
    // The user's file may go at once: the stream was taken when the row was written.
    DeleteFileW(stream_new_.c_str());
    Rows after = committed_rows(database);
    ASSERT_EQ(3u, after.size());
    EXPECT_EQ("c2", after[2][0]);
    EXPECT_EQ(std::string(5000, 'n'), after[2][4]);
    EXPECT_EQ(kInitialRows[0], after[0]);
}

TEST_F(MsiReplaceTest, RowAddedInThisSessionMovesAndCommits)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    Execute(database.get(), L"INSERT INTO `T` (`K`, `K2`, `Data`) VALUES (?, ?, ?)",
            {Param::Text(L"d"), Param::Int(4), Param::StreamFile(stream_new_)});
    replace(database.get(), L"d", 4, [](MSIHANDLE record) { msi::RecordSetString(record, 1, L"d2"); });
    Rows after = committed_rows(database);
    ASSERT_EQ(4u, after.size());
    EXPECT_EQ("d2", after[3][0]);
    EXPECT_EQ(std::string(5000, 'n'), after[3][4]);
}

TEST_F(MsiReplaceTest, ChangedStreamUnderTheSameKeyIsWrittenOrRefused)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    std::wstring stream = stream_new_;
    bool replaced = true;
    try {
        replace(database.get(), L"a", 1, [&](MSIHANDLE record) {
            msi::RecordSetString(record, 3, L"changed");
            msi::RecordSetStream(record, 5, stream);
        });
    } catch (const tfc::Win32Error& error) {
        // Wine cannot rewrite an existing stream before a commit: refused, never silently lost.
        EXPECT_EQ(L"MsiViewModify", error.function());
        EXPECT_FALSE(tfc::thread_messages().empty());
        tfc::clear_thread_messages();
        replaced = false;
    }
    Rows after = committed_rows(database);
    if (replaced) {
        EXPECT_EQ(std::string(5000, 'n'), after[0][4]);
    } else {
        EXPECT_EQ(kInitialRows, after);
    }
}

TEST_F(MsiReplaceTest, FailedMoveLeavesTheTableAsItWas)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    // Onto an existing key: the insert fails and the deleted row comes back with its stream.
    EXPECT_THROW(replace(database.get(), L"a", 1,
                         [](MSIHANDLE record) {
                             msi::RecordSetString(record, 1, L"c");
                             msi::RecordSetInteger(record, 2, 3);
                         }),
                 tfc::Win32Error);
    EXPECT_EQ(kInitialRows, rows(database.get()));
    EXPECT_EQ(kInitialRows, committed_rows(database));
}

TEST_F(MsiReplaceTest, InjectedInsertFailureLeavesTheOldRow)
{
    auto move_a = [](MSIHANDLE record) { msi::RecordSetString(record, 1, L"a2"); };
    // Fetches a and replaces it, with the nth execute of the replace failing (0: none); returns how
    // many executes the replace made.
    auto replace_failing = [&](MSIHANDLE database, unsigned nth) {
        MsiHandle view = Execute(database, L"SELECT * FROM `T` WHERE `K`='a'");
        MsiHandle record = msi::ViewFetch(view.get());
        msi::StartCountingCalls();
        if (nth)
            msi::FailCall(L"MsiViewExecute", nth, ERROR_FUNCTION_FAILED);
        msi::ReplaceFetchedRow(database, L"T", view.get(), record.get(), move_a);
        return msi::CallCount(L"MsiViewExecute");
    };
    // A dry run on a copy counts the executes of the replace; the library may replace rows itself.
    unsigned executes = 0;
    {
        msi::ScopedCallFaults faults;
        MsiHandle dry = msi::OpenDatabase(folder_.copy_in(path_, L"dry.msi"), MSIDBOPEN_TRANSACT);
        executes = replace_failing(dry.get(), 0);
    }
    if (executes == 0)
        GTEST_SKIP() << "the library replaces rows itself";

    Rows moved = {{"a2", "1", "text a", "5", "stream of row a"}, kInitialRows[1], kInitialRows[2]};
    // Each execute failing in turn: the replace fails and leaves the table as it was, or (when what
    // failed was only a rewind after the work) succeeds whole.
    for (unsigned nth = 1; nth <= executes; ++nth) {
        SCOPED_TRACE(nth);
        msi::ScopedCallFaults faults;
        std::wstring copy = folder_.copy_in(path_, L"fail" + std::to_wstring(nth) + L".msi");
        MsiHandle database = msi::OpenDatabase(copy, MSIDBOPEN_TRANSACT);
        bool failed = false;
        try {
            replace_failing(database.get(), nth);
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FUNCTION_FAILED), error.code());
            failed = true;
        }
        tfc::clear_thread_messages();
        msi::ClearCallFaults();
        const Rows& expected = failed ? kInitialRows : moved;
        EXPECT_EQ(expected, rows(database.get()));
        msi::DatabaseCommit(database.get());
        database.reset();
        database = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
        EXPECT_EQ(expected, rows(database.get()));
    }
}

TEST_F(MsiReplaceTest, StreamNameLeftByADeletedRowIsNotReused)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    Execute(database.get(), L"DELETE FROM `T` WHERE `K`='a'");
    std::wstring stream = stream_new_;
    // c moves to a's old key with a new stream; Wine would keep a's old bytes under that name.
    try {
        replace(database.get(), L"c", 3, [&](MSIHANDLE record) {
            msi::RecordSetString(record, 1, L"a");
            msi::RecordSetInteger(record, 2, 1);
            msi::RecordSetStream(record, 5, stream);
        });
        Rows after = committed_rows(database);
        ASSERT_EQ(2u, after.size());
        EXPECT_EQ(std::string(5000, 'n'), after[0][4]);
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiViewModify", error.function());
        tfc::clear_thread_messages();
        Rows expected = {kInitialRows[1], kInitialRows[2]};
        EXPECT_EQ(expected, committed_rows(database));
    }
}

TEST_F(MsiReplaceTest, NullStreamMovedOntoADeletedRowsNameDoesNotInheritItsBytes)
{
    MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
    Execute(database.get(), L"DELETE FROM `T` WHERE `K`='a'");
    // b has no stream; Wine shows a's old stream under b's new key until the file is committed and
    // closed, when the kept stream goes.
    replace(database.get(), L"b", 2, [](MSIHANDLE record) {
        msi::RecordSetString(record, 1, L"a");
        msi::RecordSetInteger(record, 2, 1);
    });
    Rows expected = {{"a", "1", "<null>", "<null>", "<null>"}, kInitialRows[2]};
    EXPECT_EQ(expected, committed_rows(database));
}

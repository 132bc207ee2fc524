// Tables on real database files: loading, the SQL they write, conditions that name exactly one row, stream
// extraction, copying and merging.
#include "model/MsiBinaryData.h"
#include "model/installer/MsiCallFaults.h"
#include "model/MsiFile.h"
#include "model/MsiQuery.h"
#include "foundation/MessageTrail.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"
#include "tools/ModelDump.h"

#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

using namespace model_testing;

namespace {

const wchar_t* const kPeople = L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), "
                               L"`Age` SHORT, `Photo` OBJECT PRIMARY KEY `Name`, `Alias`)";
const wchar_t* const kInsertPerson =
    L"INSERT INTO `People` (`Name`, `Alias`, `Age`, `Photo`) VALUES (?, ?, ?, ?)";
const wchar_t* const kCrafted = L"x' OR `Name`<>'x";

class MsiTableTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"people.msi");
        CreateDatabaseFile(path_, {kPeople});
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        const std::vector<std::pair<std::wstring, std::wstring>> people = {
            {L"O'Brien", L"ob"}, {kCrafted, L"crafted"}, {L"Plain", L""}, {L"Plain", L"p2"}, {L"x", L""}};
        int age = 30;
        for (const auto& person : people) {
            std::wstring photo = folder_.file(L"photo" + std::to_wstring(age) + L".bin");
            std::string bytes = "photo of " + std::to_string(age);
            testing_support::WriteFileBytes(photo, std::vector<BYTE>(bytes.begin(), bytes.end()));
            Execute(database.get(), kInsertPerson,
                    {Param::Text(person.first),
                     person.second.empty() ? Param::Null() : Param::Text(person.second), Param::Int(age++),
                     Param::StreamFile(photo)});
        }
        msi::DatabaseCommit(database.get());
    }

    // The row of the model's table with this key text.
    MsiRow& row(MsiTable& table, const std::wstring& key_text)
    {
        for (MsiRow& candidate : table.rows()) {
            if (table.RowKeyText(candidate) == key_text)
                return candidate;
        }
        throw std::runtime_error("no such row");
    }

    std::string extracted(MsiTable& table, MsiRow& person)
    {
        table.ExtractCell(person, *table.columns()[3]);
        std::vector<BYTE> bytes = testing_support::ReadFileBytes(MsiBinaryData(*person[3]).path);
        return std::string(bytes.begin(), bytes.end());
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
};

} // namespace

TEST_F(MsiTableTest, LoadsColumnsKeysAndCells)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    MsiTableRef table = file.FindTable(L"People");
    ASSERT_TRUE(table);
    ASSERT_EQ(4u, table->columns().size());
    EXPECT_TRUE(table->columns()[0]->is_key());
    EXPECT_TRUE(table->columns()[1]->is_key());
    EXPECT_FALSE(table->columns()[2]->is_key());
    EXPECT_EQ(MsiFieldKind::Binary, table->columns()[3]->kind());
    EXPECT_EQ(3, table->columns()[3]->column_index());
    EXPECT_EQ(5u, table->rows().size());
    MsiRow& plain = row(*table, L"Plain|<null>");
    EXPECT_TRUE(plain[1]->is_null());
    EXPECT_EQ(32, plain[2]->integer());
    // Stream cells are not read at load time.
    EXPECT_EQ(MsiBinaryData::NotExtracted, MsiBinaryData(*plain[3]).state);
    EXPECT_FALSE(plain[3]->is_null());
}

TEST_F(MsiTableTest, SqlTexts)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    MsiTable& table = *file.FindTable(L"People");
    EXPECT_EQ(L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` INT, `Photo` OBJECT "
              L"PRIMARY KEY `Name`, `Alias`)",
              table.CreateSql());
    EXPECT_EQ(L"INSERT INTO `People` (`Name`, `Alias`, `Age`, `Photo`) VALUES (?, ?, ?, ?)",
              table.InsertSql());

    SqlCondition both = table.KeyWhereClause(row(table, L"O'Brien|ob"));
    EXPECT_EQ(L"`Name`=? AND `Alias`=?", both.text);
    EXPECT_EQ(L"O'Brien, ob", MsiQuery::RecordText(both.params.get()));
    SqlCondition null_key = table.KeyWhereClause(row(table, L"Plain|<null>"));
    EXPECT_EQ(L"`Name`=? AND `Alias` IS NULL", null_key.text);
    EXPECT_EQ(L"Plain", MsiQuery::RecordText(null_key.params.get()));

    MsiRow& plain = row(table, L"Plain|<null>");
    plain[0]->set_string(L"tab\there");
    plain[3]->set_null();
    EXPECT_EQ(L"\"tab\there\"\t\t32\t", table.RowText(plain));
}

TEST_F(MsiTableTest, ConditionsNameExactlyOneRow)
{
    auto file = std::make_unique<MsiFile>();
    file->Open(path_, MSIDBOPEN_TRANSACT);
    MsiTable& table = *file->FindTable(L"People");
    for (const wchar_t* key : {L"O'Brien|ob", L"x' OR `Name`<>'x|crafted", L"Plain|<null>", L"x|<null>"}) {
        SCOPED_TRACE(key);
        MsiRow& person = row(table, key);
        int age = person[2]->integer();
        EXPECT_EQ("photo of " + std::to_string(age), extracted(table, person));
        SqlCondition where = table.KeyWhereClause(person);
        MsiHandle view = MsiQuery::OpenAndExecute(
            file->handle(), L"SELECT * FROM `People` WHERE " + where.text, where.params.get());
        ASSERT_TRUE(msi::ViewFetch(view.get()));
        EXPECT_FALSE(msi::ViewFetch(view.get()));
    }

    // A delete and a replace through those conditions touch only their rows.
    MsiRow& crafted = row(table, L"x' OR `Name`<>'x|crafted");
    SqlCondition where = table.KeyWhereClause(crafted);
    MsiQuery::OpenAndExecute(file->handle(), L"DELETE FROM `People` WHERE " + where.text, where.params.get());
    where = table.KeyWhereClause(row(table, L"O'Brien|ob"));
    MsiHandle view = MsiQuery::OpenAndExecute(file->handle(), L"SELECT * FROM `People` WHERE " + where.text,
                                              where.params.get());
    MsiHandle record = msi::ViewFetch(view.get());
    msi::ReplaceFetchedRow(file->handle(), L"People", view.get(), record.get(),
                           [](MSIHANDLE fetched) { msi::RecordSetInteger(fetched, 3, 99); });
    record.reset();
    view.reset();
    msi::DatabaseCommit(file->handle());
    file.reset();

    MsiFile reopened;
    reopened.Open(path_, MSIDBOPEN_READONLY);
    MsiTable& after = *reopened.FindTable(L"People");
    EXPECT_EQ(4u, after.rows().size());
    EXPECT_EQ(99, row(after, L"O'Brien|ob")[2]->integer());
    EXPECT_EQ(32, row(after, L"Plain|<null>")[2]->integer());
    EXPECT_EQ(33, row(after, L"Plain|p2")[2]->integer());
    EXPECT_EQ(34, row(after, L"x|<null>")[2]->integer());
}

TEST_F(MsiTableTest, StreamCellsOfEverySizeExtractWhole)
{
    std::wstring path = folder_.file(L"sizes.msi");
    CreateDatabaseFile(path,
                       {L"CREATE TABLE `Blob` (`Size` LONG NOT NULL, `Data` OBJECT PRIMARY KEY `Size`)"});
    const int sizes[] = {0, 1, 4095, 4096, 4097, 10000};
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        for (int size : sizes) {
            std::vector<BYTE> bytes(size);
            for (int at = 0; at < size; ++at)
                bytes[at] = static_cast<BYTE>(at * 7 + size);
            std::wstring source = folder_.file(L"blob" + std::to_wstring(size));
            testing_support::WriteFileBytes(source, bytes);
            Execute(database.get(), L"INSERT INTO `Blob` (`Size`, `Data`) VALUES (?, ?)",
                    {Param::Int(size), Param::StreamFile(source)});
        }
        msi::DatabaseCommit(database.get());
    }
    MsiFile file;
    file.Open(path, MSIDBOPEN_READONLY);
    MsiTable& table = *file.FindTable(L"Blob");
    for (MsiRow& blob : table.rows()) {
        int size = blob[0]->integer();
        SCOPED_TRACE(size);
        msi::ScopedCallFaults faults;
        msi::StartCountingCalls();
        table.ExtractRowBinaries(blob);
        // Reads stop at the first block shorter than 4096 bytes.
        EXPECT_EQ(static_cast<unsigned>(size / 4096 + 1), msi::CallCount(L"MsiRecordReadStream"));
        MsiBinaryData data(*blob[1]);
        ASSERT_EQ(MsiBinaryData::Extracted, data.state);
        std::vector<BYTE> expected =
            testing_support::ReadFileBytes(folder_.file(L"blob" + std::to_wstring(size)));
        EXPECT_EQ(expected, testing_support::ReadFileBytes(data.path));
        EXPECT_EQ(*FileMd5(folder_.file(L"blob" + std::to_wstring(size))).digest, *data.digest);
        if (size == 0) {
            EXPECT_EQ(L"d41d8cd98f00b204e9800998ecf8427e", model_dump::HexText(*data.digest));
        }
        // A second extraction does not go to the database.
        msi::StartCountingCalls();
        table.ExtractRowBinaries(blob);
        EXPECT_EQ(0u, msi::CallCount(L"MsiRecordReadStream"));
        EXPECT_EQ(0u, msi::CallCount(L"MsiDatabaseOpenView"));
    }
}

TEST_F(MsiTableTest, CreateAndInsertRowsWriteAnotherDatabase)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    MsiTable& table = *file.FindTable(L"People");
    table.ExtractBinaries();
    // A cell set from the user's file still writes that file's bytes after the file is gone.
    std::wstring user_file = folder_.file(L"user.bin");
    std::string user_bytes = "the user's photo";
    testing_support::WriteFileBytes(user_file, std::vector<BYTE>(user_bytes.begin(), user_bytes.end()));
    table.columns()[3]->set_field_data(*row(table, L"Plain|<null>")[3], user_file);
    DeleteFileW(user_file.c_str());
    std::wstring copy = folder_.file(L"copy.msi");
    {
        MsiHandle database = msi::OpenDatabase(copy, MSIDBOPEN_CREATE);
        table.Create(database.get());
        table.InsertRows(database.get());
        msi::DatabaseCommit(database.get());
    }
    MsiFile written;
    written.Open(copy, MSIDBOPEN_READONLY);
    MsiTable& same = *written.FindTable(L"People");
    ASSERT_EQ(5u, same.rows().size());
    EXPECT_EQ(table.CreateSql(), same.CreateSql());
    for (const wchar_t* key : {L"O'Brien|ob", L"x' OR `Name`<>'x|crafted"}) {
        MsiRow& person = row(same, key);
        EXPECT_EQ("photo of " + std::to_string(person[2]->integer()), extracted(same, person));
    }
    EXPECT_EQ(user_bytes, extracted(same, row(same, L"Plain|<null>")));
}

TEST_F(MsiTableTest, CopyAndMerge)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    MsiTable& people = *file.FindTable(L"People");
    people.ExtractBinaries();

    MsiTableRef empty(new MsiTable(L"People", nullptr));
    std::vector<MsiRow> added = empty->MergeFrom(people);
    EXPECT_EQ(4u, empty->columns().size());
    EXPECT_EQ(5u, added.size());

    MsiTableRef copy(new MsiTable(L"People", nullptr));
    copy->CopyFrom(people);
    ASSERT_EQ(5u, copy->rows().size());
    copy->rows().pop_front();
    added = copy->MergeFrom(people);
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ(people.RowKeyText(people.rows().front()), people.RowKeyText(added[0]));
    // Merged rows are copies: their stream cells have files of their own.
    EXPECT_NE(MsiBinaryData(*added[0][3]).path, MsiBinaryData(*people.rows().front()[3]).path);

    struct Mismatch
    {
        const wchar_t* sql;
        const wchar_t* trail;
    };
    const Mismatch mismatches[] = {
        {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Nick` CHAR(40), `Age` SHORT, `Photo` OBJECT "
         L"PRIMARY KEY `Name`, `Nick`)",
         L"Differing field names for field index: 1"},
        {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` CHAR(5), `Photo` OBJECT "
         L"PRIMARY KEY `Name`, `Alias`)",
         L"Differing field types for field index: 2. Target: `Age` CHAR(5). Source: `Age` INT"},
        {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` SHORT, `Photo` OBJECT "
         L"PRIMARY KEY `Name`)",
         L"Differing key flags for field index: 1. Target: not key. Source: key"},
        {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` SHORT PRIMARY KEY "
         L"`Name`, "
         L"`Alias`)",
         L"Differing field counts. Target: 3. Source: 4"},
        {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` SHORT, `Photo` OBJECT, "
         L"`Since` SHORT NOT NULL PRIMARY KEY `Name`, `Alias`)",
         L"Differing field counts. Target: 5. Source: 4"},
    };
    int number = 0;
    for (const Mismatch& mismatch : mismatches) {
        SCOPED_TRACE(mismatch.trail);
        std::wstring other_path = folder_.file(L"other" + std::to_wstring(number++) + L".msi");
        CreateDatabaseFile(other_path, {mismatch.sql});
        MsiFile other;
        other.Open(other_path, MSIDBOPEN_READONLY);
        MsiTable& target = *other.FindTable(L"People");
        size_t columns = target.columns().size();
        tfc::clear_thread_messages();
        EXPECT_THROW(target.MergeFrom(people), tfc::NullError);
        EXPECT_EQ(mismatch.trail, tfc::joined_thread_messages());
        tfc::clear_thread_messages();
        EXPECT_EQ(columns, target.columns().size());
        EXPECT_TRUE(target.rows().empty());
    }

    // A later version of the table, with a nullable column at the end, takes the rows with a null there.
    std::wstring later_path = folder_.file(L"later.msi");
    CreateDatabaseFile(later_path,
                       {L"CREATE TABLE `People` (`Name` CHAR(40) NOT NULL, `Alias` CHAR(40), `Age` "
                        L"SHORT, `Photo` OBJECT, `Since` SHORT PRIMARY KEY `Name`, `Alias`)"});
    MsiFile later;
    later.Open(later_path, MSIDBOPEN_READONLY);
    added = later.FindTable(L"People")->MergeFrom(people);
    ASSERT_EQ(5u, added.size());
    for (const MsiRow& row : added) {
        ASSERT_EQ(5u, row.size());
        EXPECT_TRUE(row[4]->is_null());
        EXPECT_FALSE(row[0]->is_null());
    }
}

TEST_F(MsiTableTest, EveryColumnTypeRoundTripsThroughCreateTable)
{
    const std::vector<std::wstring> types = {L"s72", L"S255", L"s0", L"S0", L"l64", L"L0",
                                             L"i2",  L"I2",   L"i4", L"I4", L"v0",  L"V0"};
    MsiTableRef table(new MsiTable(L"Types", nullptr));
    for (size_t at = 0; at < types.size(); ++at)
        table->columns().push_back(
            MakeFieldDef(L"C" + std::to_wstring(at), at == 0, types[at], static_cast<int>(at), nullptr));
    std::wstring path = folder_.file(L"types.msi");
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
        table->Create(database.get());
        msi::DatabaseCommit(database.get());
    }
    MsiFile file;
    file.Open(path, MSIDBOPEN_READONLY);
    MsiTable& loaded = *file.FindTable(L"Types");
    ASSERT_EQ(types.size(), loaded.columns().size());
    for (size_t at = 0; at < types.size(); ++at) {
        EXPECT_EQ(types[at], loaded.columns()[at]->type_text());
        EXPECT_EQ(table->columns()[at]->sql_definition(), loaded.columns()[at]->sql_definition());
        EXPECT_EQ(at == 0, loaded.columns()[at]->is_key());
    }
}

TEST(MsiQuery, FailedExecuteNamesTheStatementAndItsParameters)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"q.msi");
    CreateDatabaseFile(path, {L"CREATE TABLE `T` (`K` CHAR(9) NOT NULL, `N` SHORT PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    MsiHandle params = ParamRecord({Param::Text(L"O'Brien"), Param::Int(7)});
    const std::wstring sql = L"INSERT INTO `T` (`K`, `N`) VALUES (?, ?)";
    msi::ScopedCallFaults faults;
    msi::FailCall(L"MsiViewExecute", 1, ERROR_FUNCTION_FAILED);
    tfc::clear_thread_messages();
    EXPECT_THROW(MsiQuery::OpenAndExecute(database.get(), sql, params.get()), tfc::Win32Error);
    EXPECT_EQ(L"Failed to execute sql query: " + sql + L"\r\n\twith params: O'Brien, 7",
              tfc::joined_thread_messages());
    tfc::clear_thread_messages();

    EXPECT_FALSE(MsiQuery::TableExists(database.get(), L"O'Brien"));
    EXPECT_TRUE(MsiQuery::TableExists(database.get(), L"T"));
    EXPECT_THROW(MsiQuery::QuoteName(L"a`b"), std::runtime_error);
    // An unknown component has no qualifiers, and that is no error.
    EXPECT_TRUE(EnumQualifiedComponents(L"{6F1E1C5A-0000-4C1D-9D4E-000000000001}").empty());
}

TEST(MsiTableKeys, NullMarkerInANumberKeyFindsItsRowAsNull)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"numbers.msi");
    CreateDatabaseFile(path,
                       {L"CREATE TABLE `Numbers` (`Id` SHORT, `Text` CHAR(10) PRIMARY KEY `Id`, `Text`)"});
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        Execute(database.get(), L"INSERT INTO `Numbers` (`Id`, `Text`) VALUES (?, ?)",
                {Param::Int(5), Param::Text(L"five")});
        msi::DatabaseCommit(database.get());
    }
    MsiFile file;
    file.Open(path, MSIDBOPEN_READONLY);
    MsiTable& table = *file.FindTable(L"Numbers");
    MsiRow& five = table.rows().front();
    // Typed by the user: the database holds null for it, so the condition must say so.
    table.columns()[0]->set_field_data(*five[0], L"-32768");
    SqlCondition where = table.KeyWhereClause(five);
    EXPECT_EQ(L"`Id` IS NULL AND `Text`=?", where.text);
    EXPECT_EQ(L"five", MsiQuery::RecordText(where.params.get()));
}

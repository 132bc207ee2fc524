// Integer columns declared with size 1, as one toolset writes them: stored in 2 bytes, they must read,
// edit, save and go through a transform with their true values.
#include "model/MsiFile.h"
#include "model/MsiTransform.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformWriter.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "MsiTestDatabase.h"
#include "TransformTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <set>

using namespace model_testing;

namespace {

std::string ReadStream(IStorage* storage, const std::wstring& packed)
{
    msi::ComRef<IStream> stream;
    msi::CheckHresult(
        storage->OpenStream(packed.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.receive()),
        L"IStorage::OpenStream");
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

// Rewrites every 2-byte integer type word in _Columns to size 1, as that toolset stores them.
void MakeSizeOne(const std::wstring& path)
{
    msi::ComRef<IStorage> storage;
    msi::CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0,
                                     storage.receive()),
                      L"StgOpenStorage");
    std::wstring packed = msi::PackStreamName(L"_Columns", true);
    std::string bytes = ReadStream(storage.get(), packed);
    // Table, Number, Name, Type: four 2-byte columns, column by column.
    size_t rows = bytes.size() / 8;
    for (size_t row = 0; row < rows; ++row) {
        unsigned char* type = reinterpret_cast<unsigned char*>(&bytes[6 * rows + 2 * row]);
        unsigned word = type[0] | type[1] << 8;
        if ((word & 0x08FF) == 0x0002) // an integer of size 2 (stored offset by 0x8000)
            type[0] = 0x01;
    }
    msi::ComRef<IStream> stream;
    msi::CheckHresult(
        storage->OpenStream(packed.c_str(), nullptr, STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, stream.receive()),
        L"IStorage::OpenStream");
    ULONG written = 0;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    stream->Commit(STGC_DEFAULT);
    storage->Commit(STGC_DEFAULT);
}

// The stored 2-byte values of the first column of a table whose rows are width bytes wide.
std::multiset<int> StoredFirstColumn(const std::wstring& path, const std::wstring& table, size_t width)
{
    msi::ComRef<IStorage> storage;
    msi::CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                     storage.receive()),
                      L"StgOpenStorage");
    std::string bytes = ReadStream(storage.get(), msi::PackStreamName(table, true));
    std::multiset<int> values;
    for (size_t row = 0; row < bytes.size() / width; ++row)
        values.insert((static_cast<unsigned char>(bytes[2 * row]) |
                       static_cast<unsigned char>(bytes[2 * row + 1]) << 8) -
                      0x8000);
    return values;
}

// "K=N" for each row of Small, as the model reads it.
std::multiset<std::wstring> ModelRows(MsiFile& file)
{
    MsiTable& table = *file.FindTable(L"Small");
    std::multiset<std::wstring> rows;
    for (MsiRow& row : table.rows())
        rows.insert(table.columns()[0]->display_str(*row[0]) + L"=" +
                    table.columns()[1]->display_str(*row[1]));
    return rows;
}

class SizeOneIntegerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"small.msi");
        CreateDatabaseFile(path_, {L"CREATE TABLE `Small` (`K` SHORT NOT NULL, `N` SHORT, `Text` CHAR(20) "
                                   L"PRIMARY KEY `K`)",
                                   L"INSERT INTO `Small` (`K`, `N`, `Text`) VALUES (6, -3, 'six')",
                                   L"INSERT INTO `Small` (`K`, `Text`) VALUES (-5, 'minus five')"});
        MakeSizeOne(path_);
    }

    MsiFieldDataRef number(int value) { return MakeIntegerFieldData(value); }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
};

} // namespace

TEST_F(SizeOneIntegerTest, ReadEditedAndSavedWithTheirTrueValues)
{
    {
        MsiFile file;
        file.Open(path_, MSIDBOPEN_TRANSACT);
        MsiTable& table = *file.FindTable(L"Small");
        ASSERT_EQ(1u, table.columns()[0]->width());
        EXPECT_EQ((std::multiset<std::wstring>{L"-5=<null>", L"6=-3"}), ModelRows(file));
        file.AddRow(table,
                    {number(7), number(-2), MsiFieldDataRef(new MsiFieldData(std::wstring(L"seven")))});
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
            if (table.columns()[0]->display_str(*(*row)[0]) == L"-5") {
                file.DeleteRow(table, row);
                break;
            }
        }
        file.ModifyRow(*table.columns()[1], table.rows().begin(), number(11));
        EXPECT_EQ((std::multiset<std::wstring>{L"6=11", L"7=-2"}), ModelRows(file));
        file.SaveInPlace(false, L"");
    }
    EXPECT_EQ((std::multiset<int>{6, 7}), StoredFirstColumn(path_, L"Small", 6));
    MsiFile saved;
    saved.Open(path_, MSIDBOPEN_READONLY);
    EXPECT_EQ((std::multiset<std::wstring>{L"6=11", L"7=-2"}), ModelRows(saved));
}

// The writer reads such columns by their stored size and writes them as any 2-byte column: a delete of
// key 6, then inserts of keys 8 and 9 with values -8 and -9.
TEST_F(SizeOneIntegerTest, TransformsCarryTheirTrueValues)
{
    std::wstring changed_path = folder_.copy_in(path_, L"changed.msi");
    MsiHandle changed = msi::OpenDatabase(changed_path, MSIDBOPEN_TRANSACT);
    MsiHandle reference = msi::OpenDatabase(path_, MSIDBOPEN_READONLY);
    std::wstring insert = L"INSERT INTO `Small` (`K`, `N`, `Text`) VALUES (?, ?, 'new')";
    for (int key : {8, 9}) {
        MsiHandle record = msi::CreateRecord(2);
        msi::RecordSetColumnInteger(record.get(), 1, key, 1);
        msi::RecordSetColumnInteger(record.get(), 2, -key, 1);
        msi::ViewExecute(msi::DatabaseOpenView(changed.get(), insert).get(), record.get());
    }
    Execute(changed.get(), L"DELETE FROM `Small` WHERE `K` = 6");
    std::wstring transform = folder_.file(L"small.mst");
    ASSERT_TRUE(msi::WriteTransform(changed.get(), reference.get(), transform));
    std::string records =
        transform_testing::ReadTransformStream(transform, msi::PackStreamName(L"Small", true));
    // Mask, K, and for inserts N and the text's pool id (1).
    EXPECT_EQ(std::string("\x00\x00\x06\x80"
                          "\x01\x03\x08\x80\xF8\x7F\x01\x00"
                          "\x01\x03\x09\x80\xF7\x7F\x01\x00",
                          20),
              records);
}

namespace {

// "K=N:Text" for each row of the table, read through the layer; "-" for null.
std::multiset<std::wstring> LayerRows(MSIHANDLE database, const std::wstring& table)
{
    MsiHandle view = msi::DatabaseOpenView(database, L"SELECT * FROM `" + table + L"`");
    msi::ViewExecute(view.get(), 0);
    UINT fields = msi::RecordGetFieldCount(msi::ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES).get());
    std::multiset<std::wstring> rows;
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        std::wstring row;
        for (UINT field = 1; field <= fields; ++field) {
            row += field == 1 ? L"" : field == 2 ? L"=" : L":";
            if (msi::RecordIsNull(record.get(), field))
                row += L"-";
            else if (field < 3)
                row += std::to_wstring(msi::RecordGetColumnInteger(record.get(), field, 1));
            else
                row += msi::RecordGetString(record.get(), field);
        }
        rows.insert(row);
    }
    return rows;
}

} // namespace

// Wine's apply stores the values of such columns as if they were 4-byte ones (6 read -32762, and keys
// were not found, so updates and deletes became stray rows). Inserted, changed and deleted rows, a key
// and a value of 0, and a new table, read after the apply, after a commit and reopen, and as the
// transform document shows them.
TEST_F(SizeOneIntegerTest, AppliedTransformsGiveTheirTrueValues)
{
    std::wstring changed_path = folder_.copy_in(path_, L"changed.msi");
    {
        MsiHandle changed = msi::OpenDatabase(changed_path, MSIDBOPEN_TRANSACT);
        Execute(changed.get(), L"CREATE TABLE `Fresh` (`Id` SHORT NOT NULL, `V` SHORT PRIMARY KEY `Id`)");
        Execute(changed.get(), L"INSERT INTO `Fresh` (`Id`, `V`) VALUES (3, -3)");
        msi::DatabaseCommit(changed.get());
    }
    MakeSizeOne(changed_path);
    std::wstring transform = folder_.file(L"small.mst");
    {
        MsiHandle changed = msi::OpenDatabase(changed_path, MSIDBOPEN_TRANSACT);
        std::wstring insert = L"INSERT INTO `Small` (`K`, `N`, `Text`) VALUES (?, ?, 'new')";
        for (std::pair<int, int> row :
             {std::make_pair(8, -127), std::make_pair(9, 1), std::make_pair(0, 0)}) {
            MsiHandle record = msi::CreateRecord(2);
            msi::RecordSetColumnInteger(record.get(), 1, row.first, 1);
            msi::RecordSetColumnInteger(record.get(), 2, row.second, 1);
            msi::ViewExecute(msi::DatabaseOpenView(changed.get(), insert).get(), record.get());
        }
        MsiHandle six = msi::CreateRecord(1);
        msi::RecordSetColumnInteger(six.get(), 1, 6, 1);
        msi::ViewExecute(
            msi::DatabaseOpenView(changed.get(), L"UPDATE `Small` SET `N` = ? WHERE `K` = 6").get(),
            six.get());
        Execute(changed.get(), L"UPDATE `Small` SET `Text` = 'changed' WHERE `K` = 6");
        Execute(changed.get(), L"DELETE FROM `Small` WHERE `K` = -5");
        MsiHandle reference = msi::OpenDatabase(path_, MSIDBOPEN_READONLY);
        ASSERT_TRUE(msi::WriteTransform(changed.get(), reference.get(), transform));
    }
    const std::multiset<std::wstring> small = {L"0=0:new", L"6=6:changed", L"8=-127:new", L"9=1:new"};
    const std::multiset<std::wstring> fresh = {L"3=-3"};

    // In the open database, then committed and reopened.
    for (bool reopen : {false, true}) {
        SCOPED_TRACE(reopen ? "reopened" : "in memory");
        MsiHandle applied = transform_testing::ApplyToCopy(path_, folder_.copy_in(transform, L"copy.mst"),
                                                           folder_.path(), reopen);
        EXPECT_EQ(small, LayerRows(applied.get(), L"Small"));
        EXPECT_EQ(fresh, LayerRows(applied.get(), L"Fresh"));
    }
    // A database given as the transform is still refused, though its tables have such columns.
    {
        MsiHandle copy = msi::OpenDatabase(folder_.copy_in(path_, L"target.msi"), MSIDBOPEN_TRANSACT);
        EXPECT_THROW(msi::DatabaseApplyTransform(copy.get(), changed_path, 0), tfc::Win32Error);
    }
    // The transform document.
    MsiTransform document;
    document.Open(path_, transform, true, false, false);
    EXPECT_EQ((std::multiset<std::wstring>{L"0=0", L"6=6", L"8=-127", L"9=1"}), ModelRows(document));
}

// Opening databases: modes, failures that leave the object reusable, system tables, the code page and the
// file's time stamp.
#include "model/MsiFile.h"
#include "model/MsiSchema.h"
#include "foundation/Errors.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace model_testing;

namespace {

class MsiFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"file.msi");
        CreateDatabaseFile(path_, {L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR "
                                   L"NOT NULL LOCALIZABLE PRIMARY KEY `Property`)",
                                   L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('A', 'one')"});
    }

    void expect_open_error(MsiFile& file, const std::wstring& path)
    {
        try {
            file.Open(path, MSIDBOPEN_TRANSACT);
            FAIL() << "opened";
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(L"MsiOpenDatabase", error.function());
            EXPECT_NE(0u, error.code());
        }
        EXPECT_TRUE(file.tables().empty());
        EXPECT_EQ(0u, file.handle());
        EXPECT_TRUE(file.read_only());
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
};

} // namespace

TEST_F(MsiFileTest, OpensWithUserAndSystemTables)
{
    MsiFile file;
    EXPECT_TRUE(file.read_only());
    EXPECT_FALSE(file.Open(path_, MSIDBOPEN_TRANSACT));
    EXPECT_EQ(path_, file.path());
    EXPECT_NE(0u, file.handle());
    std::vector<std::wstring> names;
    for (const auto& entry : file.tables())
        names.push_back(entry.first);
    EXPECT_EQ((std::vector<std::wstring>{L"Property", L"_Columns", L"_Storages", L"_Streams", L"_Tables"}),
              names);
    EXPECT_TRUE(file.FindTable(L"Property")->user_table());
    EXPECT_FALSE(file.FindTable(L"_Tables")->user_table());
    EXPECT_TRUE(file.FindTable(L"_Streams")->columns()[0]->is_key());
    EXPECT_EQ(1u, file.FindTable(L"_Tables")->rows().size());
    EXPECT_FALSE(file.summary_info().empty());
    EXPECT_TRUE(file.Open(path_, MSIDBOPEN_READONLY));
    EXPECT_THROW(file.AddTable(MsiTableRef(new MsiTable(L"Property", &file))), std::runtime_error);
}

TEST_F(MsiFileTest, WriteProtectedFilesOpenReadOnly)
{
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY);
    MsiFile file;
    EXPECT_TRUE(file.Open(path_, MSIDBOPEN_TRANSACT));
    EXPECT_TRUE(file.read_only());
    EXPECT_EQ(1u, file.FindTable(L"Property")->rows().size());
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(MsiFileTest, FailedOpenLeavesTheObjectReadyForTheNext)
{
    std::wstring bad = folder_.file(L"bad.msi");
    testing_support::WriteFileBytes(bad, std::vector<BYTE>(2048, 0x41));
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    expect_open_error(file, bad);
    expect_open_error(file, folder_.file(L"missing.msi"));
    EXPECT_FALSE(file.Open(path_, MSIDBOPEN_TRANSACT));
    EXPECT_EQ(5u, file.tables().size());
}

TEST_F(MsiFileTest, MissingSchemaFailsTheOpenUntilItIsBack)
{
    MsiSchema::SetFilePath(folder_.file(L"no-schema.dat"));
    MsiFile file;
    expect_open_error(file, path_);
    MsiSchema::SetFilePath(std::wstring());
    EXPECT_FALSE(file.Open(path_, MSIDBOPEN_TRANSACT));
    EXPECT_TRUE(file.FindTable(L"Property")->columns()[0]->field_schema());
}

TEST_F(MsiFileTest, CodePageChangesOnlyToAcceptedValues)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_TRANSACT);
    EXPECT_EQ(0u, file.GetCodepage());
    file.SetCodepage(1252);
    EXPECT_EQ(1252u, file.GetCodepage());
    try {
        file.SetCodepage(99999);
        FAIL() << "took code page 99999";
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(L"Unable to change the code page", error.caption);
        EXPECT_EQ(L"This is most likely an invalid code page for the characters within the msi",
                  error.message);
    }
    EXPECT_EQ(1252u, file.GetCodepage());
}

TEST_F(MsiFileTest, UnsavedWritableCloseKeepsTheTimeStamp)
{
    SetLastWriteTime(path_, OldTime());
    {
        MsiFile file;
        file.Open(path_, MSIDBOPEN_TRANSACT);
        Execute(file.handle(), L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('B', 'two')");
    }
    FILETIME old_time = OldTime(), now = LastWriteTime(path_);
    EXPECT_EQ(0, CompareFileTime(&old_time, &now));
    {
        MsiFile file;
        file.Open(path_, MSIDBOPEN_TRANSACT);
        EXPECT_EQ(1u, file.FindTable(L"Property")->rows().size());
        msi::DatabaseCommit(file.handle());
        file.ClearSavedTime();
    }
    now = LastWriteTime(path_);
    EXPECT_NE(0, CompareFileTime(&old_time, &now));
}

TEST_F(MsiFileTest, RefreshedSchemaTablesKeepTheirObjects)
{
    MsiFile file;
    file.Open(path_, MSIDBOPEN_TRANSACT);
    MsiTableRef tables = file.FindTable(L"_Tables");
    MsiTableRef columns = file.FindTable(L"_Columns");
    size_t column_rows = columns->rows().size();
    Execute(file.handle(), L"CREATE TABLE `Extra` (`Id` SHORT NOT NULL, `Text` CHAR(5) PRIMARY KEY `Id`)");
    file.RefreshSchemaTables();
    EXPECT_EQ(tables.get(), file.FindTable(L"_Tables").get());
    EXPECT_EQ(2u, tables->rows().size());
    EXPECT_EQ(column_rows + 2, columns->rows().size());

    file.EraseTable(L"_Columns");
    EXPECT_THROW(file.RefreshSchemaTables(), std::runtime_error);
}

TEST_F(MsiFileTest, SwitchToPathMovesTheHandle)
{
    SetLastWriteTime(path_, OldTime());
    std::wstring other = folder_.copy_in(path_, L"other.msi");
    {
        MsiFile file;
        file.Open(path_, MSIDBOPEN_READONLY);
        file.SwitchToPath(other);
        EXPECT_EQ(other, file.path());
        EXPECT_FALSE(file.read_only());
        Execute(file.handle(), L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('C', 'three')");
        msi::DatabaseCommit(file.handle());
    }
    // The time the first path had when it was opened is not put on the second at close.
    FILETIME old_time = OldTime(), now = LastWriteTime(other);
    EXPECT_NE(0, CompareFileTime(&old_time, &now));
    MsiHandle reopened = msi::OpenDatabase(path_, MSIDBOPEN_READONLY);
    EXPECT_EQ(1u, SelectRows(reopened.get(), L"SELECT * FROM `Property`").size());
}

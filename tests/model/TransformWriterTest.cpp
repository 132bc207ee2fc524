#include "TransformTesting.h"
#include "model/MsiApi.h"
#include "model/TransformStreamNames.h"
#include "model/TransformWriter.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace transform_testing;
using testing_support::ScratchFolder;

namespace {

const std::vector<std::wstring> kBaseSchema = {
    L"CREATE TABLE `Items` (`Key` CHAR(72) NOT NULL, `Small` SHORT, `Big` LONG, `Note` LONGCHAR LOCALIZABLE, "
    L"`Label` CHAR(30) PRIMARY KEY `Key`)",
    L"CREATE TABLE `Pairs` (`A` CHAR(20) NOT NULL, `B` SHORT NOT NULL, `Value` CHAR(50) PRIMARY KEY `A`, "
    L"`B`)",
    L"CREATE TABLE `Blobs` (`Name` CHAR(40) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)",
    L"CREATE TABLE `Doomed` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)",
    L"CREATE TABLE `Patchy` (`K` CHAR(10) NOT NULL, `Header` OBJECT, `Ref` CHAR(20) PRIMARY KEY `K`)",
    L"INSERT INTO `Items` (`Key`, `Small`, `Big`, `Note`, `Label`) VALUES ('alpha', 1, 100000, 'note a', "
    L"'Alpha')",
    L"INSERT INTO `Items` (`Key`, `Small`, `Label`) VALUES ('beta', 2, 'Beta')",
    L"INSERT INTO `Items` (`Key`, `Big`, `Note`) VALUES ('gamma', -7, 'note g')",
    L"INSERT INTO `Items` (`Key`, `Label`) VALUES ('delta', 'Delta')",
    L"INSERT INTO `Pairs` (`A`, `B`, `Value`) VALUES ('x', 1, 'one')",
    L"INSERT INTO `Pairs` (`A`, `B`, `Value`) VALUES ('x', 2, 'two')",
    L"INSERT INTO `Pairs` (`A`, `B`, `Value`) VALUES ('y', 1, 'three')",
    L"INSERT INTO `Doomed` (`K`) VALUES ('gone')",
};

// A table of 20 columns: changes past the 16th column cannot be named by an update mask.
std::vector<std::wstring> wide_schema()
{
    std::wstring create = L"CREATE TABLE `Wide` (`Id` SHORT NOT NULL";
    for (int i = 1; i < 20; ++i)
        create += L", `C" + std::to_wstring(i) + (i % 2 ? L"` CHAR(10)" : L"` LONG");
    create += L" PRIMARY KEY `Id`)";
    std::vector<std::wstring> statements = {create};
    for (int id = 1; id <= 3; ++id)
        statements.push_back(L"INSERT INTO `Wide` (`Id`, `C1`, `C18`, `C19`) VALUES (" + std::to_wstring(id) +
                             L", 'w" + std::to_wstring(id) + L"', 18, 'nineteen')");
    return statements;
}

class TransformWriterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base_ = folder_.file(L"base.msi");
        std::vector<std::wstring> statements = kBaseSchema;
        for (const auto& sql : wide_schema())
            statements.push_back(sql);
        CreateDatabase(base_, statements);
        MsiHandle base = msi::OpenDatabase(base_, MSIDBOPEN_TRANSACT);
        Exec(base.get(), L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('one', ?)",
             {File(bytes_file("first blob"))});
        Exec(base.get(), L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('two', ?)",
             {File(bytes_file("second"))});
        msi::DatabaseCommit(base.get());
    }

    // A changed copy of the base, open transacted with its edits uncommitted, and the base read-only.
    void open_pair()
    {
        changed_path_ = folder_.copy_in(base_, L"changed.msi");
        changed_ = msi::OpenDatabase(changed_path_, MSIDBOPEN_TRANSACT);
        reference_ = msi::OpenDatabase(base_, MSIDBOPEN_READONLY);
    }

    std::wstring bytes_file(const std::string& bytes)
    {
        std::wstring path = folder_.file(L"stream" + std::to_wstring(++files_) + L".bin");
        testing_support::WriteFileBytes(path, std::vector<BYTE>(bytes.begin(), bytes.end()));
        return path;
    }

    // Writes the transform, applies it to a fresh copy of the base and compares with the changed database.
    void expect_round_trip()
    {
        std::wstring transform = folder_.file(L"t" + std::to_wstring(++files_) + L".mst");
        ASSERT_TRUE(msi::WriteTransform(changed_.get(), reference_.get(), transform));
        std::wstring applied = ApplyToCopy(base_, transform, folder_.path());
        MsiHandle result = msi::OpenDatabase(applied, MSIDBOPEN_READONLY);
        DatabaseText expected = DumpDatabase(changed_.get());
        DatabaseText actual = DumpDatabase(result.get());

        for (const auto& table : expected) {
            auto found = actual.find(table.first);
            ASSERT_TRUE(found != actual.end()) << "missing table " << tfc::to_narrow(table.first);
            EXPECT_EQ(table.second, found->second) << "table " << tfc::to_narrow(table.first);
        }
        for (const auto& table : actual)
            EXPECT_TRUE(expected.count(table.first)) << "extra table " << tfc::to_narrow(table.first);
    }

    ScratchFolder folder_;
    std::wstring base_, changed_path_;
    MsiHandle changed_, reference_;
    int files_ = 0;
};

} // namespace

TEST(TransformStreamNames, PackLikeTheInstallerLibrary)
{
    EXPECT_EQ(msi::PackStreamName(L"_Columns", true), (std::wstring{0x4840, 0x3B3F, 0x43F2, 0x4438, 0x45B1}));
    EXPECT_EQ(msi::PackStreamName(L"_Tables", true), (std::wstring{0x4840, 0x3F7F, 0x4164, 0x422F, 0x4836}));
    EXPECT_EQ(msi::PackStreamName(L"_StringPool", true),
              (std::wstring{0x4840, 0x3F3F, 0x4577, 0x446C, 0x3E6A, 0x44B2, 0x482F}));
    EXPECT_EQ(msi::PackStreamName(L"BINARY.1", false), (std::wstring{0x3C8B, 0x3A97, 0x409B, 0x387E}));
    // Characters outside the packed set stay as they are and break up pairs.
    EXPECT_EQ(msi::PackStreamName(L"a-b", false), (std::wstring{0x4800 + 36, L'-', 0x4800 + 37}));
}

TEST_F(TransformWriterTest, RowsTablesColumnsAndStreamsRoundTrip)
{
    open_pair();
    MSIHANDLE db = changed_.get();
    // Rows added, changed (with and without a key change) and deleted.
    Exec(db,
         L"INSERT INTO `Items` (`Key`, `Small`, `Big`, `Label`) VALUES ('epsilon', 32767, 2147483647, 'E')");
    Exec(db, L"UPDATE `Items` SET `Small` = -32767, `Big` = -2147483647, `Note` = '' WHERE `Key` = 'alpha'");
    Exec(db, L"UPDATE `Items` SET `Label` = 'Delta!' WHERE `Key` = 'delta'");
    Exec(db, L"DELETE FROM `Items` WHERE `Key` = 'beta'");
    Exec(db, L"DELETE FROM `Items` WHERE `Key` = 'gamma'");
    Exec(db, L"INSERT INTO `Items` (`Key`, `Big`, `Note`) VALUES ('gamma2', -7, 'note g')");
    Exec(db, L"DELETE FROM `Pairs` WHERE `A` = 'x' AND `B` = 2");
    Exec(db, L"INSERT INTO `Pairs` (`A`, `B`, `Value`) VALUES ('x', 3, 'two')");
    Exec(db, L"UPDATE `Pairs` SET `Value` = 'drei' WHERE `A` = 'y' AND `B` = 1");
    // A column appended to an existing table, set in an old and a new row.
    Exec(db, L"ALTER TABLE `Items` ADD `Extra` SHORT");
    Exec(db, L"UPDATE `Items` SET `Extra` = 5 WHERE `Key` = 'delta'");
    Exec(db, L"INSERT INTO `Items` (`Key`, `Extra`) VALUES ('zeta', -3)");
    // Stream cells: a new row, and a row whose key changed (its stream moves with it).
    Exec(db, L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('three', ?)",
         {File(bytes_file(std::string(5000, 'z')))});
    Exec(db, L"DELETE FROM `Blobs` WHERE `Name` = 'two'");
    Exec(db, L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('deux', ?)", {File(bytes_file("second"))});
    // Past the 16th column, and before it.
    Exec(db, L"UPDATE `Wide` SET `C18` = 99 WHERE `Id` = 1");
    Exec(db, L"UPDATE `Wide` SET `C2` = 2, `C19` = 'changed' WHERE `Id` = 2");
    // Tables dropped and added.
    Exec(db, L"DROP TABLE `Doomed`");
    Exec(db,
         L"CREATE TABLE `Fresh` (`K` CHAR(30) NOT NULL, `N` LONG, `S` LONGCHAR, `D` OBJECT PRIMARY KEY `K`)");
    Exec(db, L"INSERT INTO `Fresh` (`K`, `N`, `S`, `D`) VALUES ('f1', 1, 'text', ?)",
         {File(bytes_file("fresh"))});
    Exec(db, L"INSERT INTO `Fresh` (`K`, `N`, `D`) VALUES ('f2', -1, ?)", {File(bytes_file(""))});
    Exec(db, L"CREATE TABLE `Empty` (`K` SHORT NOT NULL PRIMARY KEY `K`)");
    expect_round_trip();
}

// Wine drops an insert whose stream cell is null; the writer must get such rows across all the same.
TEST_F(TransformWriterTest, NullStreamCellsInNewRows)
{
    open_pair();
    MSIHANDLE db = changed_.get();
    Exec(db, L"INSERT INTO `Blobs` (`Name`) VALUES ('nothing')");
    Exec(db, L"INSERT INTO `Patchy` (`K`, `Ref`) VALUES ('p1', 'after the null stream')");
    Exec(db, L"INSERT INTO `Patchy` (`K`, `Header`, `Ref`) VALUES ('p2', ?, 'with header')",
         {File(bytes_file("h"))});
    Exec(db, L"INSERT INTO `Patchy` (`K`) VALUES ('p3')");
    Exec(db, L"CREATE TABLE `Later` (`K` SHORT NOT NULL, `D` OBJECT, `N` LONG PRIMARY KEY `K`)");
    Exec(db, L"INSERT INTO `Later` (`K`, `N`) VALUES (1, 10)");
    expect_round_trip();
}

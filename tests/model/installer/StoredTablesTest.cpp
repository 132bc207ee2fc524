#include "../CompoundFileCheck.h"
#include "../MsitoolsPicture.h"
#include "../TransformTesting.h"
#include "model/installer/MsiAppliedTransform.h"
#include "model/installer/MsiIndexedApply.h"
#include "model/installer/StoredTables.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformTableData.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace transform_testing;
using testing_support::ScratchFolder;

namespace {

// Every table with updates takes the stored way here.
class StoredTablesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        minimum_ = msi::detail::IndexedApplyMinimum();
        msi::detail::IndexedApplyMinimum() = 1;
        base_ = folder_.file(L"base.msi");
        std::vector<std::wstring> statements = {
            L"CREATE TABLE `Big` (`Key` CHAR(20) NOT NULL, `Num` SHORT, `Wide` LONG, `Text` CHAR(0), "
            L"`Note` CHAR(40) LOCALIZABLE PRIMARY KEY `Key`)",
            L"CREATE TABLE `Twin` (`A` CHAR(20) NOT NULL, `B` SHORT NOT NULL, `V` CHAR(20) PRIMARY KEY `A`, "
            L"`B`)",
        };
        for (int i = 0; i < 40; ++i) {
            std::wstring n = std::to_wstring(i);
            statements.push_back(L"INSERT INTO `Big` (`Key`, `Num`, `Wide`, `Text`, `Note`) VALUES ('k" + n +
                                 L"', " + n + L", " + std::to_wstring(i * 100000) + L", 'text " + n +
                                 L"', 'shared')");
            statements.push_back(L"INSERT INTO `Twin` (`A`, `B`, `V`) VALUES ('a', " + n + L", 'v" + n +
                                 L"')");
        }
        CreateDatabase(base_, statements);
    }
    void TearDown() override { msi::detail::IndexedApplyMinimum() = minimum_; }

    // A transform from the base to a copy the statements change.
    std::wstring transform_of(const std::vector<std::pair<std::wstring, std::vector<Arg>>>& edits)
    {
        std::wstring changed_path = folder_.copy_in(base_, L"changed" + std::to_wstring(++files_) + L".msi");
        MsiHandle changed = msi::OpenDatabase(changed_path, MSIDBOPEN_TRANSACT);
        for (const auto& edit : edits)
            Exec(changed.get(), edit.first, edit.second);
        MsiHandle reference = msi::OpenDatabase(base_, MSIDBOPEN_READONLY);
        std::wstring transform = folder_.file(L"t" + std::to_wstring(files_) + L".mst");
        EXPECT_TRUE(msi::DatabaseGenerateTransform(changed.get(), reference.get(), transform));
        return transform;
    }

    // The transform applied by the library alone, committed; returns the file.
    std::wstring library_applied(const std::wstring& base, const std::wstring& transform)
    {
        std::wstring copy = folder_.copy_in(base, L"library" + std::to_wstring(++files_) + L".msi");
        MsiHandle database = msi::OpenDatabase(copy, MSIDBOPEN_TRANSACT);
        EXPECT_EQ(ERROR_SUCCESS, MsiDatabaseApplyTransformW(database.get(), transform.c_str(), 0));
        msi::DatabaseCommit(database.get());
        return copy;
    }

    // Applies as the program does, and compares it with the library's own apply: open, reopened by msi.dll
    // and as msitools read it.
    void expect_like_library(const std::wstring& base, const std::wstring& transform)
    {
        std::wstring expected_path = library_applied(base, transform);
        std::wstring copy = folder_.copy_in(base, L"stored" + std::to_wstring(++files_) + L".msi");
        MsiHandle expected = msi::OpenDatabase(expected_path, MSIDBOPEN_READONLY);
        {
            MsiHandle applied = msi::OpenDatabaseTransformed(copy, transform, 0);
            EXPECT_EQ(DumpDatabase(expected.get()), DumpDatabase(applied.get()));
            msi::DatabaseCommit(applied.get());
        }
        EXPECT_EQ("", model_testing::CompoundFileFault(copy));
        MsiHandle reopened = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
        EXPECT_EQ(DumpDatabase(expected.get()), DumpDatabase(reopened.get()));
        std::wstring ours, theirs;
        if (model_testing::MsitoolsPicture(copy, ours) &&
            model_testing::MsitoolsPicture(expected_path, theirs))
            EXPECT_EQ(theirs, ours);
    }

    ScratchFolder folder_;
    std::wstring base_;
    size_t minimum_ = 0;
    int files_ = 0;
};

} // namespace

TEST_F(StoredTablesTest, UpdatesGoStraightIntoTheFileAndReadAsTheLibrarysApply)
{
    std::wstring long_text(70000, L'y');
    std::wstring transform = transform_of({
        {L"UPDATE `Big` SET `Text` = 'fresh', `Num` = -300 WHERE `Key` = 'k1'", {}},
        {L"UPDATE `Big` SET `Text` = 'text 5' WHERE `Key` = 'k2'", {}}, // a text the pool holds
        {L"UPDATE `Big` SET `Note` = ?, `Wide` = ? WHERE `Key` = 'k3'", {Str(L""), Int(-2000000000)}},
        {L"UPDATE `Big` SET `Text` = ? WHERE `Key` = 'k4'", {Str(long_text)}},
        {L"UPDATE `Big` SET `Num` = 32767, `Note` = 'fresh' WHERE `Key` = 'k5'", {}},
        {L"DELETE FROM `Big` WHERE `Key` = 'k6'", {}},
        {L"INSERT INTO `Big` (`Key`, `Text`) VALUES ('new', 'fresh')", {}},
        {L"UPDATE `Twin` SET `V` = 'changed' WHERE `B` > 30", {}},
        {L"DELETE FROM `Twin` WHERE `B` = 35", {}},
    });

    // Before the library opens it, the file already holds the updates and nothing else.
    std::wstring copy = folder_.copy_in(base_, L"direct.msi");
    {
        msi::detail::AppliedTransform applied(transform);
        applied.UpdateStoredTables(copy);
    }
    MsiHandle direct = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
    DatabaseText text = DumpDatabase(direct.get());
    auto has = [](const std::vector<std::string>& lines, const std::string& start) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.compare(0, start.size(), start) == 0;
        });
    };
    EXPECT_TRUE(has(text[L"Big"], "s:k1 | i:-300 | i:100000 | s:fresh | s:shared | "));
    EXPECT_TRUE(has(text[L"Big"], "s:k2 | i:2 | i:200000 | s:text 5 | s:shared | "));
    EXPECT_TRUE(has(text[L"Big"], "s:k3 | i:3 | i:-2000000000 | s:text 3 | <null> | "));
    EXPECT_TRUE(has(text[L"Big"], "s:k4 | i:4 | i:400000 | s:yyyy"));
    EXPECT_TRUE(has(text[L"Big"], "s:k6 | "));
    EXPECT_FALSE(has(text[L"Big"], "s:new | "));
    EXPECT_TRUE(has(text[L"Twin"], "s:a | i:31 | s:changed | "));
    // A row the transform also deletes keeps all its records for the library.
    EXPECT_TRUE(has(text[L"Twin"], "s:a | i:35 | s:v35 | "));
    direct.reset();

    expect_like_library(base_, transform);
}

// Records the file cannot take this way go to the library, in order, and the result is the same.
TEST_F(StoredTablesTest, WhatTheFileCannotTakeIsLeftToTheLibrary)
{
    struct Case
    {
        const char* what;
        std::vector<std::pair<std::wstring, std::vector<Arg>>> edits;
        std::wstring base_change; // made to the base the transform is applied to
    };
    const Case cases[] = {
        {"a row the base lacks",
         {{L"UPDATE `Big` SET `Text` = 'moved' WHERE `Key` = 'k7' OR `Key` = 'k8'", {}}},
         L"DELETE FROM `Big` WHERE `Key` = 'k8'"},
        {"an added column",
         {{L"ALTER TABLE `Big` ADD `Extra` SHORT", {}},
          {L"UPDATE `Big` SET `Extra` = 5, `Text` = 'wider' WHERE `Num` < 10", {}}},
         L""},
        {"a key deleted and inserted again",
         {{L"DELETE FROM `Big` WHERE `Key` = 'k9'", {}},
          {L"INSERT INTO `Big` (`Key`, `Num`, `Text`) VALUES ('k9', 9, 'again')", {}},
          {L"UPDATE `Big` SET `Text` = 'later' WHERE `Num` = 10", {}}},
         L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring transform = transform_of(c.edits);
        std::wstring base = base_;
        if (!c.base_change.empty()) {
            base = folder_.copy_in(base_, L"other" + std::to_wstring(++files_) + L".msi");
            MsiHandle other = msi::OpenDatabase(base, MSIDBOPEN_TRANSACT);
            Exec(other.get(), c.base_change);
            msi::DatabaseCommit(other.get());
        }
        expect_like_library(base, transform);
    }
}

// Another writer's package of 3-byte string references (over 65,536 texts) and code page 65001: the
// updates, with texts the pool lacks and some outside ASCII, go in the same way.
TEST_F(StoredTablesTest, ThreeByteReferencesAndAnotherWritersPool)
{
    std::wstring package = testing_support::BuildPath(L"testpackages\\strings-and-columns.msi");
    if (GetFileAttributesW(package.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no packages made by msitools";
    base_ = folder_.copy_in(package, L"many.msi");
    std::vector<std::pair<std::wstring, std::vector<Arg>>> edits;
    // Keys as literals: Wine's library faults on an UPDATE whose only marker is in its condition.
    for (int i = 0; i < 600; ++i) {
        wchar_t key[16];
        swprintf(key, 16, L"k%06d", i * 100);
        edits.push_back(
            {L"UPDATE `Many` SET `Value` = 'changed' WHERE `Key` = '" + std::wstring(key) + L"'", {}});
    }
    edits.push_back({L"UPDATE `Many` SET `Value` = ? WHERE `Key` = 'k069999'",
                     {Str(L"\x017Dlu\x0165ou\x010Dk\x00FD \x2603")}});
    edits.push_back({L"UPDATE `Many` SET `Value` = 'value 7' WHERE `Key` = 'k000901'", {}});
    std::wstring transform = transform_of(edits);
    std::string pool = ReadTransformStream(base_, msi::PackStreamName(L"_StringPool", true));
    ASSERT_GE(pool.size(), 4u);
    EXPECT_TRUE(static_cast<unsigned char>(pool[3]) & 0x80) << "3-byte references";
    expect_like_library(base_, transform);
}

// The columns read from the file are those the library lists, in every sample package.
TEST(StoredTables, ColumnsAgreeWithTheLibrary)
{
    int found = testing_support::ForEachSamplePackage([](const std::wstring&, const std::wstring& source) {
        ScratchFolder folder;
        std::wstring copy = folder.copy_in(source, L"copy.msi");
        std::map<std::wstring, std::vector<msi::TransformColumn>> listed;
        {
            MsiHandle database = msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
            listed = msi::ReadAllColumns(database.get());
        }
        msi::detail::StoredTables stored(copy);
        for (const auto& table : listed)
            EXPECT_TRUE(stored.Columns(table.first) == table.second) << tfc::to_narrow(table.first);
    });
    if (found == 0)
        GTEST_SKIP() << "no shared test packages";
}

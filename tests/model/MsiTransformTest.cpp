// Transforms opened over their base, edited, and saved again as transforms or as databases.
#include "model/installer/MsiCallFaults.h"
#include "model/MsiTransform.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "ChangesTesting.h"
#include "CompoundFileCheck.h"
#include "MsiTestDatabase.h"
#include "TransformTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace model_testing;
using testing_support::ScratchFolder;

namespace {

const std::vector<std::wstring> kBase = {
    L"CREATE TABLE `Plain` (`Key` CHAR(20) NOT NULL, `Value` CHAR(40) PRIMARY KEY `Key`)",
    L"CREATE TABLE `Blobs` (`Name` CHAR(20) NOT NULL, `Data` OBJECT PRIMARY KEY `Name`)",
    L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('A', 'first')",
    L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('B', 'second')",
    L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('C', 'third')",
};

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class MsiTransformTest : public ::testing::Test
{
protected:
    // base.msi, and transform.mst taking it to a copy with one row changed, one added, one deleted, a
    // stream cell added and flags 0x00050003.
    void SetUp() override
    {
        base_ = folder_.file(L"base.msi");
        CreateDatabaseFile(base_, kBase);
        std::wstring changed = folder_.copy_in(base_, L"changed.msi");
        std::wstring blob = folder_.file(L"blob.bin");
        testing_support::WriteFileBytes(blob, {'b', 'l', 'o', 'b'});
        {
            MsiHandle database = msi::OpenDatabase(changed, MSIDBOPEN_TRANSACT);
            Execute(database.get(), L"UPDATE `Plain` SET `Value`='first, changed' WHERE `Key`='A'");
            Execute(database.get(), L"DELETE FROM `Plain` WHERE `Key`='B'");
            Execute(database.get(), L"INSERT INTO `Plain` (`Key`, `Value`) VALUES ('D', 'fourth')");
            Execute(database.get(), L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('one', ?)",
                    {Param::StreamFile(blob)});
            msi::DatabaseCommit(database.get());
            expected_ = transform_testing::DumpDatabase(database.get());
            MsiHandle reference = msi::OpenDatabase(base_, MSIDBOPEN_READONLY);
            transform_ = folder_.file(L"transform.mst");
            ASSERT_TRUE(msi::DatabaseGenerateTransform(database.get(), reference.get(), transform_));
            msi::CreateTransformSummaryInfo(database.get(), reference.get(), transform_, 3, 5);
        }
        tfc::clear_thread_messages();
    }

    // What the transform at path makes of a fresh copy of the base.
    transform_testing::DatabaseText applied(const std::wstring& transform)
    {
        std::wstring copy = folder_.file(L"applied-" + std::to_wstring(++copies_) + L".mst");
        EXPECT_TRUE(CopyFileW(transform.c_str(), copy.c_str(), FALSE));
        MsiHandle database = transform_testing::ApplyToCopy(base_, copy, folder_.path());
        return transform_testing::DumpDatabase(database.get());
    }

    // The Plain rows the transform at path makes of a fresh copy of the base.
    size_t applied_rows(const std::wstring& transform)
    {
        std::wstring copy = folder_.file(L"applied-" + std::to_wstring(++copies_) + L".mst");
        EXPECT_TRUE(CopyFileW(transform.c_str(), copy.c_str(), FALSE));
        MsiHandle database = transform_testing::ApplyToCopy(base_, copy, folder_.path());
        return plain_rows(database.get()).size();
    }

    std::vector<std::vector<std::string>> plain_rows(MSIHANDLE database)
    {
        return SelectRows(database, L"SELECT `Key`, `Value` FROM `Plain` ORDER BY `Key`");
    }

    MsiTable& table(MsiFile& file, const wchar_t* name) { return *file.FindTable(name); }

    void add_row(MsiTransform& transform, const std::wstring& key, const std::wstring& value)
    {
        transform.AddRow(table(transform, L"Plain"),
                         {MsiFieldDataRef(new MsiFieldData(key)), MsiFieldDataRef(new MsiFieldData(value))});
    }

    ScratchFolder folder_;
    std::wstring base_;
    std::wstring transform_;
    transform_testing::DatabaseText expected_;
    int copies_ = 0;
};

TEST_F(MsiTransformTest, OpensAsTheBaseWithTheTransformAppliedBesideTheBase)
{
    MsiTransform transform;
    EXPECT_FALSE(transform.Open(base_, transform_, false, false, false));
    EXPECT_EQ(transform_, transform.path());
    EXPECT_EQ(base_, transform.base_path());
    EXPECT_FALSE(transform.read_only());
    EXPECT_EQ(3, transform.error_conditions());
    EXPECT_EQ(5, transform.validation());
    EXPECT_EQ(expected_, transform_testing::DumpDatabase(transform.handle()));
    EXPECT_EQ(3u, table(transform, L"Plain").rows().size());
    EXPECT_EQ(1u, table(transform, L"Blobs").rows().size());
    // The base is untouched and open beside it.
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"A", "first"}, {"B", "second"}, {"C", "third"}}),
              plain_rows(transform.base().handle()));
    EXPECT_TRUE(transform.base().read_only());
    EXPECT_TRUE(Exists(transform.backing_path()));
}

TEST_F(MsiTransformTest, SavedUnchangedGivesAnEquivalentTransformWithTheSameFlags)
{
    std::wstring again = folder_.file(L"again.mst");
    {
        MsiTransform transform;
        transform.Open(base_, transform_, false, false, false);
        transform.Save(again, false, std::wstring());
        EXPECT_EQ(transform_, transform.path());
    }
    EXPECT_EQ(expected_, applied(again));
    MsiTransform reopened;
    reopened.Open(base_, again, true, false, false);
    EXPECT_EQ(3, reopened.error_conditions());
    EXPECT_EQ(5, reopened.validation());
}

TEST_F(MsiTransformTest, FlagsTheDialogCannotSetStillTravel)
{
    std::wstring again = folder_.file(L"again.mst");
    {
        MsiTransform transform;
        transform.Open(base_, transform_, false, false, false);
        transform.SetConditions(0x8123, 0xF00F);
        transform.Save(again, false, std::wstring());
    }
    MsiTransform reopened;
    reopened.Open(base_, again, true, false, false);
    EXPECT_EQ(0x8123, reopened.error_conditions());
    EXPECT_EQ(0xF00F, reopened.validation());
}

TEST_F(MsiTransformTest, AFileThatIsNoStorageKeepsTheFlagsAtZeroWhenNew)
{
    std::wstring missing = folder_.file(L"new.mst");
    MsiTransform transform;
    transform.Open(base_, missing, false, true, false);
    EXPECT_EQ(0, transform.error_conditions());
    EXPECT_EQ(0, transform.validation());
    EXPECT_EQ(missing, transform.path());
    EXPECT_EQ(plain_rows(transform.base().handle()), plain_rows(transform.handle()));
}

TEST_F(MsiTransformTest, ApplyFailuresReachTheCallerAndTheBackingFileStillGoes)
{
    std::wstring backing;
    {
        msi::ScopedCallFaults faults;
        msi::FailCall(L"MsiDatabaseApplyTransform", 1, ERROR_INSTALL_TRANSFORM_FAILURE);
        MsiTransform transform;
        try {
            transform.Open(base_, transform_, false, false, true);
            FAIL() << "the apply should fail";
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_TRANSFORM_FAILURE), error.code());
            EXPECT_EQ(L"MsiDatabaseApplyTransform", error.function());
        }
        backing = transform.backing_path();
        EXPECT_TRUE(Exists(backing));
        EXPECT_EQ(0u, transform.handle());
    }
    EXPECT_FALSE(Exists(backing));
    tfc::clear_thread_messages();
}

TEST_F(MsiTransformTest, OverTheWrongBaseReportsWhatTheLibrarySays)
{
    // A transform that changes a row of a table the other database lacks.
    std::wstring other = folder_.file(L"other.msi");
    CreateDatabaseFile(other, {L"CREATE TABLE `Other` (`Id` SHORT NOT NULL PRIMARY KEY `Id`)"});
    UINT expected_code = 0;
    {
        std::wstring copy = folder_.copy_in(other, L"probe.msi");
        MsiHandle probe = msi::OpenDatabase(copy, MSIDBOPEN_TRANSACT);
        expected_code = MsiDatabaseApplyTransformW(probe.get(), transform_.c_str(), 0);
    }
    MsiTransform transform;
    if (expected_code == ERROR_SUCCESS) {
        // Wine applies what it can and skips the rest: the open then works as the library did.
        EXPECT_NO_THROW(transform.Open(other, transform_, false, false, false));
        return;
    }
    try {
        transform.Open(other, transform_, false, false, false);
        FAIL() << "the apply should fail";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(expected_code, error.code());
        EXPECT_EQ(L"MsiDatabaseApplyTransform", error.function());
    }
    tfc::clear_thread_messages();
}

TEST_F(MsiTransformTest, NoDifferencesIsRefusedAndTheTargetLeftAlone)
{
    MsiTransform transform;
    transform.Open(base_, folder_.file(L"new.mst"), false, true, false);
    std::wstring fresh = folder_.file(L"fresh.mst");
    std::wstring existing = folder_.file(L"existing.mst");
    testing_support::WriteFileBytes(existing, {'o', 'l', 'd'});
    for (const std::wstring& target : {fresh, existing}) {
        try {
            transform.Save(target, false, std::wstring());
            FAIL() << "a transform without changes was saved";
        } catch (const tfc::ManageableError& error) {
            EXPECT_EQ(L"A transform must make changes to be saved. The transform was not saved.",
                      error.message);
            EXPECT_EQ(L"Could not save the transform.", error.caption);
        }
    }
    EXPECT_FALSE(Exists(fresh));
    EXPECT_EQ((std::vector<BYTE>{'o', 'l', 'd'}), testing_support::ReadFileBytes(existing));
    // Still usable: an edit makes it savable.
    add_row(transform, L"E", L"fifth");
    transform.Save(fresh, false, std::wstring());
    EXPECT_TRUE(Exists(fresh));
}

TEST_F(MsiTransformTest, SaveInPlaceCommitsTheCopyAndRewritesTheTransform)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    add_row(transform, L"E", L"fifth");
    transform.Save(transform_, false, std::wstring());
    EXPECT_EQ(transform_, transform.path());
    EXPECT_TRUE(transform.change_log().empty());
    EXPECT_NE(0u, transform.handle());
    // The stream cell the transform brought survives the commit, the close and the reopen.
    EXPECT_EQ((std::vector<std::vector<std::string>>{{"blob"}}),
              SelectRows(transform.handle(), L"SELECT `Data` FROM `Blobs`"));
    // The copy stays editable after the reopen, and what it got before is in the transform.
    add_row(transform, L"F", L"sixth");
    EXPECT_EQ(4u, applied_rows(transform_));
    std::wstring other = folder_.file(L"other.mst");
    transform.Save(other, false, std::wstring());
    EXPECT_EQ(5u, applied_rows(other));
    EXPECT_EQ(1u, transform.change_log().size());
}

TEST_F(MsiTransformTest, AFailedReopenAfterSavingInPlaceKeepsTheTransformPath)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    add_row(transform, L"E", L"fifth");
    std::wstring backing = transform.backing_path();
    {
        msi::ScopedCallFaults faults;
        msi::FailCall(L"MsiOpenDatabase", 1, ERROR_OPEN_FAILED);
        EXPECT_THROW(transform.Save(transform_, false, std::wstring()), tfc::Win32Error);
    }
    tfc::clear_thread_messages();
    EXPECT_EQ(transform_, transform.path());
    // The failed open was the written copy's: the edited copy stays as it was, and a second save never
    // copies a transform over the edited copy.
    transform.Save(transform_, false, std::wstring());
    EXPECT_EQ(transform_, transform.path());
    EXPECT_NE(backing, transform_);
}

TEST_F(MsiTransformTest, ALockedTargetIsReportedAndTheCopyStaysUsable)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    add_row(transform, L"E", L"fifth");
    std::wstring target = folder_.file(L"locked.mst");
    HANDLE lock = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    try {
        transform.Save(target, false, std::wstring());
        ADD_FAILURE() << "saved over a locked file";
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(L"Could not copy the saved transform to the target: " + target +
                      L"\r\nCheck that the file is not in use and the file is writeable",
                  error.message);
        EXPECT_EQ(L"Could not save transform", error.caption);
    }
    CloseHandle(lock);
    EXPECT_EQ(transform_, transform.path());
    add_row(transform, L"F", L"sixth");
    transform.Save(target, false, std::wstring());
    EXPECT_EQ(5u, applied_rows(target));
}

TEST_F(MsiTransformTest, SaveDatabaseAsWritesTheTransformedDatabaseAndKeepsThePath)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    add_row(transform, L"E", L"fifth");
    std::wstring target = folder_.file(L"transformed.msi");
    {
        msi::ScopedCallFaults faults;
        msi::FailCall(L"MsiDatabaseCommit", 1, ERROR_FUNCTION_FAILED);
        EXPECT_THROW(transform.SaveDatabaseAs(target, false, std::wstring()), tfc::Win32Error);
    }
    tfc::clear_thread_messages();
    EXPECT_EQ(transform_, transform.path());
    EXPECT_FALSE(Exists(target));
    transform.SaveDatabaseAs(target, false, std::wstring());
    EXPECT_EQ(transform_, transform.path());
    MsiHandle saved = msi::OpenDatabase(target, MSIDBOPEN_READONLY);
    EXPECT_EQ(4u, plain_rows(saved.get()).size());
    // Still a transform: its own save writes a transform.
    EXPECT_EQ(1u, transform.change_log().size());
}

TEST_F(MsiTransformTest, SavedTransformedDatabaseHoldsChangedStreams)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    // The stream the transform added is stored in the backing file; it grows, and a new row gets one.
    std::wstring bigger = folder_.file(L"bigger.bin");
    testing_support::WriteFileBytes(bigger, std::vector<BYTE>(7000, 'x'));
    MsiTable& blobs = table(transform, L"Blobs");
    const MsiFieldDef& data = *blobs.columns()[1];
    MsiFieldDataRef cell(new MsiFieldData());
    data.set_field_data(*cell, bigger);
    transform.ModifyRow(data, blobs.rows().begin(), cell);
    transform.AddRow(blobs, {MsiFieldDataRef(new MsiFieldData(L"two")), data.clone_data(*cell)});
    std::wstring expected = changes_testing::DatabasePicture(transform, false);

    std::wstring target = folder_.file(L"transformed.msi");
    transform.SaveDatabaseAs(target, false, std::wstring());
    EXPECT_EQ(expected, changes_testing::FilePicture(target, false));
    const wchar_t* blob_rows = L"SELECT `Name`, `Data` FROM `Blobs` ORDER BY `Name`";
    std::vector<std::vector<std::string>> rows = {{"one", std::string(7000, 'x')},
                                                  {"two", std::string(7000, 'x')}};
    {
        MsiHandle saved = msi::OpenDatabase(target, MSIDBOPEN_READONLY);
        EXPECT_EQ(rows, SelectRows(saved.get(), blob_rows));
    }
    // The transform written from the same edits carries the new bytes too.
    std::wstring written = folder_.file(L"written.mst");
    transform.Save(written, false, std::wstring());
    MsiHandle applied = transform_testing::ApplyToCopy(base_, written, folder_.path());
    EXPECT_EQ(rows, SelectRows(applied.get(), blob_rows));
}

// The transformed database saved elsewhere holds what the edited copy holds: a table emptied, a row with
// a new stream, every other table as it was.
TEST_F(MsiTransformTest, TransformedDatabaseSavedElsewhereEqualsTheEditedCopy)
{
    MsiTransform transform;
    transform.Open(base_, transform_, false, false, false);
    MsiTable& plain = table(transform, L"Plain");
    while (!plain.rows().empty())
        transform.DeleteRow(plain, plain.rows().begin());
    std::wstring bytes = folder_.file(L"second.bin");
    testing_support::WriteFileBytes(bytes, std::vector<BYTE>(6000, 'x'));
    MsiTable& blobs = table(transform, L"Blobs");
    MsiRow row = {MsiFieldDataRef(new MsiFieldData(std::wstring(L"two"))),
                  MsiFieldDataRef(new MsiFieldData())};
    blobs.columns()[1]->set_field_data(*row[1], bytes);
    transform.AddRow(blobs, row);
    transform_testing::DatabaseText edited = transform_testing::DumpDatabase(transform.handle());
    std::wstring target = folder_.file(L"transformed.msi");
    transform.SaveDatabaseAs(target, false, std::wstring());
    EXPECT_EQ("", CompoundFileFault(target));
    MsiHandle saved = msi::OpenDatabase(target, MSIDBOPEN_READONLY);
    EXPECT_EQ(edited, transform_testing::DumpDatabase(saved.get()));
    EXPECT_TRUE(plain_rows(saved.get()).empty());
}

// The same over a real package, emptying the table whose commit once lost rows of other tables.
TEST_F(MsiTransformTest, TransformedPackageWithAnEmptiedTableKeepsEveryOtherRow)
{
    std::wstring package = testing_support::TestDataPath(L"shortcuts.msi");
    if (package.empty())
        GTEST_SKIP() << "no shared test packages";
    std::wstring base = folder_.copy_in(package, L"package.msi");
    MsiTransform transform;
    transform.Open(base, folder_.file(L"new.mst"), false, true, false);
    MsiTable& emptied = table(transform, L"FeatureComponents");
    while (!emptied.rows().empty())
        transform.DeleteRow(emptied, emptied.rows().begin());
    transform_testing::DatabaseText edited = transform_testing::DumpDatabase(transform.handle());
    std::wstring target = folder_.file(L"transformed.msi");
    transform.SaveDatabaseAs(target, false, std::wstring());
    EXPECT_EQ("", CompoundFileFault(target));
    MsiHandle saved = msi::OpenDatabase(target, MSIDBOPEN_READONLY);
    EXPECT_EQ(edited, transform_testing::DumpDatabase(saved.get()));
}

TEST_F(MsiTransformTest, BackingFilesGoWithTheTransformUnlessHandedOn)
{
    std::wstring backing;
    std::wstring handed;
    {
        MsiTransform transform;
        transform.Open(base_, transform_, false, false, false);
        backing = transform.backing_path();
        EXPECT_TRUE(Exists(backing));
    }
    EXPECT_FALSE(Exists(backing));

    {
        MsiTransform transform;
        transform.Open(base_, transform_, false, false, false);
        add_row(transform, L"E", L"fifth");
        handed = transform.SaveUsingOptions();
        EXPECT_EQ(transform.backing_path(), handed);
    }
    ASSERT_TRUE(Exists(handed));
    EXPECT_EQ(4u, applied_rows(transform_));

    // The next transform starts from the handed-on copy and adopts it.
    std::wstring next = folder_.file(L"next.mst");
    {
        MsiTransform transform;
        transform.Load(base_, next, false, true, {transform_}, handed, true, false);
        EXPECT_EQ(base_, transform.base_path());
        EXPECT_EQ(std::vector<std::wstring>{transform_}, transform.earlier_transforms());
        EXPECT_EQ(4u, table(transform, L"Plain").rows().size());
        EXPECT_EQ(4u, plain_rows(transform.base().handle()).size());
    }
    EXPECT_FALSE(Exists(handed));
}

} // namespace

namespace {

// A package, the row whose stream the transform replaces, and a text cell edited afterwards.
struct StreamChangeCase
{
    const wchar_t* package; // a shared package, or nullptr for a generated one
    const wchar_t* stream_table;
    const wchar_t* stream_key;
    const wchar_t* text_table;
    const wchar_t* text_key;
    const wchar_t* text_column;
};

// The stream of the row given new bytes as the grid's edit does it.
void ReplaceStream(MSIHANDLE database, const StreamChangeCase& item, const std::wstring& bytes_path)
{
    MsiHandle view = Execute(
        database,
        L"SELECT * FROM `" + std::wstring(item.stream_table) + L"` WHERE `" +
            msi::RecordGetString(msi::DatabaseGetPrimaryKeys(database, item.stream_table).get(), 1) + L"`=?",
        {Param::Text(item.stream_key)});
    MsiHandle record = msi::ViewFetch(view.get());
    ASSERT_TRUE(record);
    msi::ReplaceFetchedRow(database, item.stream_table, view.get(), record.get(),
                           [&](MSIHANDLE fetched) { msi::RecordSetStream(fetched, 2, bytes_path); });
}

} // namespace

// A transform that gives a stored stream new bytes: the transformed database written out holds them, and
// so does the transform saved in place and saved again after another edit.
TEST_F(MsiTransformTest, StreamChangesReachTheTransformedFileAndLaterSaves)
{
    const StreamChangeCase cases[] = {
        {nullptr, L"Blobs", L"one", L"Plain", L"A", L"Value"},
        {L"MergeModule1.msm", L"Binary", L"Binary1.F844F0E3_8CB4_4A0F_973E_31C4F9338382", L"ModuleSignature",
         L"MergeModule1.F844F0E3_8CB4_4A0F_973E_31C4F9338382", L"Version"},
    };
    std::wstring old_bytes = folder_.file(L"old.bin"), new_bytes = folder_.file(L"new.bin");
    testing_support::WriteFileBytes(old_bytes, {'o', 'l', 'd'});
    testing_support::WriteFileBytes(new_bytes, {'n', 'e', 'w', ' ', 'b', 'y', 't', 'e', 's'});
    for (const StreamChangeCase& item : cases) {
        SCOPED_TRACE(tfc::to_narrow(item.stream_table));
        std::wstring source = item.package ? testing_support::TestDataPath(item.package) : std::wstring();
        if (item.package && source.empty())
            continue;
        base_ = folder_.file(std::wstring(L"base-") + item.stream_table + L".msi");
        if (item.package) {
            ASSERT_TRUE(CopyFileW(source.c_str(), base_.c_str(), FALSE));
        } else {
            CreateDatabaseFile(base_, kBase);
            MsiHandle database = msi::OpenDatabase(base_, MSIDBOPEN_TRANSACT);
            Execute(database.get(), L"INSERT INTO `Blobs` (`Name`, `Data`) VALUES ('one', ?)",
                    {Param::StreamFile(old_bytes)});
            msi::DatabaseCommit(database.get());
        }
        std::wstring changed =
            folder_.copy_in(base_, std::wstring(L"changed-") + item.stream_table + L".msi");
        std::wstring transform_path = folder_.file(std::wstring(L"stream-") + item.stream_table + L".mst");
        transform_testing::DatabaseText expected;
        {
            MsiHandle database = msi::OpenDatabase(changed, MSIDBOPEN_TRANSACT);
            ReplaceStream(database.get(), item, new_bytes);
            msi::DatabaseCommit(database.get());
            database.reset();
            database = msi::OpenDatabase(changed, MSIDBOPEN_READONLY);
            expected = transform_testing::DumpDatabase(database.get());
            MsiHandle reference = msi::OpenDatabase(base_, MSIDBOPEN_READONLY);
            ASSERT_TRUE(msi::DatabaseGenerateTransform(database.get(), reference.get(), transform_path));
        }
        ASSERT_NE(std::string::npos, expected[item.stream_table].back().find("new bytes"));

        // Opened, also read-only, and written out as a database ("Save Transformed").
        for (bool read_only : {false, true}) {
            SCOPED_TRACE(read_only ? "read-only" : "writable");
            std::wstring transformed = folder_.file(std::wstring(L"transformed-") + item.stream_table +
                                                    (read_only ? L"-r" : L"-w") + L".msi");
            {
                MsiTransform transform;
                transform.Open(base_, transform_path, read_only, false, false);
                EXPECT_EQ(expected, transform_testing::DumpDatabase(transform.handle()));
                transform.SaveDatabaseAs(transformed, false, std::wstring());
            }
            {
                MsiHandle written = msi::OpenDatabase(transformed, MSIDBOPEN_READONLY);
                EXPECT_EQ(expected, transform_testing::DumpDatabase(written.get()));
            }
            EXPECT_EQ("", model_testing::CompoundFileFault(transformed));
        }

        // Saved in place, a text cell edited, saved again: the stream change stays in the transform.
        {
            MsiTransform transform;
            transform.Open(base_, transform_path, false, false, false);
            transform.Save(transform_path, false, std::wstring());
            MsiTable& text_table = table(transform, item.text_table);
            MsiFieldDefRef key = text_table.columns()[0];
            MsiFieldDefRef column = text_table.FindColumn(item.text_column);
            bool edited = false;
            for (auto row = text_table.rows().begin(); row != text_table.rows().end(); ++row) {
                if (key->display_str(*(*row)[0]) != item.text_key)
                    continue;
                transform.ModifyRow(*column, row, MsiFieldDataRef(new MsiFieldData(std::wstring(L"edited"))));
                edited = true;
                break;
            }
            ASSERT_TRUE(edited);
            transform.Save(transform_path, false, std::wstring());
        }
        transform_testing::DatabaseText again = applied(transform_path);
        EXPECT_EQ(expected[item.stream_table], again[item.stream_table]);
        bool found = false;
        for (const std::string& line : again[item.text_table])
            found = found || line.find("s:edited") != std::string::npos;
        EXPECT_TRUE(found);
    }
}

// Transforms Windows made over their base: each drops a table the base lacks (`AppId`) and updates and
// deletes rows the base lacks, with those errors suppressed in its summary information. As on Windows,
// what meets a suppressed error changes nothing (Wine's library made a table without columns of the
// drop, and a row of the update); the added and changed rows are there, also in the saved database.
// The same transform without its flags does not fit the base, until the errors are suppressed.
TEST(WindowsTransformTest, SuppressedErrorsChangeNothingAndTheRestApplies)
{
    std::wstring base = testing_support::TestDataPath(L"transforms\\base.msi");
    if (base.empty())
        GTEST_SKIP() << "no shared test data";
    ScratchFolder folder;
    const std::vector<std::vector<std::string>> directories = {
        {"Added", "."}, {"Foo", "."}, {"TARGETDIR", "SourceDir"}};
    const wchar_t* kDirectories = L"SELECT `Directory`, `DefaultDir` FROM `Directory` ORDER BY `Directory`";
    const wchar_t* kLanguage = L"SELECT `Value` FROM `Property` WHERE `Property`='ProductLanguage'";
    // The library returns rows in no order of their keys.
    auto sorted = [](std::vector<std::vector<std::string>> rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    struct Case
    {
        const wchar_t* file;
        const char* language;
        int error_conditions;
    };
    for (const Case& test :
         {Case{L"windows-made.mst", "1033", 0x1F}, Case{L"windows-made-1041.mst", "1041", 0x3F}}) {
        SCOPED_TRACE(tfc::to_narrow(test.file));
        std::wstring path = testing_support::TestDataPath(std::wstring(L"transforms\\") + test.file);
        std::wstring saved = folder.file(std::wstring(L"saved-") + test.file + L".msi");
        {
            MsiTransform transform;
            transform.Open(base, path, true, false, false);
            EXPECT_EQ(test.error_conditions, transform.error_conditions());
            EXPECT_FALSE(transform.FindTable(L"AppId"));
            EXPECT_EQ(directories, sorted(SelectRows(transform.handle(), kDirectories)));
            EXPECT_EQ(std::vector<std::vector<std::string>>{{test.language}},
                      SelectRows(transform.handle(), kLanguage));
            transform.SaveDatabaseAs(saved, false, std::wstring());
        }
        MsiFile reopened;
        reopened.Open(saved, MSIDBOPEN_READONLY);
        EXPECT_FALSE(reopened.FindTable(L"AppId"));
        EXPECT_EQ(directories, sorted(SelectRows(reopened.handle(), kDirectories)));
    }

    // Its Character Count (VT_I4 0x0922001F) with the low word cleared.
    std::vector<BYTE> bytes =
        testing_support::ReadFileBytes(testing_support::TestDataPath(L"transforms\\windows-made.mst"));
    const BYTE flagged[] = {3, 0, 0, 0, 0x1F, 0, 0x22, 9};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(flagged), std::end(flagged));
    ASSERT_NE(bytes.end(), at);
    at[4] = 0;
    std::wstring unflagged = folder.file(L"unflagged.mst");
    testing_support::WriteFileBytes(unflagged, bytes);
    MsiTransform refused;
    try {
        refused.Open(base, unflagged, true, false, false);
        ADD_FAILURE() << "applied";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_TRANSFORM_FAILURE), error.code());
    }
    tfc::clear_thread_messages();
    MsiTransform suppressed;
    suppressed.Open(base, unflagged, true, false, true);
    EXPECT_FALSE(suppressed.FindTable(L"AppId"));
    EXPECT_EQ(directories, sorted(SelectRows(suppressed.handle(), kDirectories)));
}

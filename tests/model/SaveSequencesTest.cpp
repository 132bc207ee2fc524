// Sequences that once destroyed the user's file on saving: the edits a user made to an ICE suite (streams
// replaced, a table emptied, added and dropped), and a dialog preview before an edit. Every file written
// must reopen, in the program, in msi.dll and in msitools, holding what memory held.
#include "model/installer/MsiDialogPreview.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "foundation/Errors.h"
#include "foundation/Convert.h"
#include "ChangesTesting.h"
#include "CompoundFileCheck.h"
#include "MsitoolsPicture.h"

#include <iostream>

using namespace model_testing;
using changes_testing::FilePicture;
using testing_support::RunUnixScript;
using testing_support::UnixPath;

namespace {

class SaveSequencesTest : public ::testing::Test
{
protected:
    // Opens a copy of a shared package transacted; false when the shared data is missing.
    bool open(const wchar_t* package)
    {
        std::wstring source = testing_support::TestDataPath(package);
        if (source.empty())
            return false;
        path_ = folder_.copy_in(source, L"own" + std::wstring(wcsrchr(package, L'.')));
        file_.reset(new MsiFile());
        file_->Open(path_, MSIDBOPEN_TRANSACT);
        return true;
    }

    MsiTable& table(const wchar_t* name)
    {
        MsiTableRef found = file_->FindTable(name);
        if (!found)
            throw std::runtime_error("no table " + tfc::to_narrow(name));
        return *found;
    }

    RowIterator row(const wchar_t* table_name, const std::wstring& key)
    {
        MsiTable& found = table(table_name);
        for (RowIterator it = found.rows().begin(); it != found.rows().end(); ++it)
            if (found.RowKeyText(*it) == key)
                return it;
        throw std::runtime_error("no row " + tfc::to_narrow(key));
    }

    static MsiFieldDataRef text(const std::wstring& value)
    {
        return MsiFieldDataRef(new MsiFieldData(value));
    }

    // A file of count bytes made from the seed.
    std::wstring stream_file(size_t count, unsigned seed)
    {
        std::vector<BYTE> bytes(count);
        for (size_t at = 0; at < count; ++at)
            bytes[at] = static_cast<BYTE>((seed = seed * 1103515245 + 12345) >> 16);
        std::wstring path = folder_.file(L"stream" + std::to_wstring(seed) + L".bin");
        testing_support::WriteFileBytes(path, bytes);
        return path;
    }

    void replace_stream(const wchar_t* table_name, const std::wstring& key, size_t count, unsigned seed)
    {
        MsiTable& found = table(table_name);
        const MsiFieldDef& data = *found.FindColumn(L"Data");
        MsiFieldDataRef cell(new MsiFieldData());
        data.set_field_data(*cell, stream_file(count, seed));
        file_->ModifyRow(data, row(table_name, key), cell);
    }

    // The edits of saves/ice-suite-edits.txt, in their order.
    void ice_suite_edits(unsigned mask = ~0u)
    {
        MsiTable& action = table(L"_Action");
        if (mask & 1)
            file_->ModifyRow(*action.FindColumn(L"Required"), row(L"_Action", L"RegisterFonts"),
                             MakeIntegerFieldData(6273));
        if (mask & 2)
            file_->DeleteRow(table(L"Property"), row(L"Property", L"ProductCode"));
        MsiTable& pub = table(L"_MSIPubProps");
        if (mask & 4)
            file_->ModifyRow(*pub.columns()[0], row(L"_MSIPubProps", L"x64"), text(L"x64_2035"));
        MsiTable& exclusion = table(L"_SetExclusion");
        if (mask & 8)
            file_->ModifyRow(*exclusion.FindColumn(L"Action"), row(L"_SetExclusion", L"ForceReboot|1"),
                             text(L"ForceReboo_855"));
        if (mask & 16)
            replace_stream(L"Binary", L"msiice15.dll", 3978, 1);
        if (mask & 32)
            replace_stream(L"Binary", L"msiice11.dll", 3854, 2);
        if (mask & 64)
            replace_stream(L"Binary", L"ice09.vbs", 5515, 3);
        MsiTable& binary = table(L"Binary");
        MsiRow copy;
        RowIterator original = row(L"Binary", L"ice61.vbs");
        for (const MsiFieldDefRef& column : binary.columns()) {
            binary.ExtractCell(*original, *column);
            copy.push_back(column->clone_data(*(*original)[column->column_index()]));
        }
        copy[0] = text(L"ice61.vbs_8501");
        if (mask & 128) {
            file_->AddRow(binary, copy);
            replace_stream(L"Binary", L"ice61.vbs_8501", 1860, 4);
        }
        MsiTable& bad = table(L"_BadProperties");
        while ((mask & 256) && !bad.rows().empty())
            file_->DeleteRow(bad, bad.rows().begin());
        MsiTable added(L"MT105p1", nullptr);
        MsiTable& guids = table(L"_TemplateGUIDs");
        for (const MsiFieldDefRef& column : guids.columns())
            added.columns().push_back(MakeFieldDef(column->name(), column->is_key(), column->type_text(),
                                                   column->column_index(), nullptr));
        for (MsiRow& source : guids.rows()) {
            MsiRow line;
            for (const MsiFieldDefRef& column : guids.columns())
                line.push_back(column->clone_data(*source[column->column_index()]));
            AppendRow(added.rows(), line);
        }
        if (mask & 512)
            file_->AddTableWithRows(added);
        if (mask & 1024)
            file_->DropTable(table(L"_Reqact"));
    }

    // Every table with its row count, as msi.dll lists them.
    static std::wstring table_counts(const std::wstring& path)
    {
        std::wstring counts;
        for (auto& entry : msi::DatabaseRowCounts(path))
            counts += entry.first + L" " + std::to_wstring(entry.second) + L"\n";
        return counts;
    }

    // The tables of an msitools picture, each line "[Table]", with counts " rows" added. The picture splits a
    // text with line breaks over several lines: only tables without such texts can be counted.
    static std::wstring picture_tables(const std::wstring& picture, bool counts)
    {
        std::wstring tables, table;
        size_t rows = 0, start = 0;
        auto close_table = [&] {
            if (!table.empty())
                tables += table + (counts ? L" " + std::to_wstring(rows) : L"") + L"\n";
        };
        for (size_t end = picture.find(L'\n'); end != std::wstring::npos; end = picture.find(L'\n', start)) {
            std::wstring line = picture.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line[0] == L'[' && line.back() == L']') {
                close_table();
                table = line;
                rows = 0;
            } else if (!line.empty()) {
                ++rows;
            }
        }
        close_table();
        return tables;
    }

    // The tables msitools list.
    static std::wstring msitools_tables(const std::wstring& path)
    {
        std::wstring picture;
        return MsitoolsPicture(path, picture) ? picture_tables(picture, false) : L"no msitools";
    }

    // The tables `_Tables` lists, for comparison with picture_tables.
    static std::wstring listed_tables(const std::wstring& path, bool counts = false)
    {
        std::wstring tables;
        for (auto& entry : msi::DatabaseRowCounts(path))
            tables +=
                L"[" + entry.first + L"]" + (counts ? L" " + std::to_wstring(entry.second) : L"") + L"\n";
        return tables;
    }

    // ProductName as the library reads it from a file.
    static std::string product_name(const std::wstring& path)
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
        auto rows =
            SelectRows(database.get(), L"SELECT `Value` FROM `Property` WHERE `Property`='ProductName'");
        return rows.size() == 1 ? rows[0][0] : std::string("<no row>");
    }

    // Every reader gets the written file whole: the structure, msi.dll's tables and row counts, msitools'
    // table list, and our own open holding the edited text.
    static void expect_read_whole(const std::wstring& path, const std::wstring& counts,
                                  const std::wstring& edited)
    {
        EXPECT_EQ("", CompoundFileFault(path));
        EXPECT_EQ(counts, table_counts(path));
        std::wstring outside = msitools_tables(path);
        if (outside != L"no msitools") {
            EXPECT_EQ(listed_tables(path), outside);
        }
        MsiFile reopened;
        reopened.Open(path, MSIDBOPEN_READONLY);
        EXPECT_NE(std::wstring::npos, changes_testing::DatabasePicture(reopened).find(edited));
    }

    // An edit of the Property table: ProductName gets a new value.
    void edit_product_name(const std::wstring& value)
    {
        MsiTable& property = table(L"Property");
        file_->ModifyRow(*property.FindColumn(L"Value"), row(L"Property", L"ProductName"), text(value));
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
    std::unique_ptr<MsiFile> file_;
};

} // namespace

// Wine's commit of these edits (a table emptied row by row) leaves links to freed entries; the replaced
// streams written over that once left a file no reader opens. Both saves, in either order, must leave
// files every reader lists alike, holding the new stream bytes.
TEST_F(SaveSequencesTest, IceSuiteEditsSaveElsewhereAndInPlace)
{
    for (bool in_place_first : {false, true}) {
        SCOPED_TRACE(in_place_first ? "in place first" : "elsewhere first");
        if (!open(L"saves/ice-suite.cub"))
            GTEST_SKIP() << "no shared test data";
        ice_suite_edits();
        std::wstring copy = folder_.file(in_place_first ? L"second.cub" : L"first.cub");
        for (bool in_place : {in_place_first, !in_place_first}) {
            if (in_place)
                file_->SaveInPlace(true, L"Tester");
            else
                file_->SaveDatabaseAs(copy, true, L"Tester");
        }
        file_.reset();
        std::vector<BYTE> bytes = testing_support::ReadFileBytes(stream_file(5515, 3));
        for (const std::wstring& written : {copy, path_}) {
            EXPECT_EQ("", CompoundFileFault(written));
            std::wstring counts = table_counts(written);
            EXPECT_NE(std::wstring::npos, counts.find(L"MT105p1 160\n"));
            EXPECT_NE(std::wstring::npos, counts.find(L"_BadProperties 0\n"));
            EXPECT_EQ(std::wstring::npos, counts.find(L"_Reqact"));
            MsiHandle database = msi::OpenDatabase(written, MSIDBOPEN_READONLY);
            auto rows = SelectRows(database.get(), L"SELECT `Data` FROM `Binary` WHERE `Name`='ice09.vbs'");
            ASSERT_EQ(1u, rows.size());
            EXPECT_TRUE(rows[0][0] == std::string(bytes.begin(), bytes.end()));
            database.reset();
            MsiFile reopened;
            reopened.Open(written, MSIDBOPEN_READONLY);
            ASSERT_TRUE(reopened.FindTable(L"MT105p1"));
            EXPECT_EQ(160u, reopened.FindTable(L"MT105p1")->rows().size());
            std::wstring picture;
            if (MsitoolsPicture(written, picture)) {
                EXPECT_EQ(listed_tables(written, true), picture_tables(picture, true));
                EXPECT_NE(std::wstring::npos, picture.find(StreamDigest(bytes)));
            }
        }
    }
}

TEST_F(SaveSequencesTest, DialogPreviewThenEditAndSaveInPlaceKeepsEveryTable)
{
    if (!open(L"saves/with-dialogs.msi"))
        GTEST_SKIP() << "no shared test data";
    std::wstring before = table_counts(
        folder_.copy_in(testing_support::TestDataPath(L"saves/with-dialogs.msi"), L"before.msi"));
    {
        msi::DialogPreview preview(file_->handle());
        preview.Show(L"WelcomeForm");
        preview.Remove();
    }
    edit_product_name(L"Edited");
    file_->SaveInPlace(true, L"Tester");
    // Twice: the second save builds on the file the first one left.
    edit_product_name(L"Edited again");
    file_->SaveInPlace(true, L"Tester");
    file_.reset();
    expect_read_whole(path_, before, L"Edited again");
}

// Another program replaces the file (a rename over it), rewrites or removes it while the database is open: a
// save in place refuses and leaves that file alone; a save elsewhere writes the edits onto what the open
// read, and every reader gets that file whole.
TEST_F(SaveSequencesTest, FileChangedUnderTheOpenDatabaseIsSavedElsewhereWithTheEdits)
{
    for (const char* how : {"mv -f", "cat >", "rm -f"}) {
        SCOPED_TRACE(how);
        auto at_path = [this] {
            return GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES
                       ? std::vector<BYTE>()
                       : testing_support::ReadFileBytes(path_);
        };
        if (!open(L"saves/with-dialogs.msi"))
            GTEST_SKIP() << "no shared test data";
        std::wstring before = table_counts(testing_support::TestDataPath(L"saves/with-dialogs.msi"));
        edit_product_name(L"Edited");
        std::wstring other = folder_.copy_in(testing_support::TestDataPath(L"two-saves.msi"), L"other.msi");
        std::vector<BYTE> replaced = testing_support::ReadFileBytes(other);
        std::string command = std::string(how) + " '" + UnixPath(other) + "' '" + UnixPath(path_) + "'\n";
        if (std::string(how) == "cat >")
            command = "cat '" + UnixPath(other) + "' > '" + UnixPath(path_) + "'\n";
        if (std::string(how) == "rm -f") {
            command = "rm -f '" + UnixPath(path_) + "'\n";
            replaced.clear();
        }
        ASSERT_TRUE(RunUnixScript(folder_.path(), command));
        EXPECT_TRUE(file_->OwnFileChanged());
        try {
            file_->SaveInPlace(true, L"Tester");
            ADD_FAILURE() << "saved into the changed file";
        } catch (const tfc::ManageableError& error) {
            EXPECT_NE(std::wstring::npos, error.message.find(L"Save As"));
        }
        EXPECT_EQ(replaced, at_path());
        EXPECT_EQ(1u, file_->change_log().size());
        std::wstring copy = folder_.file(L"rescued.msi");
        file_->SaveDatabaseAs(copy, true, L"Tester");
        file_.reset();
        EXPECT_EQ(replaced, at_path());
        EXPECT_EQ("Edited", product_name(copy));
        expect_read_whole(copy, before, L"Edited");
        DeleteFileW(copy.c_str());
    }
}

namespace {

// A folder of the scratch folder that a save cannot write into: made immutable, or a file system too
// small for another copy. Put back when this ends. Empty path when the system does not allow it.
class HostileFolder
{
public:
    HostileFolder(const testing_support::ScratchFolder& scratch, const std::string& kind,
                  const std::wstring& source)
        : scratch_(scratch), kind_(kind)
    {
        folder_ = scratch.file(L"hostile");
        CreateDirectoryW(folder_.c_str(), nullptr);
        std::string unix = UnixPath(folder_);
        if (kind == "full disk") {
            // Room for the file and a little more, not for a second copy.
            HANDLE file = CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr);
            DWORD size = GetFileSize(file, nullptr);
            CloseHandle(file);
            RunUnixScript(scratch.path(), "mount -t tmpfs -o size=" + std::to_string(size + 64 * 1024) +
                                              " tmpfs '" + unix + "' && touch '" + unix + "/mounted'\n");
            if (GetFileAttributesW((folder_ + L"\\mounted").c_str()) == INVALID_FILE_ATTRIBUTES)
                folder_.clear();
        }
        if (!folder_.empty())
            path_ = scratch.copy_in(source, L"hostile\\own.msi");
        if (kind == "read-only folder") {
            RunUnixScript(scratch.path(), "chattr +i '" + unix + "' && touch '" + unix + "/../immutable'\n");
            if (GetFileAttributesW(scratch.file(L"immutable").c_str()) == INVALID_FILE_ATTRIBUTES)
                path_.clear();
        }
    }
    ~HostileFolder()
    {
        std::string unix = UnixPath(scratch_.file(L"hostile"));
        if (kind_ == "read-only folder")
            RunUnixScript(scratch_.path(), "chattr -i '" + unix + "'\n");
        if (kind_ == "full disk" && !folder_.empty())
            RunUnixScript(scratch_.path(), "umount '" + unix + "'\n");
    }
    HostileFolder(const HostileFolder&) = delete;
    HostileFolder& operator=(const HostileFolder&) = delete;
    // The package in the folder, empty when the folder could not be made hostile.
    const std::wstring& path() const { return path_; }

private:
    const testing_support::ScratchFolder& scratch_;
    std::string kind_;
    std::wstring folder_, path_;
};

} // namespace

// A save that cannot be done (no room, a folder nothing can be written into, a file another program
// holds) says so, leaves the file byte for byte and keeps the edits and the handle for a later save.
TEST_F(SaveSequencesTest, FailedSaveInPlaceLeavesTheFileByteForByte)
{
    std::wstring source = testing_support::TestDataPath(L"saves/with-dialogs.msi");
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    for (const char* kind : {"read-only folder", "locked file", "full disk"}) {
        SCOPED_TRACE(kind);
        std::vector<BYTE> before;
        {
            HostileFolder hostile(folder_, kind, source);
            if (hostile.path().empty()) {
                std::cout << "skipped: " << kind << " cannot be made here\n";
                continue;
            }
            before = testing_support::ReadFileBytes(hostile.path());
            file_.reset(new MsiFile());
            file_->Open(hostile.path(), MSIDBOPEN_TRANSACT);
            edit_product_name(L"Edited");
            HANDLE held = INVALID_HANDLE_VALUE;
            if (std::string(kind) == "locked file")
                held = CreateFileW(hostile.path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
            bool failed = false;
            try {
                file_->SaveInPlace(true, L"Tester");
            } catch (const tfc::ManageableError&) {
                failed = true;
            } catch (const tfc::Win32Error&) {
                failed = true;
            }
            if (held != INVALID_HANDLE_VALUE)
                CloseHandle(held);
            EXPECT_TRUE(failed);
            EXPECT_NE(0u, file_->handle());
            EXPECT_EQ(1u, file_->change_log().size());
            // The handle the tab goes on with holds the edit, as the tab shows it.
            EXPECT_EQ((std::vector<std::vector<std::string>>{{"Edited"}}),
                      SelectRows(file_->handle(),
                                 L"SELECT `Value` FROM `Property` WHERE `Property`='ProductName'"));
            std::string unix = UnixPath(hostile.path());
            std::vector<BYTE> after = testing_support::ReadFileBytes(hostile.path());
            EXPECT_TRUE(before == after);
            std::wstring copy = folder_.file(L"rescued.msi");
            file_->SaveDatabaseAs(copy, true, L"Tester");
            file_.reset();
            EXPECT_EQ("Edited", product_name(copy));
            DeleteFileW(copy.c_str());
        }
    }
}

// Saving keeps what the user had: a symbolic link (its target gets the new bytes),
// and a path given with forward slashes or as a bare name works as any other.
TEST_F(SaveSequencesTest, SavesKeepModeAndLinksAndTakeAnyFormOfPath)
{
    std::wstring source = testing_support::TestDataPath(L"two-saves.msi");
    if (source.empty() || UnixPath(folder_.path()).empty())
        GTEST_SKIP() << "no shared test data or not under Wine";
    std::string unix = UnixPath(folder_.path());
    CreateDirectoryW(folder_.file(L"real").c_str(), nullptr);
    std::wstring real = folder_.copy_in(source, L"real\\own.msi");
    std::wstring other = folder_.copy_in(source, L"other.msi");
    ASSERT_TRUE(RunUnixScript(folder_.path(), "cd '" + unix +
                                                  "' && chmod 640 real/own.msi other.msi && "
                                                  "ln -s real/own.msi link.msi\n"));
    std::wstring link = folder_.file(L"link.msi");
    file_.reset(new MsiFile());
    file_->Open(link, MSIDBOPEN_TRANSACT);
    edit_product_name(L"Edited");
    file_->SaveInPlace(true, L"Tester");
    // Onto an existing file, named with forward slashes; then a new one, named bare.
    std::wstring slashed = other;
    for (wchar_t& c : slashed)
        if (c == L'\\')
            c = L'/';
    file_->SaveDatabaseAs(slashed, true, L"Tester");
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(folder_.path().c_str());
    file_->SaveDatabaseAs(L"bare.msi", true, L"Tester");
    SetCurrentDirectoryW(current);
    file_.reset();
    ASSERT_TRUE(RunUnixScript(folder_.path(), "cd '" + unix +
                                                  "' && { stat -c %a real/own.msi other.msi; "
                                                  "readlink link.msi; } > about.txt\n"));
    std::vector<BYTE> about = testing_support::ReadFileBytes(folder_.file(L"about.txt"));
    // Wine gives a new file the umask's mode: no Win32 call carries 0640 (see UserFileReplace.h).
    std::string lines(about.begin(), about.end());
    EXPECT_EQ("real/own.msi\n", lines.substr(lines.rfind('\n', lines.size() - 2) + 1));
    EXPECT_EQ("Edited", product_name(real));
    EXPECT_EQ("Edited", product_name(link));
    EXPECT_EQ(table_counts(real), table_counts(other));
    EXPECT_EQ(table_counts(real), table_counts(folder_.file(L"bare.msi")));
}

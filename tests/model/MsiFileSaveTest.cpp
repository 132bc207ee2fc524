// Saving in place and to another path: what each leaves in the files and in the change log, also when a
// step fails half way.
#include "model/installer/MsiCallFaults.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "ChangesTesting.h"

#include <cwctype>

using namespace model_testing;
using changes_testing::Bytes;
using changes_testing::FilePicture;

namespace {

class MsiFileSaveTest : public changes_testing::SmallDatabaseTest
{
protected:
    // A few changes of every kind, leaving a log of five entries.
    void edit()
    {
        MsiTable& plain = table(L"Plain");
        file_->AddRow(plain, {text(L"C"), text(L"third")});
        file_->ModifyRow(column(L"Plain", L"Key"), row(L"Plain", L"A"), text(L"A2"));
        file_->ModifyRow(column(L"Item", L"Note"), row(L"Item", L"a"), text(L"note of a, changed"));
        file_->DeleteRow(table(L"Item"), row(L"Item", L"c"));
        file_->DeleteRow(table(L"Pair"), row(L"Pair", L"none", L"Value"));
        ASSERT_EQ(5u, file_->change_log().size());
    }

    // The names of the files in the scratch folder.
    std::vector<std::wstring> folder_files()
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(folder_.file(L"*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }

    static bool has_time(const FILETIME& time) { return time.dwLowDateTime != 0 || time.dwHighDateTime != 0; }
};

} // namespace

TEST_F(MsiFileSaveTest, FailedCommitInPlaceKeepsTheLogForALaterSave)
{
    edit();
    std::wstring expected = memory_picture();
    ASSERT_TRUE(has_time(file_->saved_time()));
    for (const wchar_t* failing : {L"MsiDatabaseCommit", L"MsiSummaryInfoPersist"}) {
        msi::ScopedCallFaults faults;
        msi::FailCall(failing, 1, ERROR_FUNCTION_FAILED);
        try {
            file_->SaveInPlace(true, L"Tester");
            ADD_FAILURE() << "saved";
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(failing, error.function());
        }
        EXPECT_EQ(5u, file_->change_log().size());
        EXPECT_TRUE(has_time(file_->saved_time()));
    }
    // Nothing is lost: a save elsewhere still carries every change, and so does the next save in place.
    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    file_->SaveInPlace(false, L"");
    EXPECT_TRUE(file_->change_log().empty());
    EXPECT_FALSE(has_time(file_->saved_time()));
    close();
    EXPECT_EQ(expected, saved_picture(copy));
    EXPECT_EQ(expected, saved_picture(path_));
}

TEST_F(MsiFileSaveTest, FailedSaveAsLeavesAnExistingTargetAsItWas)
{
    edit();
    std::wstring target = folder_.file(L"target.msi");
    std::vector<BYTE> old_bytes = Bytes("the user's old file");
    testing_support::WriteFileBytes(target, old_bytes);
    std::vector<std::wstring> files = folder_files();
    // The third change fails on the copy; then the copy's commit; then opening the copy.
    struct Failure
    {
        const wchar_t* function;
        unsigned nth;
    };
    for (Failure failure : {Failure{L"MsiViewExecute", 3}, Failure{L"MsiDatabaseCommit", 1},
                            Failure{L"MsiOpenDatabase", 1}, Failure{L"MsiSummaryInfoPersist", 1}}) {
        msi::ScopedCallFaults faults;
        msi::FailCall(failure.function, failure.nth, ERROR_FUNCTION_FAILED);
        EXPECT_THROW(file_->SaveDatabaseAs(target, false, L""), tfc::Win32Error) << failure.function;
        tfc::clear_thread_messages();
        EXPECT_EQ(old_bytes, testing_support::ReadFileBytes(target)) << failure.function;
        EXPECT_EQ(files, folder_files()) << failure.function;
        EXPECT_EQ(5u, file_->change_log().size());
    }
    // The open database is unharmed and the next try replaces the target.
    std::wstring expected = memory_picture();
    file_->SaveDatabaseAs(target, false, L"");
    EXPECT_EQ(files, folder_files());
    close();
    EXPECT_EQ(expected, saved_picture(target));
}

TEST_F(MsiFileSaveTest, CodePageChangesTravelWithTheLog)
{
    file_->SetCodepage(1252);
    file_->AddRow(table(L"Plain"), {text(L"C"), text(L"third")});
    EXPECT_EQ(2u, file_->change_log().size());
    std::wstring copy = folder_.file(L"copy.msi");
    file_->SaveDatabaseAs(copy, false, L"");
    {
        MsiFile saved;
        saved.Open(copy, MSIDBOPEN_READONLY);
        EXPECT_EQ(1252u, saved.GetCodepage());
    }
    // A refused code page is not logged.
    EXPECT_THROW(file_->SetCodepage(99999), tfc::ManageableError);
    EXPECT_EQ(2u, file_->change_log().size());
    file_->SaveInPlace(false, L"");
    close();
    EXPECT_EQ(FilePicture(path_), FilePicture(copy));
}

TEST_F(MsiFileSaveTest, OwnPathInOtherLettersIsSavedInPlace)
{
    edit();
    std::wstring expected = memory_picture();
    std::vector<std::wstring> files = folder_files();
    std::wstring upper = path_;
    for (wchar_t& letter : upper)
        letter = static_cast<wchar_t>(std::towupper(letter));
    file_->Save(upper, true, L"Tester");
    EXPECT_TRUE(file_->change_log().empty());
    EXPECT_EQ(files, folder_files());
    close();
    EXPECT_EQ(expected, saved_picture(path_));
    MsiFile saved;
    saved.Open(path_, MSIDBOPEN_READONLY);
    EXPECT_EQ(L"Tester", saved.summary_info().at(8)->to_string());
    EXPECT_EQ(L"Dravnetta", saved.summary_info().at(18)->to_string());
}

TEST_F(MsiFileSaveTest, OwnFileUnderAnyFormOfItsPathIsSavedInPlace)
{
    wchar_t short_path[MAX_PATH] = {};
    GetShortPathNameW(path_.c_str(), short_path, MAX_PATH);
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.path().c_str()));
    std::wstring name = path_.substr(path_.rfind(L'\\') + 1);
    std::vector<std::wstring> files = folder_files();
    for (const std::wstring& form :
         {name, L".\\" + name, folder_.path() + L"\\.\\" + name, std::wstring(short_path)}) {
        SCOPED_TRACE(tfc::to_narrow(form));
        if (form.empty())
            continue;
        file_->ModifyRow(column(L"Plain", L"Value"), row(L"Plain", L"B"), text(form));
        file_->Save(form, false, L"");
        EXPECT_TRUE(file_->change_log().empty()) << "saved elsewhere";
        EXPECT_EQ(files, folder_files());
    }
    SetCurrentDirectoryW(current);
}

TEST_F(MsiFileSaveTest, ReadOnlyDatabaseSavedElsewhereIsCopied)
{
    close();
    MsiFile read_only;
    ASSERT_TRUE(read_only.Open(path_, MSIDBOPEN_READONLY));
    EXPECT_ANY_THROW(read_only.AddRow(*read_only.FindTable(L"Plain"), {text(L"C"), text(L"third")}));
    tfc::clear_thread_messages();
    EXPECT_TRUE(read_only.change_log().empty());
    std::wstring copy = folder_.file(L"copy.msi");
    testing_support::WriteFileBytes(copy, Bytes("old"));
    read_only.SaveDatabaseAs(copy, true, L"Tester");
    read_only.SaveInPlace(true, L"Tester");
    EXPECT_EQ(testing_support::ReadFileBytes(path_), testing_support::ReadFileBytes(copy));
}

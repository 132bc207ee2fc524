#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "model/installer/MsiTransformFallback.h"
#include "foundation/Errors.h"
#include "../MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <msidefs.h>

using namespace model_testing;

TEST(MsiHandle, LastOwnerClosesTheHandle)
{
    MsiHandle first = msi::CreateRecord(3);
    MSIHANDLE raw = first.get();
    {
        MsiHandle second = first;
        EXPECT_EQ(2, first.use_count());
        first.reset();
        EXPECT_EQ(3u, MsiRecordGetFieldCount(raw)); // still open through the copy
    }
    EXPECT_EQ(static_cast<UINT>(-1), MsiRecordGetFieldCount(raw));
    EXPECT_FALSE(MsiHandle(0));
}

TEST(MsiApi, FailuresNameTheCallWithoutItsW)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"not-a-database.msi");
    testing_support::WriteFileBytes(path, std::vector<BYTE>(100, 'x'));
    try {
        msi::OpenDatabase(path, MSIDBOPEN_READONLY);
        FAIL() << "a text file opened as a database";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiOpenDatabase", error.function());
        EXPECT_NE(0u, error.code());
    }

    CreateDatabaseFile(folder.file(L"a.msi"), {L"CREATE TABLE `T` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(folder.file(L"a.msi"), MSIDBOPEN_TRANSACT);
    try {
        msi::DatabaseOpenView(database.get(), L"SELECT * FROM `Missing`");
        FAIL();
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiDatabaseOpenView", error.function());
    }
}

TEST(MsiApi, FetchEndsEmptyAndLongTextsReadWhole)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"a.msi");
    CreateDatabaseFile(path, {L"CREATE TABLE `T` (`K` CHAR(10) NOT NULL, `V` LONGCHAR PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    std::wstring long_text(600, L'w');
    long_text += L"\x65e5\x672c";
    Execute(database.get(), L"INSERT INTO `T` (`K`, `V`) VALUES (?, ?)",
            {Param::Text(L"a"), Param::Text(long_text)});

    MsiHandle view = Execute(database.get(), L"SELECT `V` FROM `T`");
    MsiHandle record = msi::ViewFetch(view.get());
    ASSERT_TRUE(record);
    EXPECT_EQ(long_text, msi::RecordGetString(record.get(), 1));
    EXPECT_FALSE(msi::ViewFetch(view.get()));
}

TEST(MsiApi, SummaryPropertiesCarryTextOnlyForTexts)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"a.msi");
    CreateDatabaseFile(path, {L"CREATE TABLE `T` (`K` INT NOT NULL PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    {
        MsiHandle summary = msi::GetSummaryInformation(database.get(), nullptr, 4);
        msi::SummaryValue title;
        title.type = VT_LPSTR;
        title.text = L"Title";
        msi::SummaryInfoSetProperty(summary.get(), PID_TITLE, title);
        msi::SummaryValue pages;
        pages.type = VT_I4;
        pages.integer = 200;
        msi::SummaryInfoSetProperty(summary.get(), PID_PAGECOUNT, pages);
        msi::SummaryInfoPersist(summary.get());
    }
    MsiHandle summary = msi::GetSummaryInformation(database.get(), nullptr, 0);
    EXPECT_EQ(L"Title", msi::SummaryInfoGetProperty(summary.get(), PID_TITLE).text);
    msi::SummaryValue pages = msi::SummaryInfoGetProperty(summary.get(), PID_PAGECOUNT);
    EXPECT_EQ(static_cast<UINT>(VT_I4), pages.type);
    EXPECT_EQ(200, pages.integer);
    EXPECT_EQ(L"", pages.text);
    msi::SummaryValue missing = msi::SummaryInfoGetProperty(summary.get(), PID_KEYWORDS);
    EXPECT_EQ(static_cast<UINT>(VT_EMPTY), missing.type);
    EXPECT_EQ(L"", missing.text);
}

TEST(MsiCallFaults, ChosenCallFailsAndOthersRun)
{
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"a.msi");
    CreateDatabaseFile(path, {L"CREATE TABLE `T` (`K` INT NOT NULL PRIMARY KEY `K`)"});
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    msi::ScopedCallFaults faults;
    msi::StartCountingCalls();
    msi::FailCall(L"MsiViewExecute", 2, ERROR_FUNCTION_FAILED);
    MsiHandle insert = msi::DatabaseOpenView(database.get(), L"INSERT INTO `T` (`K`) VALUES (?)");
    for (int key = 1; key <= 3; ++key) {
        MsiHandle record = ParamRecord({Param::Int(key)});
        if (key == 2) {
            try {
                msi::ViewExecute(insert.get(), record.get());
                FAIL() << "the second execute ran";
            } catch (const tfc::Win32Error& error) {
                EXPECT_EQ(static_cast<DWORD>(ERROR_FUNCTION_FAILED), error.code());
                EXPECT_EQ(L"MsiViewExecute", error.function());
            }
        } else {
            msi::ViewExecute(insert.get(), record.get());
        }
    }
    EXPECT_EQ(3u, msi::CallCount(L"MsiViewExecute"));

    msi::FailCall(L"MsiCreateRecord", 1, ERROR_OUTOFMEMORY);
    try {
        msi::CreateRecord(1);
        FAIL() << "the record was made";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_OUTOFMEMORY), error.code());
    }

    msi::FailCall(L"MsiDatabaseCommit", 1, ERROR_FUNCTION_FAILED);
    EXPECT_THROW(msi::DatabaseCommit(database.get()), tfc::Win32Error);
    msi::DatabaseCommit(database.get());
    auto rows = SelectRows(database.get(), L"SELECT `K` FROM `T` ORDER BY `K`");
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ("1", rows[0][0]);
    EXPECT_EQ("3", rows[1][0]);
}

// Our transform writer stands in only where the platform lacks the call; a real failure stays one.
TEST(MsiTransformFallback, OnlyAMissingCallFallsBack)
{
    using msi::TransformCall;
    struct Case
    {
        TransformCall call;
        UINT result;
        bool on_wine, falls_back;
    } cases[] = {
        {TransformCall::Generate, ERROR_CALL_NOT_IMPLEMENTED, true, true},
        {TransformCall::Generate, ERROR_CALL_NOT_IMPLEMENTED, false, true},
        {TransformCall::Generate, ERROR_FUNCTION_FAILED, true, false},
        {TransformCall::Generate, ERROR_FUNCTION_FAILED, false, false},
        {TransformCall::SummaryInfo, ERROR_CALL_NOT_IMPLEMENTED, false, true},
        {TransformCall::SummaryInfo, ERROR_FUNCTION_FAILED, true, true},
        {TransformCall::SummaryInfo, ERROR_FUNCTION_FAILED, false, false},
        {TransformCall::SummaryInfo, ERROR_INVALID_HANDLE, true, false},
        {TransformCall::Generate, ERROR_SUCCESS, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(msi::IsMissingTransformSupport(c.call, c.result, c.on_wine), c.falls_back)
            << static_cast<int>(c.call) << " " << c.result << " " << c.on_wine;
}

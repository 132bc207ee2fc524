#include "model/SummaryInfo.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <msidefs.h>
#include <stdexcept>

using namespace model_testing;

namespace {

class SummaryInfoTest : public testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"summary.msi");
        CreateDatabaseFile(path_, {L"CREATE TABLE `T` (`K` CHAR(10) NOT NULL PRIMARY KEY `K`)"});
    }
    void TearDown() override { tfc::clear_thread_messages(); }

    SummaryInfoMap load(const wchar_t* persist = MSIDBOPEN_READONLY)
    {
        database_ = msi::OpenDatabase(path_, persist);
        SummaryInfoMap summary;
        MsiSummaryInfo::Load(database_.get(), summary);
        return summary;
    }
    void save(SummaryInfoMap& summary, bool stamp = false, const std::wstring& saved_by = L"")
    {
        MsiSummaryInfo::Persist(database_.get(), summary, stamp, saved_by);
        msi::DatabaseCommit(database_.get());
        database_.reset();
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
    MsiHandle database_;
};

FILETIME SomeTime()
{
    SYSTEMTIME time = {2021, 3, 0, 14, 15, 9, 26, 0};
    FILETIME result;
    SystemTimeToFileTime(&time, &result);
    return result;
}

} // namespace

TEST_F(SummaryInfoTest, EveryDefinedPropertyHasAnEntryOfItsClass)
{
    SummaryInfoMap summary = load();
    ASSERT_EQ(17u, summary.size());
    EXPECT_EQ(0u, summary.count(10));
    EXPECT_EQ(0u, summary.count(17));
    EXPECT_EQ(L"Character Count (Transform: Validation Flags << 16 | Error Condition Flags)",
              summary[16]->label());

    // Absent properties are null entries: to_string is empty, and setting one makes it a value.
    MsiSIProperty& pages = *summary[PID_PAGECOUNT];
    ASSERT_TRUE(pages.is_null());
    EXPECT_EQ(L"", pages.to_string());
    pages.set_integer(200);
    EXPECT_FALSE(pages.is_null());
    EXPECT_EQ(L"200", pages.to_string());
    EXPECT_EQ(200, pages.numeric_value());
    EXPECT_TRUE(summary[PID_LASTPRINTED]->is_null());
    EXPECT_EQ(L"", summary[PID_LASTPRINTED]->to_string());
}

TEST_F(SummaryInfoTest, SettersOfAnotherTypeAreRefused)
{
    SummaryInfoMap summary = load();
    try {
        summary[PID_TITLE]->set_integer(3);
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("Attempted to set a SummaryInfo Stream property with the wrong type", error.what());
    }
    EXPECT_THROW(summary[PID_CODEPAGE]->set_string(L"1252"), std::runtime_error);
    EXPECT_THROW(summary[PID_PAGECOUNT]->set_short(1), std::runtime_error);
    EXPECT_THROW(summary[PID_CREATE_DTM]->set_integer(1), std::runtime_error);
    try {
        summary[PID_CREATE_DTM]->numeric_value();
        FAIL();
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("Internal Error: numeric_value() is not implemented for this property", error.what());
    }
    EXPECT_TRUE(summary[PID_TITLE]->is_null()); // a refused setter changes nothing
}

TEST_F(SummaryInfoTest, AllFourTypesSurviveSavingAndReopening)
{
    SummaryInfoMap summary = load(MSIDBOPEN_TRANSACT);
    FILETIME created = SomeTime();
    summary[PID_CODEPAGE]->set_short(1252);
    summary[PID_TITLE]->set_string(L"Installation Database");
    summary[PID_CREATE_DTM]->set_filetime(created);
    summary[PID_PAGECOUNT]->set_integer(200);
    summary[PID_SECURITY]->set_integer(2);
    save(summary);

    SummaryInfoMap reread = load();
    EXPECT_EQ(1252, reread[PID_CODEPAGE]->numeric_value());
    EXPECT_EQ(L"1252", reread[PID_CODEPAGE]->to_string());
    EXPECT_EQ(L"Installation Database", reread[PID_TITLE]->to_string());
    EXPECT_EQ(200, reread[PID_PAGECOUNT]->numeric_value());
    EXPECT_EQ(2, reread[PID_SECURITY]->numeric_value());
    auto& time = dynamic_cast<MsiSIFiletimeProperty&>(*reread[PID_CREATE_DTM]);
    EXPECT_EQ(created.dwLowDateTime, time.value().dwLowDateTime);
    EXPECT_EQ(created.dwHighDateTime, time.value().dwHighDateTime);
    // Shown without any time-zone shift: the calendar fields that were stored.
    SYSTEMTIME fields;
    FileTimeToSystemTime(&created, &fields);
    wchar_t date[100], clock[100];
    GetDateFormatW(LOCALE_USER_DEFAULT, 0, &fields, nullptr, date, 100);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &fields, nullptr, clock, 100);
    EXPECT_EQ(std::wstring(date) + L" " + clock, time.to_string());
    EXPECT_TRUE(reread[PID_SUBJECT]->is_null());
}

TEST_F(SummaryInfoTest, LongTextIsReadWholeAfterAskingForMoreRoom)
{
    SummaryInfoMap summary = load(MSIDBOPEN_TRANSACT);
    std::wstring title(600, L't');
    title += L"end";
    summary[PID_TITLE]->set_string(title);
    save(summary);

    msi::ScopedCallFaults calls;
    msi::StartCountingCalls();
    SummaryInfoMap reread = load();
    EXPECT_EQ(title, reread[PID_TITLE]->to_string());
    // One call per property, and one more for the title after its 234 answer.
    EXPECT_EQ(SummaryPropertyDefs().size() + 1, msi::CallCount(L"MsiSummaryInfoGetProperty"));
}

TEST_F(SummaryInfoTest, StampingWritesWhoWhenAndWithWhat)
{
    SummaryInfoMap summary = load(MSIDBOPEN_TRANSACT);
    ASSERT_TRUE(summary[PID_LASTAUTHOR]->is_null());
    SYSTEMTIME before;
    GetLocalTime(&before);
    save(summary, true, L"Tester");

    SummaryInfoMap reread = load();
    EXPECT_EQ(L"Tester", reread[PID_LASTAUTHOR]->to_string());
    EXPECT_EQ(L"Dravnetta", reread[PID_APPNAME]->to_string());
    ASSERT_FALSE(reread[PID_LASTSAVE_DTM]->is_null());
    // Local calendar time, as the clock on the wall shows it.
    SYSTEMTIME saved;
    FileTimeToSystemTime(&dynamic_cast<MsiSIFiletimeProperty&>(*reread[PID_LASTSAVE_DTM]).value(), &saved);
    EXPECT_EQ(before.wYear, saved.wYear);
    EXPECT_EQ(before.wDay, saved.wDay);
    EXPECT_EQ(before.wHour, saved.wHour);
}

TEST_F(SummaryInfoTest, NullPropertiesThatWereNeverStoredAreNoObstacle)
{
    SummaryInfoMap summary = load(MSIDBOPEN_TRANSACT);
    summary[PID_COMMENTS]->set_null();
    summary[PID_AUTHOR]->set_string(L"Someone");
    save(summary);
    SummaryInfoMap reread = load();
    EXPECT_EQ(L"Someone", reread[PID_AUTHOR]->to_string());
    EXPECT_TRUE(reread[PID_COMMENTS]->is_null());
}

TEST_F(SummaryInfoTest, ClearingAStoredPropertyNeverSucceedsWhileTheOldValueStays)
{
    SummaryInfoMap summary = load(MSIDBOPEN_TRANSACT);
    summary[PID_TITLE]->set_string(L"Old title");
    summary[PID_AUTHOR]->set_string(L"Old author");
    save(summary);

    summary = load(MSIDBOPEN_TRANSACT);
    summary[PID_TITLE]->set_null();
    summary[PID_AUTHOR]->set_string(L"New author");
    bool saved = false;
    try {
        save(summary);
        saved = true;
    } catch (const tfc::Win32Error& error) {
        // The library refuses to remove a property (Wine answers 1629): the save fails and says why.
        EXPECT_EQ(L"MsiSummaryInfoSetProperty", error.function());
        std::wstring trail = tfc::joined_thread_messages();
        EXPECT_NE(std::wstring::npos, trail.find(L"\"Title\"")) << trail;
        database_.reset();
    }
    SummaryInfoMap reread = load();
    if (saved) {
        EXPECT_TRUE(reread[PID_TITLE]->is_null());
        EXPECT_EQ(L"New author", reread[PID_AUTHOR]->to_string());
    } else {
        // Nothing of the failed save reached the file.
        EXPECT_EQ(L"Old title", reread[PID_TITLE]->to_string());
        EXPECT_EQ(L"Old author", reread[PID_AUTHOR]->to_string());
    }
}

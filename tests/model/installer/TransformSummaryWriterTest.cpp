#include "../TransformTesting.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TransformStorage.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace transform_testing;
using testing_support::ScratchFolder;

namespace {

const FMTID kSummaryFormat = {0xF29F85E0, 0x4FF9, 0x1068, {0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9}};

// Property 16 as the transform's open reads it: structured storage, the summary property set, by id.
DWORD ReadFlagsWord(const std::wstring& transform)
{
    msi::ComRef<IStorage> storage;
    msi::CheckHresult(StgOpenStorage(transform.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                                     0, storage.receive()),
                      L"StgOpenStorage");
    msi::ComRef<IPropertySetStorage> sets;
    msi::CheckHresult(
        storage->QueryInterface(IID_IPropertySetStorage, reinterpret_cast<void**>(sets.receive())),
        L"QueryInterface");
    msi::ComRef<IPropertyStorage> properties;
    msi::CheckHresult(sets->Open(kSummaryFormat, STGM_READ | STGM_SHARE_EXCLUSIVE, properties.receive()),
                      L"IPropertySetStorage::Open");
    PROPSPEC spec = {};
    spec.ulKind = PRSPEC_PROPID;
    spec.propid = 16;
    PROPVARIANT value;
    PropVariantInit(&value);
    msi::CheckHresult(properties->ReadMultiple(1, &spec, &value), L"IPropertyStorage::ReadMultiple");
    EXPECT_EQ(value.vt, VT_I4);
    DWORD word = static_cast<DWORD>(value.lVal);
    PropVariantClear(&value);
    return word;
}

void SetSummary(MSIHANDLE database, UINT property, const msi::SummaryValue& value)
{
    MsiHandle summary = msi::GetSummaryInformation(database, nullptr, 4);
    msi::SummaryInfoSetProperty(summary.get(), property, value);
    msi::SummaryInfoPersist(summary.get());
}

msi::SummaryValue Text(const std::wstring& text)
{
    msi::SummaryValue value;
    value.type = VT_LPSTR;
    value.text = text;
    return value;
}

msi::SummaryValue Number(int number)
{
    msi::SummaryValue value;
    value.type = VT_I4;
    value.integer = number;
    return value;
}

class TransformSummaryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        base_ = folder_.file(L"base.msi");
        CreateDatabase(base_,
                       {L"CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` LONGCHAR NOT NULL "
                        L"PRIMARY KEY `Property`)",
                        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductCode', "
                        L"'{11111111-1111-1111-1111-111111111111}')",
                        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('ProductVersion', '1.0.0')",
                        L"INSERT INTO `Property` (`Property`, `Value`) VALUES ('UpgradeCode', "
                        L"'{33333333-3333-3333-3333-333333333333}')"});
        {
            MsiHandle base = msi::OpenDatabase(base_, MSIDBOPEN_TRANSACT);
            SetSummary(base.get(), 7, Text(L"Intel;1033,1031"));
            SetSummary(base.get(), 14, Number(200));
            msi::DatabaseCommit(base.get());
        }
        changed_ = msi::OpenDatabase(folder_.copy_in(base_, L"changed.msi"), MSIDBOPEN_TRANSACT);
        reference_ = msi::OpenDatabase(base_, MSIDBOPEN_READONLY);
        Exec(changed_.get(), L"UPDATE `Property` SET `Value` = '1.1.0' WHERE `Property` = 'ProductVersion'");
        Exec(changed_.get(),
             L"UPDATE `Property` SET `Value` = '{22222222-2222-2222-2222-222222222222}' WHERE "
             L"`Property` = 'ProductCode'");
        SetSummary(changed_.get(), 7, Text(L"x64;1031"));
        SetSummary(changed_.get(), 14, Number(500));
        transform_ = folder_.file(L"t.mst");
        ASSERT_TRUE(msi::DatabaseGenerateTransform(changed_.get(), reference_.get(), transform_));
    }

    ScratchFolder folder_;
    std::wstring base_, transform_;
    MsiHandle changed_, reference_;
};

} // namespace

// Through the layer, as the transform's save calls it; the flags include some the properties dialog has
// no control for (platform 4, several version flags at once, bit 15).
TEST_F(TransformSummaryTest, FlagsRoundTripThroughStructuredStorage)
{
    const int errors = 0x3F, validation = 0x0922 | 0x0004 | 0x0018;
    msi::CreateTransformSummaryInfo(changed_.get(), reference_.get(), transform_, errors, validation);
    EXPECT_EQ(ReadFlagsWord(transform_), 0x093E003Fu);

    // Written again, the summary is replaced, not added to.
    msi::CreateTransformSummaryInfo(changed_.get(), reference_.get(), transform_, 0x0002, 0x8004);
    EXPECT_EQ(ReadFlagsWord(transform_), 0x80040002u);
    msi::CreateTransformSummaryInfo(changed_.get(), reference_.get(), transform_, 0, 0);
    EXPECT_EQ(ReadFlagsWord(transform_), 0u);
}

TEST_F(TransformSummaryTest, InstallerLibraryReadsProductsAndVersions)
{
    msi::CreateTransformSummaryInfo(changed_.get(), reference_.get(), transform_, 0x17, 0x0922);
    {
        MsiHandle summary = msi::GetSummaryInformation(0, transform_.c_str(), 0);
        // One language each: the base's as the template, the changed one's as what the base becomes.
        EXPECT_EQ(msi::SummaryInfoGetProperty(summary.get(), 7).text, L"Intel;1033");
        EXPECT_EQ(msi::SummaryInfoGetProperty(summary.get(), 8).text, L"x64;1031");
        EXPECT_EQ(msi::SummaryInfoGetProperty(summary.get(), 9).text,
                  L"{11111111-1111-1111-1111-111111111111}1.0.0;{22222222-2222-2222-2222-222222222222}1.1.0;"
                  L"{33333333-3333-3333-3333-333333333333}");
        EXPECT_EQ(msi::SummaryInfoGetProperty(summary.get(), 14).integer, 500);
        EXPECT_EQ(msi::SummaryInfoGetProperty(summary.get(), 16).integer, 0x09220017);
    }
    // The summary does not get in the way of applying the transform.
    MsiHandle applied = ApplyToCopy(base_, transform_, folder_.path());
    EXPECT_EQ(DumpDatabase(applied.get()), DumpDatabase(changed_.get()));
}

TEST_F(TransformSummaryTest, MissingTransformFileFails)
{
    EXPECT_THROW(
        msi::CreateTransformSummaryInfo(changed_.get(), reference_.get(), folder_.file(L"none.mst"), 0, 0),
        tfc::Win32Error);
}

// Validation profiles under the test settings key: what a save writes, what reading keeps, and the names
// a profile may have.
#include "validation/ValidationProfile.h"
#include "validation/ValidationTesting.h"

#include "foundation/Errors.h"
#include "foundation/RegKey.h"

#include <gtest/gtest.h>

using namespace validation_testing;

namespace {

using Profiles = StoredProfilesTest;

} // namespace

TEST_F(Profiles, ASavedProfileKeepsItsEnabledCubsAndReadsBackTheSame)
{
    ValidationProfile profile(L"Round");
    EXPECT_TRUE(profile.cubs().empty()) << "no installed cubs here, nothing stored yet";
    EXPECT_FALSE(ProfileKeyExists(L"Round")) << "reading makes no key";
    profile.cubs().emplace_back(suite_);
    ValidationCub& cub = profile.cubs().back();
    EXPECT_EQ((std::vector<std::wstring>{L"TSTICE01", L"TSTICE02", L"TSTICE03", L"TSTICE04", L"TSTICE05"}),
              cub.ice_names);
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 2, 3, 4}), cub.selected_ices);
    cub.selected_ices = {2, 0};
    cub.ShowInfo = true;
    cub.enabled = true;
    profile.cubs().emplace_back(TestCubPath(L"TestSuite2.cub"));
    profile.Save();

    tfc::RegKey key;
    ASSERT_TRUE(key.open(HKEY_CURRENT_USER, ValidationProfile::KeyPath(L"Round")));
    EXPECT_EQ(std::vector<std::wstring>{L"Cub000"}, tfc::EnumRegistrySubkeyNames(key)) << "only enabled cubs";
    tfc::RegKey saved;
    ASSERT_TRUE(saved.open(key, L"Cub000"));
    EXPECT_EQ(suite_, saved.query_string(L""));
    EXPECT_EQ(1u, saved.query_dword(L"ShowInfo"));
    std::wstring multi(L"TSTICE03\0TSTICE01\0\0", 19);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(multi.data());
    EXPECT_EQ(std::vector<BYTE>(bytes, bytes + multi.size() * 2), saved.query_binary(L"SelectedICEs"));

    ValidationProfile read(L"Round");
    ASSERT_EQ(1u, read.cubs().size());
    EXPECT_EQ(suite_, read.cubs()[0].name);
    EXPECT_EQ((std::vector<uint32_t>{2, 0}), read.cubs()[0].selected_ices);
    EXPECT_TRUE(read.cubs()[0].ShowInfo);
    EXPECT_TRUE(read.cubs()[0].enabled);
}

TEST_F(Profiles, ReadingKeepsOnlyWhatTheCubsStillHold)
{
    struct Case
    {
        const char* what;
        StoredCub stored;
        size_t cubs;
        std::vector<uint32_t> selected;
        bool enabled;
    };
    const Case cases[] = {
        {"an ICE the cub no longer holds is dropped",
         {suite_, false, {L"TSTICE09", L"TSTICE02"}},
         1,
         {1},
         true},
        {"a cub holding none of its ICEs is disabled", {suite_, false, {L"TSTICE09"}}, 1, {}, false},
        {"a path that is gone is skipped", {suite_ + L".gone", false, {L"TSTICE01"}}, 0, {}, false},
        {"a name no installed cub has is skipped", {L"Full Suite", false, {L"TSTICE01"}}, 0, {}, false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        StoreProfile(L"Stored", {test.stored});
        ValidationProfile profile(L"Stored");
        ASSERT_EQ(test.cubs, profile.cubs().size());
        if (test.cubs) {
            EXPECT_EQ(test.selected, profile.cubs()[0].selected_ices);
            EXPECT_EQ(test.enabled, profile.cubs()[0].enabled);
        }
    }
}

TEST_F(Profiles, ANameThatIsNoKeyOfItsOwnIsRefused)
{
    StoreProfile(L"Other", {{suite_, false, {L"TSTICE01"}}});
    for (const wchar_t* name : {L"", L"a\\b", L"\\"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        EXPECT_FALSE(ValidationProfile::IsValidName(name));
        // An empty name would read and replace the key of all profiles.
        ValidationProfile profile(name);
        EXPECT_TRUE(profile.cubs().empty());
        EXPECT_THROW(profile.Save(), tfc::ManageableError);
        EXPECT_TRUE(ProfileKeyExists(L"Other"));
    }
    EXPECT_TRUE(ValidationProfile::IsValidName(L"Release checks"));
}

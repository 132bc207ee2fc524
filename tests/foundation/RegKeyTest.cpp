#include "foundation/Errors.h"
#include "foundation/RegKey.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace tamblewick_foundation_classes_v1_0;
using testing_support::ScratchRegistryKey;

namespace {

void set_raw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

} // namespace

TEST(RegKey, StringsReadWholeWhateverTheirTerminator)
{
    ScratchRegistryKey scratch;
    RegKey key;
    key.create(HKEY_CURRENT_USER, scratch.path());
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    set_raw(key, L"raw", REG_SZ, unterminated, sizeof(unterminated));
    EXPECT_EQ(key.query_string(L"raw"), L"abc");
    set_raw(key, L"zero", REG_SZ, L"", 0);
    EXPECT_EQ(key.query_string(L"zero"), L"");
    set_raw(key, L"one", REG_SZ, "x", 1);
    EXPECT_EQ(key.query_string(L"one"), L"");
    std::wstring long_text(300, L'q');
    key.set_string(L"long", long_text);
    EXPECT_EQ(key.query_string(L"long"), long_text);
    key.set_string(L"empty", L"");
    EXPECT_EQ(key.query_string(L"empty"), L"");
    EXPECT_THROW(key.query_string(L"missing"), Win32Error);
    key.set_dword(L"number", 7);
    EXPECT_THROW(key.query_string(L"number"), Win32Error);
}

TEST(RegKey, DwordsMustBeDwords)
{
    ScratchRegistryKey scratch;
    RegKey key;
    key.create(HKEY_CURRENT_USER, scratch.path());
    key.set_dword(L"d", 0xDEADBEEF);
    EXPECT_EQ(key.query_dword(L"d"), 0xDEADBEEFu);
    key.set_string(L"s", L"12");
    try {
        key.query_dword(L"s");
        FAIL() << "a string read as a number";
    } catch (const Win32Error& error) {
        EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_INVALID_DATA));
        EXPECT_EQ(error.function(), L"RegQueryValueEx");
    }
    const BYTE two[] = {1, 2};
    set_raw(key, L"b", REG_BINARY, two, 2);
    EXPECT_THROW(key.query_dword(L"b"), Win32Error);
    EXPECT_EQ(key.query_binary(L"b"), std::vector<BYTE>(two, two + 2));
    EXPECT_TRUE(key.value_exists(L"b"));
    EXPECT_FALSE(key.value_exists(L"nope"));
    std::vector<std::wstring> names = EnumRegistryValueNames(key);
    EXPECT_EQ(names.size(), 3u);
}

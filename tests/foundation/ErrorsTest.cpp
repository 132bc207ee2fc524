#include "foundation/Convert.h"
#include "foundation/Errors.h"

#include <gtest/gtest.h>

using namespace tamblewick_foundation_classes_v1_0;

TEST(Win32Error, TextsNameTheCallAndCode)
{
    Win32Error error(5, L"CopyFile");
    EXPECT_STREQ(error.what(), "CopyFile returned error 5");
    std::wstring description = error.description();
    EXPECT_EQ(description.rfind(L"CopyFile reported error 5:\r\n  ", 0), 0u);
    EXPECT_EQ(description.find(L"\r\n", 30), std::wstring::npos)
        << "line breaks of the system text become blanks";
    // A code without system text ends with the break and two blanks.
    Win32Error unknown(0x2FFFFFF, L"Nothing");
    EXPECT_EQ(unknown.description(), L"Nothing reported error 50331647:\r\n  ");
    // Network codes may lack their message module (Wine): still no throw.
    EXPECT_NO_THROW(Win32Error(2250, L"NetUse").description());
    Win32Error copy = error;
    EXPECT_STREQ(copy.what(), "CopyFile returned error 5");
}

TEST(Convert, MultiByteCodePagesRoundTripWhole)
{
    // Japanese text needs two bytes a character in 932: the result must not be cut to the character count.
    std::wstring japanese = L"\x65E5\x672C\x8A9E\x30C6\x30AD\x30B9\x30C8";
    std::string narrow = to_narrow(japanese, 932);
    EXPECT_EQ(narrow.size(), japanese.size() * 2);
    EXPECT_EQ(to_wide(narrow, 932), japanese);
    // Text outside the basic plane through UTF-8.
    std::wstring astral = L"a\xD83D\xDE00z";
    std::string utf8 = to_narrow(astral, CP_UTF8);
    EXPECT_EQ(utf8, "a\xF0\x9F\x98\x80z");
    EXPECT_EQ(to_wide(utf8, CP_UTF8), astral);
    EXPECT_EQ(to_narrow(L""), "");
    EXPECT_EQ(to_wide(""), L"");
    EXPECT_EQ(NarrowToWide("plain"), L"plain");
}

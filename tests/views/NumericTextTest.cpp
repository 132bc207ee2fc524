// Numbers as the editors read and show them, and the bit-flag menu's arithmetic.
#include "views/grid/FlagsMenu.h"
#include "views/grid/GuidText.h"
#include "views/grid/NumericText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <regex>

namespace {

NumericReadResult Read(const std::wstring& text, int radix, unsigned width, int* value = nullptr)
{
    int read = 12345;
    NumericReadResult result = ReadNumericValue(text, radix, width, read);
    if (value)
        *value = read;
    return result;
}

} // namespace

TEST(NumericText, AcceptsWhatTheColumnHolds)
{
    int value = 0;
    EXPECT_EQ(NumericReadResult::Ok, Read(L"0x7fff", 10, 2, &value));
    EXPECT_EQ(0x7fff, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"-1", 16, 4, &value)) << "a sign in hexadecimal";
    EXPECT_EQ(-1, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"0xffffffff", 10, 2, &value)) << "how -1 is shown in hexadecimal";
    EXPECT_EQ(-1, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"ff", 16, 4, &value));
    EXPECT_EQ(255, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"-32767", 10, 2, &value));
    EXPECT_EQ(-32767, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"2147483647", 10, 4, &value));
    EXPECT_EQ(2147483647, value);
    EXPECT_EQ(NumericReadResult::Ok, Read(L"-2147483647", 10, 4, &value));
}

TEST(NumericText, RefusesWhatTheColumnCannotHoldInsteadOfClamping)
{
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"0x8000", 10, 2));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"40000", 10, 2));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"99999999999", 10, 4)) << "never 2147483647";
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"2147483648", 10, 4));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"0x100000000", 10, 4));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"123456789012345678901234567890", 16, 4));
    // The installer stores these as null, even in a required column.
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"-32768", 10, 2));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"0xffff8000", 10, 2));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"-2147483648", 10, 4));
    EXPECT_EQ(NumericReadResult::OutOfRange, Read(L"0x80000000", 10, 4));
    EXPECT_EQ(L"Out of range for a 2 byte integer", NumericReadMessage(NumericReadResult::OutOfRange, 2));
    EXPECT_EQ(L"Out of range for a 4 byte integer", NumericReadMessage(NumericReadResult::OutOfRange, 4));
}

TEST(NumericText, RefusesTextThatIsNoNumber)
{
    EXPECT_EQ(NumericReadResult::InvalidCharacters, Read(L"12abc", 10, 4));
    EXPECT_EQ(NumericReadResult::NoDigits, Read(L"abc", 10, 4));
    EXPECT_EQ(NumericReadResult::InvalidCharacters, Read(L"0x", 10, 4));
    EXPECT_EQ(NumericReadResult::InvalidCharacters, Read(L"0x", 16, 4));
    EXPECT_EQ(NumericReadResult::InvalidCharacters, Read(L"0x1g", 10, 4));
    EXPECT_EQ(NumericReadResult::NoDigits, Read(L"-", 10, 4));
    EXPECT_EQ(NumericReadResult::InvalidCharacters, Read(L"5 ", 10, 4));
    EXPECT_EQ(L"Invalid characters in the numeric value.",
              NumericReadMessage(NumericReadResult::InvalidCharacters, 4));
    EXPECT_EQ(L"Could not convert to an integer", NumericReadMessage(NumericReadResult::NoDigits, 4));
}

TEST(NumericText, ParseTellsTheUserThroughThePromptSeam)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    int value = 7;
    EXPECT_FALSE(ParseNumericValue(L"99999999999", 10, 4, nullptr, value));
    EXPECT_EQ(7, value);
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"Invalid numeric string", prompts.asked()[0].caption);
    EXPECT_EQ(L"Out of range for a 4 byte integer", prompts.asked()[0].text);
    EXPECT_TRUE(ParseNumericValue(L"0x10", 10, 4, nullptr, value));
    EXPECT_EQ(16, value);
    EXPECT_EQ(1u, prompts.asked().size());
}

TEST(NumericText, FormatsByRadixAndWidth)
{
    EXPECT_EQ(L"0x00ff", FormatNumericValue(255, 16, 2));
    EXPECT_EQ(L"0x000000ff", FormatNumericValue(255, 16, 4));
    EXPECT_EQ(L"0xff", FormatNumericValue(255, 16, 0));
    EXPECT_EQ(L"-5", FormatNumericValue(-5, 10, 2));
    EXPECT_EQ(L"0xffffffff", FormatNumericValue(-1, 16, 2));
    int value = 0;
    for (int sample : {0, 1, -1, 255, 32767, -32767}) {
        for (int radix : {10, 16}) {
            ASSERT_EQ(NumericReadResult::Ok,
                      ReadNumericValue(FormatNumericValue(sample, radix, 2), radix, 2, value));
            EXPECT_EQ(sample, value) << "radix " << radix;
        }
    }
}

TEST(FlagsMenu, CheckedEntriesAndTheirArithmetic)
{
    NamedValue local{L"Run locally", 0, 3};
    NamedValue source{L"Run from source", 1, 3};
    NamedValue registry{L"Key path is a registry value", 4, 0};
    EXPECT_TRUE(flags_menu::IsChecked(0x4, local)) << "(v & mask) == value with a mask";
    EXPECT_FALSE(flags_menu::IsChecked(0x5, local));
    EXPECT_TRUE(flags_menu::IsChecked(0x5, source));
    EXPECT_TRUE(flags_menu::IsChecked(0x5, registry)) << "(v & value) == value without a mask";
    EXPECT_FALSE(flags_menu::IsChecked(0x1, registry));

    EXPECT_EQ(0x6, flags_menu::Apply(0x4, NamedValue{L"Either", 2, 3}, false))
        << "a choice replaces its field";
    EXPECT_EQ(0x5, flags_menu::Apply(0x1, registry, false));
    EXPECT_EQ(0x1, flags_menu::Apply(0x5, registry, true));
    EXPECT_EQ(0x4, flags_menu::Apply(0x5, source, true)) << "clearing a choice clears its mask too";
}

TEST(FlagsMenu, SeparatorsUseUpACommandNumberAndNumbersFollowTheOption)
{
    std::vector<NamedValue> values = {{L"A", 1, 0}, {L"---", 0, 0}, {L"B", 0x10, 0}};
    auto entries = flags_menu::BuildEntries(values, 0x11, 2, true);
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(1u, entries[0].command);
    EXPECT_TRUE(entries[1].separator);
    EXPECT_EQ(2u, entries[1].command);
    EXPECT_EQ(3u, entries[2].command);
    EXPECT_EQ(L"B\t0x0010  16", entries[2].text);
    EXPECT_TRUE(entries[0].checked);
    EXPECT_TRUE(entries[2].checked);
    entries = flags_menu::BuildEntries(values, 0, 4, true);
    EXPECT_EQ(L"A\t0x00000001  1", entries[0].text);
    EXPECT_FALSE(entries[0].checked);
    entries = flags_menu::BuildEntries(values, 0, 4, false);
    EXPECT_EQ(L"A", entries[0].text);
}

TEST(GuidText, NewGuidsAreUpperCaseInBraces)
{
    std::wstring first = GenerateGuidString();
    std::wstring second = GenerateGuidString();
    EXPECT_NE(first, second);
    EXPECT_EQ(38u, first.size());
    EXPECT_TRUE(std::regex_match(
        first, std::wregex(L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}")))
        << std::string(first.begin(), first.end());
}

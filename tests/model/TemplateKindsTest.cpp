#include "model/TemplateKinds.h"

#include <gtest/gtest.h>

TEST(TemplateKinds, TheReferenceIsTheLargestNumberAndTiesKeepTheFirst)
{
    struct Case
    {
        std::vector<std::wstring> qualifiers;
        int expected;
    };
    const Case cases[] = {
        {{}, -1},
        {{L"200", L"1033"}, 1}, // by number, not by text
        {{L"1033", L"200"}, 0},
        {{L"Empty", L"-5"}, 0},         // no digits read as 0, above a negative number
        {{L"12", L"012", L"12abc"}, 0}, // equal numbers: the first
        {{L"99999999999", L"2147483647"}, 0},
    };
    for (const Case& c : cases) {
        std::vector<QualifiedComponent> entries;
        for (const std::wstring& qualifier : c.qualifiers)
            entries.push_back({qualifier, L"", L""});
        const QualifiedComponent* found = LargestNumericQualifier(entries);
        EXPECT_EQ(found ? found - entries.data() : -1, c.expected) << ::testing::PrintToString(c.qualifiers);
    }
}

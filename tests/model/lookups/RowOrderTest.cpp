#include "model/lookups/RowOrder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

// Columns large enough that their texts are ranked in parts on several threads.
const size_t kRows = 40000;

std::wstring FileNameText(std::mt19937& random, size_t row)
{
    return L"File" + std::to_wstring(random() % 100000) + L"_" + std::to_wstring(row) + L".dll";
}

// Few distinct texts, many equal ignoring case only.
std::wstring RepeatedText(std::mt19937& random, size_t)
{
    static const wchar_t* const kTexts[] = {L"alpha", L"Alpha", L"ALPHA", L"beta", L"Beta", L"gamma"};
    return kTexts[random() % 6];
}

// Hyphens, apostrophes, digits, accents and spaces, where the locale's rules are least like code order.
std::wstring MixedText(std::mt19937& random, size_t)
{
    static const wchar_t kPieces[] = L"aAbB-'0912 _.\x00e9\x00c9\x00fc\x00df";
    std::wstring text;
    size_t length = 1 + random() % 8;
    for (size_t at = 0; at < length; ++at)
        text += kPieces[random() % (sizeof(kPieces) / sizeof(kPieces[0]) - 1)];
    return text;
}

// The order straight from CompareStringW: what the ranked sort must give.
std::vector<size_t> ReferenceOrder(const std::vector<std::wstring>& texts, bool ascending)
{
    std::vector<size_t> order(texts.size());
    for (size_t at = 0; at < order.size(); ++at)
        order[at] = at;
    LCID locale = GetUserDefaultLCID();
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const std::wstring& first = ascending ? texts[a] : texts[b];
        const std::wstring& second = ascending ? texts[b] : texts[a];
        return CompareStringW(locale, NORM_IGNORECASE, first.c_str(), static_cast<int>(first.size()),
                              second.c_str(), static_cast<int>(second.size())) == CSTR_LESS_THAN;
    });
    return order;
}

TEST(RowOrderTest, LargeTextColumnsSortExactlyAsTheLocaleComparesThem)
{
    struct Case
    {
        const char* name;
        std::wstring (*text)(std::mt19937&, size_t);
    };
    const Case cases[] = {{"file names", FileNameText}, {"repeated", RepeatedText}, {"mixed", MixedText}};
    for (const Case& c : cases) {
        std::mt19937 random(7);
        std::vector<std::wstring> texts(kRows);
        for (size_t row = 0; row < kRows; ++row)
            texts[row] = c.text(random, row);
        TextRanks remembered;
        for (bool ascending : {true, false, true}) {
            SCOPED_TRACE(std::string(c.name) + (ascending ? " ascending" : " descending"));
            std::vector<SortKey> keys(kRows);
            for (size_t row = 0; row < kRows; ++row)
                keys[row].text = texts[row];
            // The third pass takes the ranks the first two remembered.
            EXPECT_EQ(ReferenceOrder(texts, ascending), SortedOrder(keys, false, ascending, &remembered));
        }
    }
}

} // namespace

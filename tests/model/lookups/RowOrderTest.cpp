// The order of a column's rows: texts in the locale's order as CompareStringW gives it, whichever way the
// sort gets there (sort keys, comparisons, remembered ranks).
#include "model/lookups/LocaleSortKeys.h"
#include "model/lookups/RowOrder.h"
#include "model/MsiFile.h"
#include "support/TestSupport.h"

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

// Soft hyphens and combining accents, which the installed locale may weigh differently in sort keys and in
// CompareStringW: sorting must then fall back to CompareStringW alone.
std::wstring IgnorableText(std::mt19937& random, size_t)
{
    static const wchar_t kPieces[] = L"aAb-\x00ad\x0301";
    std::wstring text;
    size_t length = random() % 5;
    for (size_t at = 0; at < length; ++at)
        text += kPieces[random() % (sizeof(kPieces) / sizeof(kPieces[0]) - 1)];
    return text;
}

int Compare(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(GetUserDefaultLCID(), NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                          b.c_str(), static_cast<int>(b.size()));
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
    const Case cases[] = {{"file names", FileNameText},
                          {"repeated", RepeatedText},
                          {"mixed", MixedText},
                          {"ignorable", IgnorableText}};
    for (const Case& c : cases) {
        std::mt19937 random(7);
        std::vector<std::wstring> texts(kRows);
        for (size_t row = 0; row < kRows; ++row)
            texts[row] = c.text(random, row);
        TextRanks remembered;
        for (bool ascending : {true, false, true}) {
            SCOPED_TRACE(std::string(c.name) + (ascending ? " ascending" : " descending"));
            SortKeys keys(false, kRows);
            for (size_t row = 0; row < kRows; ++row)
                keys.AddText(texts[row]);
            // The third pass takes the ranks the first two remembered.
            EXPECT_EQ(ReferenceOrder(texts, ascending), SortedOrder(keys, ascending, &remembered));
        }
    }
}

// Texts of ASCII characters only, made to meet the locale's special cases: every character and pair of
// characters, few characters in many arrangements (hyphens and apostrophes weigh little), and any.
std::vector<std::wstring> PlainTexts()
{
    std::vector<std::wstring> texts;
    for (wchar_t first = 1; first < 0x80; ++first) {
        texts.push_back(std::wstring(1, first));
        for (wchar_t second = 1; second < 0x80; ++second)
            texts.push_back(std::wstring{first, second});
    }
    std::mt19937 random(11);
    const std::wstring alphabets[] = {L"aA-' ", L"aB0-'\t_.", L"\x01\x1f aZ-", L"Ee1|~.-"};
    for (const std::wstring& alphabet : alphabets) {
        for (int count = 0; count < 20000; ++count) {
            std::wstring text;
            for (size_t length = random() % 9; length > 0; --length)
                text += alphabet[random() % alphabet.size()];
            texts.push_back(text);
        }
    }
    for (int count = 0; count < 20000; ++count) {
        std::wstring text;
        for (size_t length = random() % 13; length > 0; --length)
            text += static_cast<wchar_t>(1 + random() % 0x7F);
        texts.push_back(text);
    }
    return texts;
}

// Every text of every text column of the shared packages.
std::vector<std::wstring> PackageTexts()
{
    std::vector<std::wstring> texts;
    testing_support::ScratchFolder folder;
    for (const wchar_t* name :
         {L"shortcuts.msi", L"two-saves.msi", L"OldClassTableDef.msi", L"MergeModule1.msm"}) {
        std::wstring source = testing_support::TestDataPath(name);
        if (source.empty())
            continue;
        MsiFile file;
        file.Open(folder.copy_in(source, name), MSIDBOPEN_READONLY);
        for (const auto& entry : file.tables()) {
            const MsiTable& table = *entry.second;
            for (const MsiRow& row : table.rows()) {
                for (const MsiFieldDefRef& def : table.columns()) {
                    if (def->kind() == MsiFieldKind::String)
                        texts.push_back(def->display_str(*row.at(def->column_index())));
                }
            }
        }
    }
    return texts;
}

// Sorts the texts by their sort keys and asks CompareStringW about every pair of neighbours: when each
// says "less" where the keys differ and "equal" where they are the same, the keys order the texts as
// CompareStringW does. The pairs where it does not, as text.
std::vector<std::wstring> KeyDisagreements(const std::vector<std::wstring>& texts)
{
    std::vector<std::wstring_view> views(texts.begin(), texts.end());
    LocaleSortKeys keys(GetUserDefaultLCID(), views);
    std::vector<uint32_t> order = OrderOfKeys(keys.keys());
    std::vector<std::wstring> disagreements;
    for (size_t at = 1; at < order.size(); ++at) {
        const std::wstring& before = texts[order[at - 1]];
        const std::wstring& after = texts[order[at]];
        int expected = keys[order[at - 1]] == keys[order[at]] ? CSTR_EQUAL : CSTR_LESS_THAN;
        if (Compare(before, after) != expected && disagreements.size() < 5)
            disagreements.push_back(L"[" + before + L"] [" + after + L"]");
    }
    return disagreements;
}

} // namespace

// The sort asks CompareStringW about no pair of plain texts: their keys must decide as it would.
TEST(RowOrderTest, SortKeysOfPlainTextsOrderThemAsCompareStringW)
{
    std::vector<std::wstring> generated = PlainTexts();
    for (const std::wstring& text : generated)
        ASSERT_TRUE(IsPlainText(text));
    EXPECT_EQ(std::vector<std::wstring>(), KeyDisagreements(generated));

    std::vector<std::wstring> packages = PackageTexts();
    if (packages.empty())
        GTEST_SKIP() << "no shared test data";
    std::vector<std::wstring> plain;
    std::copy_if(packages.begin(), packages.end(), std::back_inserter(plain), IsPlainText);
    EXPECT_GT(plain.size(), 1000u);
    EXPECT_EQ(std::vector<std::wstring>(), KeyDisagreements(plain));
    // Whatever they hold, the packages' texts sort as CompareStringW orders them.
    SortKeys keys(false, packages.size());
    for (const std::wstring& text : packages)
        keys.AddText(text);
    EXPECT_EQ(ReferenceOrder(packages, true), SortedOrder(std::move(keys), true));
}

// Keys are sorted a few bytes at a time; runs that share long beginnings, keys that are the beginnings of
// others, zero bytes and equal keys must still come out in bytewise order, equal ones by index and known
// as equal.
TEST(RowOrderTest, KeysSortBytewiseWithEqualKeysInTheirOrder)
{
    std::mt19937 random(3);
    const std::string bytes("\x00\x01\x02\xff", 4);
    for (size_t shared : {0, 5, 7, 30}) {
        SCOPED_TRACE("shared beginning of " + std::to_string(shared));
        std::vector<std::string> keys;
        for (int count = 0; count < 3000; ++count) {
            std::string key(shared, '\x0e');
            for (size_t length = random() % 20; length > 0; --length)
                key += bytes[random() % bytes.size()];
            keys.push_back(key);
        }
        std::vector<std::string_view> views(keys.begin(), keys.end());
        std::vector<uint32_t> expected(keys.size());
        for (size_t at = 0; at < expected.size(); ++at)
            expected[at] = static_cast<uint32_t>(at);
        std::stable_sort(expected.begin(), expected.end(),
                         [&](uint32_t a, uint32_t b) { return views[a] < views[b]; });
        std::vector<char> expected_ties(keys.size());
        for (size_t at = 1; at < expected.size(); ++at)
            expected_ties[at] = views[expected[at - 1]] == views[expected[at]];
        std::vector<char> ties;
        EXPECT_EQ(expected, OrderOfKeys(views, &ties));
        EXPECT_EQ(expected_ties, ties);
    }
}

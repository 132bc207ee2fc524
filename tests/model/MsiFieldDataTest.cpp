// Cells keep texts a byte a character when they can, short values inside and long ones in a block of
// their own: whatever they keep, they must give back exactly the bytes they were given, also after a
// change to a value of another length or kind.
#include "model/CellPool.h"
#include "model/MsiFieldData.h"
#include "model/MsiRow.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Utf16Bytes(const std::wstring& text)
{
    const BYTE* first = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(first, first + text.size() * sizeof(wchar_t));
}

// Texts of every kind of room: empty, short and long, a byte a character or not.
const std::wstring kTexts[] = {L"",
                               L"a",
                               L"1033",
                               L"File12345",
                               L"caf\u00e9 \u00ff",
                               L"\u0100",
                               L"\u65e5\u672c",
                               L"FILE~123|file12345.dll",
                               L"{01234567-89AB-CDEF-0123-456789ABCDEF}",
                               std::wstring(124, L'x'),
                               std::wstring(248, L'y'),
                               std::wstring(249, L'z'),
                               std::wstring(300, L'\u0416'),
                               std::wstring(5000, L'q') + L"\u20ac"};

void ExpectHolds(const MsiFieldData& cell, const std::wstring& text)
{
    EXPECT_EQ(text.empty(), cell.is_null());
    EXPECT_EQ(text, cell.string());
    EXPECT_EQ(text.size() * sizeof(wchar_t), cell.size());
    EXPECT_EQ(Utf16Bytes(text), cell.bytes());
}

} // namespace

TEST(MsiFieldDataTest, TextsComeBackAsGivenWhateverTheCellKeeps)
{
    for (const std::wstring& text : kTexts) {
        SCOPED_TRACE(testing::Message() << "length " << text.size());
        ExpectHolds(*MsiFieldData::MakeText(text.data(), text.size()), text);
        ExpectHolds(MsiFieldData(text), text);
        MsiFieldData copy(*MsiFieldData::MakeText(text.data(), text.size()));
        ExpectHolds(copy, text);
    }
}

TEST(MsiFieldDataTest, ACellTakesAnyOtherValueAfterItsFirst)
{
    // Every text after every text (and a number after each), in cells made exactly for the first.
    for (const std::wstring& first : kTexts) {
        for (const std::wstring& second : kTexts) {
            SCOPED_TRACE(testing::Message() << first.size() << " then " << second.size());
            MsiFieldDataRef cell = MsiFieldData::MakeText(first.data(), first.size());
            cell->set_string(second);
            ExpectHolds(*cell, second);
            MsiFieldData assigned;
            assigned = *MsiFieldData::MakeText(first.data(), first.size());
            assigned = MsiFieldData(second);
            ExpectHolds(assigned, second);
        }
        MsiFieldDataRef cell = MsiFieldData::MakeText(first.data(), first.size());
        cell->set_integer(-5);
        EXPECT_FALSE(cell->is_null());
        EXPECT_EQ(-5, cell->integer());
        EXPECT_EQ(4u, cell->size());
        std::vector<BYTE> record(40, 7);
        cell->set_bytes(record);
        EXPECT_EQ(record, cell->bytes());
        cell->set_null();
        EXPECT_TRUE(cell->is_null());
        EXPECT_EQ(0u, cell->size());
    }
}

TEST(MsiFieldDataTest, AssigningACellToItselfKeepsItsValue)
{
    for (const std::wstring& text : kTexts) {
        MsiFieldData cell(text);
        MsiFieldData& same = cell;
        cell = same;
        ExpectHolds(cell, text);
    }
}

TEST(MsiFieldDataTest, NumbersAndTheBytesOfTextsAreReadAlike)
{
    const int32_t numbers[] = {0, 1, -1, 1033, INT32_MAX, INT32_MIN + 1};
    for (int32_t number : numbers) {
        EXPECT_EQ(number, MakeIntegerFieldData(number)->integer());
        EXPECT_EQ(4u, MakeIntegerFieldData(number)->size());
    }
    // A text's first two characters read as a number, as their UTF-16 bytes would.
    EXPECT_EQ(0x00420041, MsiFieldData(L"AB").integer());
    EXPECT_EQ(0x01000041, MsiFieldData(L"A\u0100").integer());
    EXPECT_EQ(INT32_MIN, MsiFieldData(L"A").integer());
}

TEST(MsiFieldDataTest, EqualBytesAreEqualWhateverEachCellKeeps)
{
    MsiFieldData narrow(L"AB");
    MsiFieldData wide;
    wide.set_bytes(Utf16Bytes(L"AB"));
    MsiFieldData number;
    number.set_integer(0x00420041);
    EXPECT_TRUE(narrow.same_bytes(wide));
    EXPECT_TRUE(wide.same_bytes(narrow));
    EXPECT_TRUE(number.same_bytes(narrow));
    EXPECT_FALSE(narrow.same_bytes(MsiFieldData(L"AC")));
    EXPECT_FALSE(narrow.same_bytes(MsiFieldData(L"ABC")));
    EXPECT_FALSE(MsiFieldData(L"\u0100").same_bytes(MsiFieldData(L"\u0001")));
}

TEST(MsiFieldDataTest, ThePoolGivesItsChunksBackOnceNoCellIsLeft)
{
    size_t before = cell_pool::BlocksInUse();
    std::vector<MsiFieldDataRef> cells;
    for (int at = 0; at < 20000; ++at) {
        std::wstring text = L"text " + std::to_wstring(at);
        cells.push_back(MsiFieldData::MakeText(text.data(), text.size()));
    }
    EXPECT_GE(cell_pool::BlocksInUse(), before + cells.size());
    for (int at = 0; at < 20000; ++at)
        EXPECT_EQ(L"text " + std::to_wstring(at), cells[at]->string());
    cells.clear();
    EXPECT_EQ(before, cell_pool::BlocksInUse());
    if (before == 0) {
        EXPECT_LE(cell_pool::ChunkBytes(), 64u * 1024);
    }
}

TEST(MsiRowTest, ARowDoesWhatAVectorOfCellsDoes)
{
    // Random operations on a row and on a vector side by side.
    std::mt19937 random(11);
    std::vector<MsiFieldDataRef> values;
    for (int at = 0; at < 8; ++at)
        values.push_back(MakeIntegerFieldData(at));
    MsiRow row;
    std::vector<MsiFieldDataRef> expected;
    for (int step = 0; step < 3000; ++step) {
        const MsiFieldDataRef& value = values[random() % values.size()];
        switch (random() % 8) {
        case 0:
        case 1:
            row.push_back(value);
            expected.push_back(value);
            break;
        case 2:
            if (!row.empty()) {
                size_t at = random() % row.size();
                row.erase(row.begin() + at);
                expected.erase(expected.begin() + at);
            }
            break;
        case 3: {
            size_t at = random() % (row.size() + 1);
            row.insert(row.begin() + at, value);
            expected.insert(expected.begin() + at, value);
            break;
        }
        case 4: {
            size_t size = random() % 40;
            row.resize(size, value);
            expected.resize(size, value);
            break;
        }
        case 5: {
            MsiRow copy(row);
            row = std::move(copy);
            break;
        }
        case 6:
            if (!row.empty()) {
                // A row's own cell pushed while the row grows.
                row.push_back(row.front());
                expected.push_back(expected.front());
            }
            break;
        case 7:
            if (random() % 10 == 0) {
                row.clear();
                expected.clear();
            }
            break;
        }
        ASSERT_EQ(expected.size(), row.size()) << "step " << step;
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), row.begin())) << "step " << step;
    }
    MsiRow copy(expected.begin(), expected.end());
    EXPECT_TRUE(copy == row);
    MsiRow listed = {values[1], values[2]};
    EXPECT_EQ(2u, listed.size());
    EXPECT_THROW(listed.at(2), std::out_of_range);
    // Every reference the rows took is given back.
    row.clear();
    copy.clear();
    listed.clear();
    expected.clear();
    for (const MsiFieldDataRef& value : values)
        EXPECT_EQ(1, value->ref_count());
}

#include "foundation/CsvText.h"
#include "foundation/Clipboard.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace {

CsvRowList Rows(const std::wstring& text)
{
    CsvRowList rows;
    ParseCsvText(text, rows);
    return rows;
}

const char kQuoteError[] =
    "Invalid csv field. All unescaped quotation marks must be followed by a field delimiter";

} // namespace

TEST(CsvText, RowsAndFields)
{
    EXPECT_TRUE(Rows(L"").empty());
    EXPECT_EQ(Rows(L"\n"), (CsvRowList{{L""}}));
    EXPECT_EQ(Rows(L"a\tb"), (CsvRowList{{L"a", L"b"}}));
    EXPECT_EQ(Rows(L"a\tb\r\n"), (CsvRowList{{L"a", L"b"}}));
    EXPECT_EQ(Rows(L"a\n\nb"), (CsvRowList{{L"a"}, {L""}, {L"b"}}));
    EXPECT_EQ(Rows(L"a\t"), (CsvRowList{{L"a", L""}}));
    EXPECT_EQ(Rows(L"\t\t\n"), (CsvRowList{{L"", L"", L""}}));
    // A carriage return goes only directly before a line feed.
    EXPECT_EQ(Rows(L"a\r\tb\r"), (CsvRowList{{L"a\r", L"b\r"}}));
    EXPECT_EQ(Rows(L"a\r\r\nb"), (CsvRowList{{L"a\r"}, {L"b"}}));
    // A quote inside an unquoted field is an ordinary character.
    EXPECT_EQ(Rows(L"a\"b\"\tc\""), (CsvRowList{{L"a\"b\"", L"c\""}}));

    // The caller's list is appended to.
    CsvRowList rows{{L"old"}};
    ParseCsvText(L"new", rows);
    EXPECT_EQ(rows, (CsvRowList{{L"old"}, {L"new"}}));
}

TEST(CsvText, QuotedFields)
{
    EXPECT_EQ(Rows(L"\"x\ty\nz\"\"w\""), (CsvRowList{{L"x\ty\nz\"w"}}));
    EXPECT_EQ(Rows(L"\"\""), (CsvRowList{{L""}}));
    EXPECT_EQ(Rows(L"\"\"\tb"), (CsvRowList{{L"", L"b"}}));
    EXPECT_EQ(Rows(L"\"\"\"a\""), (CsvRowList{{L"\"a"}}));
    EXPECT_EQ(Rows(L"\"a\"\t\"b\"\r\n\"c\"\n"), (CsvRowList{{L"a", L"b"}, {L"c"}}));
    // Closed before a CR that no LF follows: the CR and the rest join the field.
    EXPECT_EQ(Rows(L"\"a\"\rb\tc"), (CsvRowList{{L"a\rb", L"c"}}));
    // A CR just inside the closing quote goes when an LF follows the quote.
    EXPECT_EQ(Rows(L"\"a\r\"\nb"), (CsvRowList{{L"a"}, {L"b"}}));
    EXPECT_EQ(Rows(L"\"a\r\"\tb"), (CsvRowList{{L"a\r", L"b"}}));

    // Never closed: that quote is an ordinary character and what follows it is read as unquoted text,
    // rows and all, whether the text ends in a line feed or not.
    EXPECT_EQ(Rows(L"\"abc"), (CsvRowList{{L"\"abc"}}));
    EXPECT_EQ(Rows(L"x\n\"abc\n"), (CsvRowList{{L"x"}, {L"\"abc"}}));
    EXPECT_EQ(Rows(L"x\n\"a\tb\nc"), (CsvRowList{{L"x"}, {L"\"a", L"b"}, {L"c"}}));
    EXPECT_EQ(Rows(L"a\tb\n\"x\ty\nc\td\n"), (CsvRowList{{L"a", L"b"}, {L"\"x", L"y"}, {L"c", L"d"}}));
    EXPECT_EQ(Rows(L"a\t\"x\r\nb\t\"\"\r\n"), (CsvRowList{{L"a", L"\"x"}, {L"b", L""}}));
    EXPECT_EQ(Rows(L"\"a\"\"\n"), (CsvRowList{{L"\"a\"\""}}));
    EXPECT_EQ(Rows(L"\""), (CsvRowList{{L"\""}}));
    // Closed by the text's last character, after a line feed of its own: the field is complete.
    EXPECT_EQ(Rows(L"a\tb\r\nc\t\"x\n\""), (CsvRowList{{L"a", L"b"}, {L"c", L"x\n"}}));
}

TEST(CsvText, MalformedQuoteKeepsEarlierRows)
{
    for (const wchar_t* text : {L"r1\n\"a\"b", L"r1\n\"a\"\"\"b\tc", L"r1\nx\t\"a\" \n"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(text)));
        CsvRowList rows;
        try {
            ParseCsvText(text, rows);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), kQuoteError);
        }
        EXPECT_EQ(rows, (CsvRowList{{L"r1"}}));
    }
}

TEST(CsvText, ReadsBackQuotedClipboardCells)
{
    // Cells as the views copy them: quoted with QuoteClipboardCell, tabs between cells, CR LF between rows.
    std::mt19937 random(7);
    const wchar_t alphabet[] = L"ab \"\t\n\r";
    for (int round = 0; round < 3000; ++round) {
        CsvRowList cells(1 + random() % 4);
        for (auto& row : cells) {
            row.resize(1 + random() % 4);
            for (auto& cell : row)
                for (int n = random() % 7; n > 0; --n)
                    cell += alphabet[random() % 7];
        }
        // A last row of one empty cell writes nothing after the last CR LF; no reader can see it.
        if (cells.back().size() == 1 && cells.back()[0].empty())
            cells.back()[0] = L"z";

        std::wstring text;
        for (size_t r = 0; r < cells.size(); ++r) {
            if (r > 0)
                text += L"\r\n";
            for (size_t c = 0; c < cells[r].size(); ++c)
                text += (c > 0 ? L"\t" : L"") + QuoteClipboardCell(cells[r][c]);
        }
        CsvRowList rows;
        ASSERT_NO_THROW(ParseCsvText(text, rows)) << testing::PrintToString(text);
        ASSERT_EQ(rows, cells) << testing::PrintToString(text);
    }
}

namespace {

// The text without its quotes and carriage returns, the two things the reader may drop.
std::wstring Stripped(const std::wstring& text)
{
    std::wstring kept;
    for (wchar_t c : text)
        if (c != L'"' && c != L'\r')
            kept += c;
    return kept;
}

// The rows written back, tabs between fields and a line feed after each row, stripped likewise.
std::wstring StrippedRows(const CsvRowList& rows)
{
    std::wstring text;
    for (const auto& row : rows) {
        for (size_t i = 0; i < row.size(); ++i)
            text += (i > 0 ? L"\t" : L"") + row[i];
        text += L'\n';
    }
    return Stripped(text);
}

} // namespace

TEST(CsvText, MutatedAndRandomTexts)
{
    // Nothing but the one error may come out, and a text that is read loses nothing but quotes and
    // carriage returns: every other character ends up in a field or between two.
    std::mt19937 random(1234);
    const std::wstring seed = L"\"x\ty\"\t\"\"\"q\"\"\"\tplain\r\n\"multi\nline\"\t\r\n\t\"a\"\"\"\n\"open";
    const wchar_t interesting[] = L"\"\t\r\nab";
    for (int round = 0; round < 5000; ++round) {
        std::wstring text = seed;
        if (round % 5 == 4) {
            text.resize(random() % 200);
            for (auto& c : text)
                c = (random() % 2) ? interesting[random() % 6] : static_cast<wchar_t>(random() & 0xFFFF);
        } else {
            for (int n = 1 + random() % 5; n > 0; --n) {
                size_t at = random() % (text.size() + 1);
                wchar_t c = interesting[random() % 6];
                if (random() % 2 && at < text.size())
                    text.erase(at, 1 + random() % 3);
                else
                    text.insert(text.begin() + at, c);
            }
            text.resize(random() % (text.size() + 1));
        }
        CsvRowList rows;
        try {
            ParseCsvText(text, rows);
        } catch (const std::runtime_error& error) {
            ASSERT_STREQ(error.what(), kQuoteError);
            continue;
        }
        for (const auto& row : rows)
            ASSERT_FALSE(row.empty());
        std::wstring expected = Stripped(text);
        if (!text.empty() && text.back() != L'\n')
            expected += L'\n';
        ASSERT_EQ(StrippedRows(rows), expected) << testing::PrintToString(text);
    }
}

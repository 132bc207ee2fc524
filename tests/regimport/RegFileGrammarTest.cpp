#include "regimport/RegFileGrammar.h"
#include "RegFileTestText.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <thread>

using namespace regfile_test;
using reg_file_parser::KeyInfoSet;
typedef reg_file_parser::reg_file_grammar::Value Value;
typedef reg_file_parser::reg_file_grammar::KeyInfo KeyInfo;
typedef std::vector<std::uint8_t> Bytes;

namespace {

const wchar_t kHeader5[] = L"Windows Registry Editor Version 5.00\r\n\r\n";

// An export as the registry editor writes it: CRLF line ends, long byte lists wrapped after ",\" with
// the next line indented by two blanks, a blank line after every key, escapes in names and strings.
const wchar_t kExport5[] = LR"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Varnock\Sample]
@="Default text"
"Path"="C:\\Program Files\\Sample \"quoted\" [1]"
"Empty"=""
"Answer"=dword:0000002a
"All bits"=dword:ffffffff
"Binary"=hex:01,ab,FF
"No bytes"=hex:
"Expand"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00
"Multi"=hex(7):61,00,00,00,62,00,00,00,00,00
"Quad"=hex(b):01,00,00,00,00,00,00,00
"None"=hex(0):
"Wrapped"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\
  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\
  2f,30
"Old style"=hexadecimal(7):00,00
"Multi
line"="first
second"

[HKEY_CURRENT_USER\Software\Varnock\Sample\Empty key]

[-HKEY_CURRENT_USER\Software\Varnock\Removed]

; machine settings follow
[HKEY_LOCAL_MACHINE\SOFTWARE\Varnock]
"Installed"=dword:1

)";

const wchar_t kExport4[] = LR"(REGEDIT4

[HKEY_CLASSES_ROOT\.smp]
@="Sample.File"
"Content Type"="text/plain"

[HKEY_CLASSES_ROOT\Sample.File\shell\open\command]
@="\"C:\\Tools\\sample.exe\" \"%1\""

)";

std::wstring WithCrLf(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}

const KeyInfo* FindKey(const KeyInfoSet& keys, const std::wstring& text)
{
    for (const auto& key : keys)
        if (key.first == text)
            return &key;
    return nullptr;
}

const Value* FindValue(const KeyInfo& key, const std::wstring& name)
{
    for (const auto& value : key.second)
        if (value.name == name)
            return &value;
    return nullptr;
}

Parsed ParseLines(const std::wstring& body)
{
    Parsed parsed;
    Parse(kHeader5 + body, parsed);
    return parsed;
}

// The stop position as an offset into `body`, the text after the header.
size_t StopInBody(const Parsed& parsed)
{
    return parsed.stop - std::wstring(kHeader5).size();
}

// One value line under one key; the parse must take all of it.
Value OneValue(const std::wstring& line)
{
    Parsed parsed = ParseLines(L"[HKEY_CURRENT_USER\\T]\n" + line + L"\n");
    EXPECT_TRUE(parsed.full) << "stopped at " << StopInBody(parsed);
    if (parsed.keys.size() != 1 || parsed.keys.begin()->second.size() != 1) {
        ADD_FAILURE() << "expected one key with one value";
        return Value();
    }
    return parsed.keys.begin()->second.front();
}

void ExpectSampleExport(const KeyInfoSet& keys)
{
    struct Expected
    {
        const wchar_t* name;
        int type;
        const wchar_t* text;
        size_t byte_count;
        std::uint32_t number;
    };
    const Expected expected[] = {{L"", 1, L"\"Default text\"", 0, 0},
                                 {L"\"Path\"", 1, LR"("C:\\Program Files\\Sample \"quoted\" [1]")", 0, 0},
                                 {L"\"Empty\"", 1, L"\"\"", 0, 0},
                                 {L"\"Answer\"", 4, L"", 0, 42},
                                 {L"\"All bits\"", 4, L"", 0, 0xFFFFFFFFu},
                                 {L"\"Binary\"", 3, L"", 3, 0},
                                 {L"\"No bytes\"", 3, L"", 0, 0},
                                 {L"\"Expand\"", 2, L"", 14, 0},
                                 {L"\"Multi\"", 7, L"", 10, 0},
                                 {L"\"Quad\"", 11, L"", 8, 0},
                                 {L"\"None\"", 0, L"", 0, 0},
                                 {L"\"Wrapped\"", 3, L"", 0x31, 0},
                                 {L"\"Old style\"", 7, L"", 2, 0}};
    ASSERT_EQ(keys.size(), 4u);
    const KeyInfo* sample = FindKey(keys, L"[HKEY_CURRENT_USER\\Software\\Varnock\\Sample]");
    ASSERT_NE(sample, nullptr);
    ASSERT_EQ(sample->second.size(), std::size(expected) + 1);
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Value& value = sample->second[i];
        SCOPED_TRACE(testing::PrintToString(value.name));
        EXPECT_EQ(value.name, expected[i].name);
        EXPECT_EQ(value.type, expected[i].type);
        EXPECT_EQ(value.text, expected[i].text);
        EXPECT_EQ(value.bytes.size(), expected[i].byte_count);
        EXPECT_EQ(value.number, expected[i].number);
    }
    EXPECT_EQ(FindValue(*sample, L"\"Binary\"")->bytes, (Bytes{0x01, 0xAB, 0xFF}));
    // The wrapped list holds 0, 1, 2... across its three lines.
    const Bytes& wrapped = FindValue(*sample, L"\"Wrapped\"")->bytes;
    for (size_t i = 0; i < wrapped.size(); ++i)
        EXPECT_EQ(wrapped[i], i) << i;

    // Line breaks inside quotes belong to the name or string.
    const Value& multi_line = sample->second.back();
    EXPECT_NE(multi_line.name.find(L"line"), std::wstring::npos);
    EXPECT_NE(multi_line.text.find(L"second"), std::wstring::npos);

    const KeyInfo* empty = FindKey(keys, L"[HKEY_CURRENT_USER\\Software\\Varnock\\Sample\\Empty key]");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->second.empty());
    // A key deletion is read as a key; the import refuses it.
    const KeyInfo* removed = FindKey(keys, L"[-HKEY_CURRENT_USER\\Software\\Varnock\\Removed]");
    ASSERT_NE(removed, nullptr);
    EXPECT_TRUE(removed->second.empty());
    const KeyInfo* machine = FindKey(keys, L"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Varnock]");
    ASSERT_NE(machine, nullptr);
    ASSERT_EQ(machine->second.size(), 1u);
    EXPECT_EQ(machine->second[0].number, 1u);
}

} // namespace

TEST(RegFileGrammar, ExportFilesOfBothFormats)
{
    for (bool crlf : {true, false}) {
        std::wstring text5 = crlf ? WithCrLf(kExport5) : std::wstring(kExport5);
        for (bool bom : {true, false}) {
            SCOPED_TRACE(testing::Message() << "crlf " << crlf << " bom " << bom);
            Parsed parsed;
            Parse(ImportBuffer(Utf16Bytes(text5, bom)), parsed);
            EXPECT_TRUE(parsed.full) << "stopped at " << parsed.stop;
            ExpectSampleExport(parsed.keys);
        }
        Parsed parsed4;
        Parse(ImportBuffer(Utf16Bytes(crlf ? WithCrLf(kExport4) : std::wstring(kExport4), false)), parsed4);
        EXPECT_TRUE(parsed4.full) << "stopped at " << parsed4.stop;
        ASSERT_EQ(parsed4.keys.size(), 2u);
        const KeyInfo* command =
            FindKey(parsed4.keys, L"[HKEY_CLASSES_ROOT\\Sample.File\\shell\\open\\command]");
        ASSERT_NE(command, nullptr);
        ASSERT_EQ(command->second.size(), 1u);
        EXPECT_EQ(command->second[0].text, LR"("\"C:\\Tools\\sample.exe\" \"%1\"")");
    }
}

TEST(RegFileGrammar, HeadersAndEncodings)
{
    // The mark may stand only before the version 5.00 header.
    Parsed bom4;
    Parse(ImportBuffer(Utf16Bytes(kExport4, true)), bom4);
    EXPECT_FALSE(bom4.full);
    EXPECT_FALSE(bom4.hit);
    EXPECT_EQ(bom4.stop, 0u);
    EXPECT_TRUE(bom4.keys.empty());

    // An export in an 8-bit code page read as UTF-16 is two characters per unit: nothing matches.
    std::string narrow;
    for (wchar_t c : std::wstring(kExport4))
        narrow += static_cast<char>(c);
    Bytes ansi(narrow.begin(), narrow.end());
    for (Bytes bytes : {ansi, Bytes(ansi.begin() + 1, ansi.end())}) {
        Parsed parsed;
        Parse(ImportBuffer(bytes), parsed);
        EXPECT_FALSE(parsed.full);
        EXPECT_EQ(parsed.stop, 0u);
        EXPECT_TRUE(parsed.keys.empty());
    }

    // An odd byte count loses the last byte; the added LF still ends the text.
    Bytes odd = Utf16Bytes(L"REGEDIT4\r\n[HKEY_USERS\\A]\r\n", false);
    odd.push_back(0x41);
    Parsed parsed_odd;
    Parse(ImportBuffer(odd), parsed_odd);
    EXPECT_TRUE(parsed_odd.full);
    EXPECT_EQ(parsed_odd.keys.size(), 1u);

    for (const wchar_t* text : {L"", L"\n", L"REGEDIT", L"regedit4\n", L" REGEDIT4\n", L"REGEDIT4 x\n",
                                L"Windows Registry Editor Version 5.0\n", L"\xFEFF\xFEFFREGEDIT4\n"}) {
        Parsed parsed;
        Parse(text, parsed);
        EXPECT_FALSE(parsed.full) << testing::PrintToString(std::wstring(text));
        EXPECT_TRUE(parsed.keys.empty());
    }
    Parsed header_only;
    Parse(L"REGEDIT4 \t\r", header_only);
    EXPECT_TRUE(header_only.full);
    // Truncated after the header: no line end, so the header line does not count.
    Parsed truncated;
    Parse(L"Windows Registry Editor Version 5.00", truncated);
    EXPECT_FALSE(truncated.full);
}

TEST(RegFileGrammar, ValueForms)
{
    Value x = OneValue(L"\"x\"=\"y\"");
    EXPECT_EQ(x.name, L"\"x\"");
    EXPECT_EQ(x.type, 1);
    EXPECT_EQ(x.text, L"\"y\"");

    Value all = OneValue(L"@=dword:ffffffff");
    EXPECT_EQ(all.name, L"");
    EXPECT_EQ(all.type, 4);
    EXPECT_EQ(all.number, 4294967295u);
    EXPECT_EQ(OneValue(L"@=dword:00000001").number, 1u);
    EXPECT_EQ(OneValue(L"@=dword:1").number, 1u);
    EXPECT_EQ(OneValue(L"@=dword:000000000000ABCDEF").number, 0xABCDEFu);

    Value expand = OneValue(L"\"b\"=hex(2):25,00,41,00,00,00");
    EXPECT_EQ(expand.type, 2);
    EXPECT_EQ(expand.bytes, (Bytes{0x25, 0, 0x41, 0, 0, 0}));
    EXPECT_EQ(OneValue(L"\"b\"=hexadecimal(7):00,00").type, 7);
    EXPECT_EQ(OneValue(L"\"b\"=hex(b):").type, 11);
    EXPECT_EQ(OneValue(L"\"b\"=hex(ffffffff):").type, -1);
    Value none = OneValue(L"\"b\"=hex:");
    EXPECT_EQ(none.type, 3);
    EXPECT_TRUE(none.bytes.empty());

    // Escapes stay as written; a backslash takes the next character with it.
    EXPECT_EQ(OneValue(LR"("a\"b"="c\\")").name, LR"("a\"b")");
    EXPECT_EQ(OneValue(LR"("a\"b"="c\\")").text, LR"("c\\")");
    EXPECT_EQ(OneValue(LR"(@="tab	and \q")").text, LR"("tab	and \q")");
    // ...line breaks and NULs included.
    EXPECT_EQ(OneValue(L"@=\"a\\\nb\\\r\n\\\"\\" + std::wstring(1, L'\0') + L"\"").text.size(), 13u);
    // Blanks may end a value line.
    EXPECT_EQ(OneValue(L"@=hex:01 \t").bytes, Bytes{1});
}

TEST(RegFileGrammar, LinesTheGrammarDoesNotTake)
{
    const std::wstring key = L"[HKEY_CURRENT_USER\\T]\n\"ok\"=dword:1\n";
    for (const wchar_t* line : {L"\"a\"=-",
                                L"\"a\" = \"b\"",
                                L"\"a\"= \"b\"",
                                L"\"a\"=dword: 1",
                                L"\"a\"=dword :1",
                                L"\"a\"=hex:0 1",
                                L"\"a\"=hex:01, 02",
                                L"\"a\"=hex:1",
                                L"\"a\"=hex:012",
                                L"\"a\"=hex:01,",
                                L"\"a\"=qword:1",
                                L"\"a\"=dword:100000000",
                                L"\"a\"=dword:",
                                L"\"a\"=hex(:00",
                                L"\"a\"=hex(2:00",
                                L"\"a\"=\"b\" ; note",
                                L"\"a\"=dword:1 ; note",
                                L" ;indented",
                                L"\t\"a\"=\"b\"",
                                L"a=\"b\"",
                                L"\"a=\"b\"",
                                L"\"a\"=\"b",
                                L"\"a\"=hex:01,\\",
                                L"\"a\"=hex:01,\\\n\n  02",
                                L"\"a\"=hex:01,\\\n;c\n  02",
                                L"[HKEY_USERS\\A] ;c",
                                L"[HKEY_USERS\\A",
                                L"\"a\"=\"\uFF11\"x",
                                L"\"a\"=dword:\uFF11",
                                L"\"a\"=hex:\u0661\u0662"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(line)));
        std::wstring body = key + line + L"\n[HKEY_USERS\\After]\n";
        Parsed parsed = ParseLines(body);
        EXPECT_FALSE(parsed.full);
        EXPECT_TRUE(parsed.hit);
        EXPECT_EQ(StopInBody(parsed), key.size());
        // The key before the stop stays, with only its good value.
        ASSERT_EQ(parsed.keys.size(), 1u);
        ASSERT_EQ(parsed.keys.begin()->second.size(), 1u);
        EXPECT_EQ(parsed.keys.begin()->second[0].name, L"\"ok\"");
    }
}

TEST(RegFileGrammar, StopPositionsAndWhatIsKept)
{
    // The last line without its line break: the import's added LF is what makes it read.
    std::wstring body = L"[HKEY_CURRENT_USER\\A]\n\"v\"=dword:2";
    Parsed no_eol = ParseLines(body);
    EXPECT_FALSE(no_eol.full);
    EXPECT_EQ(StopInBody(no_eol), body.find(L"\"v\""));
    EXPECT_EQ(no_eol.keys.size(), 1u);
    EXPECT_TRUE(ParseLines(body + L"\n").full);

    // Comments only in the first column, on lines of their own.
    Parsed comments = ParseLines(L"; top\n[HKEY_CURRENT_USER\\A]\n;x\n\"a\"=\"1\"\n;\n  \n\"b\"=\"2\"\n");
    EXPECT_TRUE(comments.full);
    ASSERT_EQ(comments.keys.size(), 1u);
    EXPECT_EQ(comments.keys.begin()->second.size(), 2u);

    // A failed value line mid-file: keys before it stay (its own key too, without the value), nothing
    // after it is read.
    std::wstring mid = L"[HKEY_CURRENT_USER\\A]\n\"a\"=\"1\"\n[HKEY_CURRENT_USER\\B]\n\"b\"=hex:01,02,\n"
                       L"  03\n[HKEY_CURRENT_USER\\C]\n";
    Parsed failed = ParseLines(mid);
    EXPECT_EQ(StopInBody(failed), mid.find(L"\"b\""));
    ASSERT_EQ(failed.keys.size(), 2u);
    EXPECT_EQ(failed.keys.begin()->first, L"[HKEY_CURRENT_USER\\A]");
    EXPECT_EQ(failed.keys.begin()->second.size(), 1u);
    EXPECT_EQ(std::next(failed.keys.begin())->first, L"[HKEY_CURRENT_USER\\B]");
    EXPECT_TRUE(std::next(failed.keys.begin())->second.empty());

    // CR alone ends lines too.
    Parsed cr = ParseLines(L"[HKEY_CURRENT_USER\\A]\r\"a\"=\"1\"\r\r\"b\"=dword:2\r");
    EXPECT_TRUE(cr.full);
    EXPECT_EQ(cr.keys.begin()->second.size(), 2u);
    // ...but the key text runs to the last ']' before an LF.
    Parsed cr_keys = ParseLines(L"[HKEY_CURRENT_USER\\A]\r[HKEY_CURRENT_USER\\B]\r");
    EXPECT_TRUE(cr_keys.full);
    ASSERT_EQ(cr_keys.keys.size(), 1u);
    EXPECT_EQ(cr_keys.keys.begin()->first, L"[HKEY_CURRENT_USER\\A]\r[HKEY_CURRENT_USER\\B]");
}

TEST(RegFileGrammar, ContinuationsAndFailedLines)
{
    Value joined = OneValue(L"\"a\"=hex:01,02,\\\r\n  03,04 \t,\\ \t\n\t05");
    EXPECT_EQ(joined.bytes, (Bytes{1, 2, 3, 4, 5}));

    // A line that fails after some of its bytes were read must not leave them to the next value
    // (here the next value is never read, so look at the key's value list) nor add a value.
    std::wstring body = L"[HKEY_CURRENT_USER\\A]\n\"a\"=hex:0a\n\"b\"=hex:01,02,\\\n  03,";
    Parsed parsed = ParseLines(body + L"\n");
    ASSERT_EQ(parsed.keys.size(), 1u);
    ASSERT_EQ(parsed.keys.begin()->second.size(), 1u);
    EXPECT_EQ(parsed.keys.begin()->second[0].bytes, Bytes{0x0a});

    // A failed hex(n) attempt falls back to the other forms without keeping its type or bytes.
    Parsed two = ParseLines(L"[HKEY_CURRENT_USER\\A]\n\"a\"=hex(7):ff,00\n\"b\"=dword:5\n\"c\"=\"s\"\n");
    ASSERT_TRUE(two.full);
    const auto& values = two.keys.begin()->second;
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[1].type, 4);
    EXPECT_TRUE(values[1].bytes.empty());
    EXPECT_EQ(values[2].type, 1);
    EXPECT_EQ(values[2].number, 0u);
    EXPECT_TRUE(values[2].bytes.empty());
}

TEST(RegFileGrammar, KeysAndTheirOrder)
{
    Parsed parsed = ParseLines(L"[HKEY_CURRENT_USER\\B]\n\"first\"=\"1\"\n[HKEY_CURRENT_USER\\A]\n"
                               L"[hkey_current_user\\b]\n\"second\"=\"2\"\n[HKCU\\A] x]\n");
    ASSERT_TRUE(parsed.full);
    std::vector<std::wstring> texts;
    for (const auto& key : parsed.keys)
        texts.push_back(key.first);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"[HKCU\\A] x]", L"[HKEY_CURRENT_USER\\A]",
                                                L"[HKEY_CURRENT_USER\\B]", L"[hkey_current_user\\b]"}));
    // Equal keys keep file order.
    auto it = std::next(parsed.keys.begin(), 2);
    EXPECT_EQ(it->second[0].name, L"\"first\"");
    EXPECT_EQ(std::next(it)->second[0].name, L"\"second\"");

    reg_file_parser::KeyInfoComp less;
    EXPECT_FALSE(less({L"[hkey_current_user\\a]", {}}, {L"[HKEY_CURRENT_USER\\A]", {}}));
    EXPECT_FALSE(less({L"[HKEY_CURRENT_USER\\A]", {}}, {L"[hkey_current_user\\a]", {}}));
    // Brackets take no part: "[A]" is before "[A1]" though ']' sorts after '1'.
    EXPECT_TRUE(less({L"[A]", {}}, {L"[A1]", {}}));
    // Degenerate texts a caller could insert compare as empty instead of reading outside the text.
    EXPECT_TRUE(less({L"", {}}, {L"[A]", {}}));
    EXPECT_FALSE(less({L"[", {}}, {L"]", {}}));
}

TEST(RegFileGrammar, ComparisonCanBeReplaced)
{
    // Byte order instead of the locale: upper case before lower case.
    reg_file_parser::KeyInfoComp ordinal;
    ordinal.compare = [](const wchar_t* a, int an, const wchar_t* b, int bn) {
        int c = std::wstring(a, an).compare(std::wstring(b, bn));
        return c < 0 ? CSTR_LESS_THAN : c == 0 ? CSTR_EQUAL : CSTR_GREATER_THAN;
    };
    KeyInfoSet keys(ordinal);
    const std::wstring text = std::wstring(kHeader5) + L"[b]\n[B]\n[a]\n[A]\n";
    auto result = reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), keys);
    EXPECT_TRUE(result.full);
    std::vector<std::wstring> texts;
    for (const auto& key : keys)
        texts.push_back(key.first);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"[A]", L"[B]", L"[a]", L"[b]"}));

    // A comparison that fails counts as "not less", so everything is equal and stays in file order.
    reg_file_parser::KeyInfoComp failing;
    failing.compare = [](const wchar_t*, int, const wchar_t*, int) { return 0; };
    KeyInfoSet unordered(failing);
    reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), unordered);
    texts.clear();
    for (const auto& key : unordered)
        texts.push_back(key.first);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"[b]", L"[B]", L"[a]", L"[A]"}));
}

TEST(RegFileGrammar, LongValues)
{
    // A 200,000-character string, a 50,000-byte list in the editor's wrapping, a 10 MB list on one line.
    std::wstring long_text(200000, L'x');
    Value text = OneValue(L"@=\"" + long_text + L"\"");
    EXPECT_EQ(text.text.size(), long_text.size() + 2);

    std::wstring list = L"\"a\"=hex:";
    for (int i = 0; i < 50000; ++i) {
        list += L"ab";
        if (i + 1 < 50000)
            list += (i % 25 == 24) ? L",\\\r\n  " : L",";
    }
    EXPECT_EQ(OneValue(list).bytes.size(), 50000u);

    std::wstring huge = L"\"a\"=hex:00";
    huge.reserve(10 * 1024 * 1024 / 2 + 3);
    while (huge.size() < 10 * 1024 * 1024 / 2)
        huge += L",7f";
    Value big = OneValue(huge);
    EXPECT_EQ(big.bytes.size(), (huge.size() - 8 + 1) / 3);

    // Strings full of escapes: as one regular expression these ran out of backtracking memory.
    for (size_t count : {1000u, 300000u}) {
        std::wstring escaped = L"\"";
        for (size_t i = 0; i < count; ++i)
            escaped += (i % 2) ? L"\\\\" : L"\\\"";
        escaped += L"\"";
        Value value = OneValue(L"@=" + escaped);
        EXPECT_EQ(value.text.size(), escaped.size());
    }
    // A 10 MB string that never closes and a key line without an end.
    Parsed open = ParseLines(L"[HKEY_CURRENT_USER\\A]\n@=\"" + std::wstring(10 * 1024 * 1024 / 2, L'q'));
    EXPECT_FALSE(open.full);
    Parsed open_key = ParseLines(L"[" + std::wstring(10 * 1024 * 1024 / 2, L'k'));
    EXPECT_FALSE(open_key.full);
    EXPECT_EQ(StopInBody(open_key), 0u);
}

TEST(RegFileGrammar, EndlessContinuation)
{
    // Continuation lines with no bytes after them: the value fails, nothing hangs.
    std::wstring body = L"[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01";
    for (int i = 0; i < 100000; ++i)
        body += L",\\\n";
    Parsed parsed = ParseLines(body);
    EXPECT_FALSE(parsed.full);
    EXPECT_EQ(StopInBody(parsed), body.find(L"\"a\""));
}

TEST(RegFileGrammar, ParsesFromSeveralThreadsTakeTurns)
{
    // The rule set and its closures are shared by the whole run; each parse must still see only its
    // own key collection.
    const std::wstring text = ImportBuffer(Utf16Bytes(WithCrLf(kExport5), true));
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                Parsed parsed;
                Parse(text, parsed);
                size_t values = 0;
                for (const auto& key : parsed.keys)
                    values += key.second.size();
                if (parsed.full && parsed.keys.size() == 4 && values == 15)
                    ++good;
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), 100);
}

// Mutated, truncated and random inputs: the grammar must end on each, inside the text, and whatever it
// keeps must have the shape the import relies on.
#include "regimport/RegFileGrammar.h"
#include "regimport/RegistryImport.h"
#include "regimport/RegistryValueText.h"
#include "RegFileTestText.h"

#include "foundation/Errors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <random>
#include <stdexcept>

using namespace regfile_test;
typedef reg_file_parser::reg_file_grammar::Value Value;

namespace {

const wchar_t kSeedText[] =
    L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n"
    L"[HKEY_CURRENT_USER\\Software\\Varnock\\Fuzz]\r\n"
    L"@=\"default \\\"quoted\\\" \\\\ path\"\r\n"
    L"\"Number\"=dword:0000002a\r\n"
    L"\"Bytes\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    L"  16,17,18,19,1a\r\n"
    L"\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
    L"\"Multi\"=hexadecimal(7):61,00,00,00,00,00\r\n"
    L"\"Empty\"=hex:\r\n"
    L"; comment\r\n"
    L"\r\n"
    L"[HKEY_LOCAL_MACHINE\\Software\\Varnock]\r\n"
    L"\r\n"
    L"[-HKEY_USERS\\Gone]\r\n"
    L"\"Text\"=\"a[1]\"\r\n";

// Characters that matter to the grammar, so that mutations reach its corners.
const wchar_t kInteresting[] = L"[]\"\\,;=:@ \t\r\n-0aFfhexdword()x4S_\xFEFF\x0000";

// A file that imports whole: every key under a known root, numbers of four bytes.
const wchar_t kImportSeedText[] = L"Windows Registry Editor Version 5.00\r\n\r\n"
                                  L"[HKEY_LOCAL_MACHINE\\Software\\Varnock]\r\n"
                                  L"\"Number\"=hex(4):01,02,03,04\r\n"
                                  L"\"Other\"=hex(4):ff,ff,ff,7f\r\n"
                                  L"\"Word\"=dword:0000002a\r\n"
                                  L"\"Text\"=\"a[1]\"\r\n"
                                  L"[HKEY_CURRENT_USER\\S]\r\n"
                                  L"[HKEY_CLASSES_ROOT\\.x]\r\n"
                                  L"@=\"x\"\r\n"
                                  L"[HKEY_USERS]\r\n"
                                  L"[HKEY_USERS\\S_4]\r\n"
                                  L"\"Multi\"=hex(7):61,00,00,00,00,00\r\n";

const wchar_t* const kRootNames[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                     L"HKEY_USERS"};

// The root of a key's inner text found apart from the import: its whole name, alone or before a '\'.
int RootOf(const std::wstring& inner)
{
    for (int root = 0; root < 4; ++root) {
        size_t length = wcslen(kRootNames[root]);
        if (inner.size() >= length && _wcsnicmp(inner.c_str(), kRootNames[root], length) == 0 &&
            (inner.size() == length || inner[length] == L'\\'))
            return root;
    }
    return -1;
}

bool BadBytes(const Value& value)
{
    bool hex = value.text.empty() && !(value.type == 4 && value.bytes.empty());
    return hex &&
           ((value.type == 4 && value.bytes.size() != 4) || (value.type == 7 && value.bytes.size() % 2));
}

// What the import makes of the keys: every value a row under its key's own root and sub-key, a number
// with exactly its four bytes; or a refusal, and only where a root or a value is bad.
void CheckImport(const reg_file_parser::KeyInfoSet& keys)
{
    bool bad_root = false, bad_bytes = false;
    for (const auto& key : keys) {
        bad_root |= RootOf(key.first.substr(1, key.first.size() - 2)) < 0;
        for (const Value& value : key.second)
            bad_bytes |= BadBytes(value);
    }
    std::vector<RegistryRow> rows;
    try {
        rows = BuildRegistryRows(keys, L"C_reg", L"C");
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(error.caption, L"Invalid key");
        EXPECT_TRUE(bad_root) << "refused a good root";
        return;
    } catch (const std::runtime_error&) {
        EXPECT_TRUE(bad_bytes) << "refused good bytes";
        return;
    }
    ASSERT_FALSE(bad_root) << "a key under no root was imported";
    ASSERT_FALSE(bad_bytes) << "bytes that are no value of their type were imported";
    size_t next = 0;
    for (const auto& key : keys) {
        std::wstring inner = key.first.substr(1, key.first.size() - 2);
        int root = RootOf(inner);
        std::wstring sub = inner.size() > wcslen(kRootNames[root]) + 1
                               ? inner.substr(wcslen(kRootNames[root]) + 1)
                               : std::wstring();
        size_t count = key.second.size();
        if (count == 0 && next < rows.size() && rows[next][3]->string() == L"+" &&
            rows[next][2]->string() == sub)
            count = 1; // the row of a key without values, when nothing under it follows
        for (size_t i = 0; i < count; ++i, ++next) {
            ASSERT_LT(next, rows.size());
            const RegistryRow& row = rows[next];
            EXPECT_EQ(row[1]->integer(), root) << inner;
            EXPECT_EQ(row[2]->is_null() ? std::wstring() : row[2]->string(), sub) << inner;
            if (i >= key.second.size())
                continue;
            const Value& value = key.second[i];
            if (value.type == 4 && value.text.empty() && !value.bytes.empty()) {
                std::int32_t number = 0;
                ASSERT_EQ(swscanf(row[4]->string().c_str(), L"#%d", &number), 1) << row[4]->string();
                EXPECT_EQ(value.bytes, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(number),
                                                                  static_cast<std::uint8_t>(number >> 8),
                                                                  static_cast<std::uint8_t>(number >> 16),
                                                                  static_cast<std::uint8_t>(number >> 24)}));
            }
        }
    }
    EXPECT_EQ(next, rows.size()) << "rows of nothing in the file";
}

void CheckShape(const std::wstring& text, const Parsed& parsed)
{
    ASSERT_LE(parsed.stop, text.size());
    if (parsed.full) {
        EXPECT_EQ(parsed.stop, text.size());
    }
    for (const auto& key : parsed.keys) {
        ASSERT_GE(key.first.size(), 2u);
        EXPECT_EQ(key.first.front(), L'[');
        EXPECT_EQ(key.first.back(), L']');
        EXPECT_EQ(key.first.find(L'\n'), std::wstring::npos);
        for (const Value& value : key.second) {
            if (!value.name.empty()) {
                ASSERT_GE(value.name.size(), 2u);
                EXPECT_EQ(value.name.front(), L'"');
                EXPECT_EQ(value.name.back(), L'"');
            }
            if (value.type == 1 && !value.text.empty()) {
                // A string value; its text holds the quotes.
                EXPECT_EQ(value.text.front(), L'"');
                EXPECT_EQ(value.text.back(), L'"');
                EXPECT_TRUE(value.bytes.empty());
                EXPECT_EQ(value.number, 0u);
            } else {
                EXPECT_TRUE(value.text.empty());
            }
            if (value.type == 4 && value.bytes.empty())
                continue; // dword, or hex(4) without bytes
            EXPECT_EQ(value.number, 0u);
        }
    }
}

std::wstring Mutate(std::wstring text, std::mt19937& random)
{
    std::uniform_int_distribution<int> edits(1, 6);
    for (int n = edits(random); n > 0; --n) {
        size_t at = std::uniform_int_distribution<size_t>(0, text.size())(random);
        wchar_t c = kInteresting[random() % (sizeof(kInteresting) / sizeof(wchar_t))];
        switch (random() % 5) {
        case 0: // replace
            if (at < text.size())
                text[at] = c;
            break;
        case 1:
            text.insert(text.begin() + at, c);
            break;
        case 2:
            if (at < text.size())
                text.erase(at, 1 + random() % 8);
            break;
        case 3: // a random code unit, surrogates and private use included
            if (at < text.size())
                text[at] = static_cast<wchar_t>(random() & 0xFFFF);
            break;
        default: // repeat a piece, so that lines and keys come twice
            if (at < text.size()) {
                size_t length = std::min<size_t>(text.size() - at, random() % 64);
                text.insert(at, text.substr(at, length));
            }
            break;
        }
    }
    return text;
}

} // namespace

TEST(RegFileRobustness, EveryTruncation)
{
    const std::wstring seed = kSeedText;
    Parsed whole;
    Parse(seed, whole);
    ASSERT_TRUE(whole.full);
    for (size_t length = 0; length <= seed.size(); ++length) {
        // The import's buffer: the file's units plus one LF.
        std::wstring text = seed.substr(0, length) + L"\n";
        Parsed parsed;
        Parse(text, parsed);
        CheckShape(text, parsed);
        EXPECT_LE(parsed.keys.size(), whole.keys.size());
        if (HasFatalFailure() || HasFailure()) {
            ADD_FAILURE() << "truncated at " << length;
            return;
        }
    }
}

TEST(RegFileRobustness, MutatedAndRandomInputs)
{
    std::mt19937 random(20240611);
    const std::wstring seed = kSeedText;
    for (int round = 0; round < 4000; ++round) {
        std::wstring text;
        if (round % 10 == 9) {
            // Random bytes read as the import reads them, sometimes behind a valid header.
            std::vector<std::uint8_t> bytes(random() % 512);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(random());
            text = ImportBuffer(bytes);
            if (round % 20 == 19)
                text = L"REGEDIT4\n[HKEY_USERS\\R]\n" + text;
        } else {
            text = Mutate(seed, random);
            if (round % 3 == 0)
                text.resize(random() % (text.size() + 1));
        }
        Parsed parsed;
        Parse(text, parsed);
        CheckShape(text, parsed);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ": " << testing::PrintToString(text);
            return;
        }
    }
}

TEST(RegFileRobustness, MutatedFilesImportWholeOrAreRefused)
{
    std::mt19937 random(8675309);
    const std::wstring seed = kImportSeedText;
    Parsed whole;
    Parse(seed, whole);
    ASSERT_TRUE(whole.full);
    CheckImport(whole.keys);
    int imported = 0;
    for (int round = 0; round < 3000; ++round) {
        std::wstring text = Mutate(seed, random);
        Parsed parsed;
        Parse(text, parsed);
        if (!parsed.full)
            continue;
        CheckImport(parsed.keys);
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ": " << testing::PrintToString(text);
            return;
        }
        ++imported;
    }
    EXPECT_GT(imported, 300) << "too few mutations parse to test the import";
}

#include "regimport/RegistryImport.h"
#include "regimport/RegistryValueText.h"
#include "RegFileTestText.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace regfile_test;
typedef reg_file_parser::reg_file_grammar::Value Value;
typedef std::vector<std::uint8_t> Bytes;

namespace {

reg_file_parser::KeyInfoSet Keys(const std::wstring& body)
{
    std::wstring text =
        ImportBuffer(Utf16Bytes(L"Windows Registry Editor Version 5.00\r\n\r\n" + body, true));
    reg_file_parser::KeyInfoSet keys;
    EXPECT_TRUE(reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), keys).full) << body;
    return keys;
}

// A row as texts, "<null>" for a null cell.
std::vector<std::wstring> Texts(const RegistryRow& row)
{
    std::vector<std::wstring> texts;
    for (size_t i = 0; i < row.size(); ++i) {
        if (row[i]->is_null())
            texts.push_back(L"<null>");
        else
            texts.push_back(i == 1 ? std::to_wstring(row[i]->integer()) : row[i]->string());
    }
    return texts;
}

} // namespace

TEST(RegistryValueText, ValuesBecomeTheValueColumnsText)
{
    struct Case
    {
        Value value;
        std::wstring expected;
    } cases[] = {
        {{L"\"v\"", 1, L"\"x[1]\"", {}, 0}, L"x[\\[]1[\\]]"},
        {{L"\"v\"", 1, L"\"#5\"", {}, 0}, L"##5"},
        {{L"", 1, L"\"a\\\"b\"", {}, 0}, L"a\"b"},
        {{L"\"v\"", 1, L"\"\"", {}, 0}, L""},
        {{L"\"v\"", 1, L"\"C:\\\\x\"", {}, 0}, L"C:\\x"},
        {{L"\"v\"", 4, L"", {}, 0xffffffff}, L"#-1"},
        {{L"\"v\"", 4, L"", {}, 0x10}, L"#16"},
        {{L"\"v\"", 3, L"", {0x01, 0xAB}, 0}, L"#x01ab"},
        {{L"\"v\"", 3, L"", {}, 0}, L"#x"},
        {{L"\"v\"", 11, L"", {1, 0, 0, 0, 0, 0, 0, 0}, 0}, L"#x0100000000000000"},
        {{L"\"v\"", 2, L"", {0x25, 0, 0x41, 0, 0x25, 0}, 0}, L"#%%A%"},
        // The installer keeps text only up to its NUL: the export's terminator is not part of the value.
        {{L"\"v\"", 2, L"", {0x25, 0, 0x41, 0, 0x25, 0, 0, 0}, 0}, L"#%%A%"},
        {{L"\"v\"", 1, L"", {'#', 0, '[', 0, 0, 0}, 0}, L"##[\\[]"},
        {{L"\"v\"", 4, L"", {0x10, 0, 0, 0}, 0}, L"#16"},
        {{L"\"v\"", 7, L"", {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}, 0}, L"a[~]b"},
        {{L"\"v\"", 7, L"", {'a', 0, 0, 0, 0, 0}, 0}, L"a"},
        {{L"\"v\"", 7, L"", {0, 0}, 0}, L"[~]"},
        {{L"\"v\"", 7, L"", {0, 0, 0, 0}, 0}, L"[~][~]"},
        {{L"\"v\"", 7, L"", {']', 0, 0, 0, 0, 0}, 0}, L"[\\]]"},
        {{L"\"v\"", 7, L"", {}, 0}, L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, FormatRegistryValue(c.value)) << c.value.type << L" " << c.value.text;

    EXPECT_EQ(L"a\"b\\", UnquoteRegString(L"\"a\\\"b\\\\\""));
    EXPECT_EQ(L"[\\[][\\]]", EscapeFormattedBrackets(L"[]"));

    // Bytes that cannot be the value of their type are refused, and nothing past them is read.
    for (const Bytes& bytes : {Bytes{'a', 0, 0}, Bytes{1}})
        EXPECT_THROW(RegistryValueToMsiText(7, bytes), std::runtime_error);
    for (const Bytes& bytes : {Bytes{}, Bytes{1, 2, 3}, Bytes{1, 2, 3, 4, 5}, Bytes(8, 0)})
        EXPECT_THROW(RegistryValueToMsiText(4, bytes), std::runtime_error);
}

TEST(RegistryValueText, RootsAreKnownByTheirFullNamesInAnyCase)
{
    std::pair<const wchar_t*, int> cases[] = {
        {L"HKEY_CLASSES_ROOT\\x", 0},
        {L"hkey_current_user", 1},
        {L"HKEY_LOCAL_MACHINE\\S", 2},
        {L"HKEY_USERS\\.DEFAULT", 3},
        {L"HKEY_USERS\\", 3},
        {L"Hkey_Classes_Root", 0},
        // Only the whole name is a root: what runs on is another name, not a key under the root.
        {L"HKEY_LOCAL_MACHINEFOO\\Software\\X", -1},
        {L"HKEY_CURRENT_USERX", -1},
        {L"HKEY_CLASSES_ROOTS", -1},
        {L"HKEY_USERS_\\x", -1},
        {L"HKEY_LOCAL_MACHINE/Software", -1},
        {L"HKCU\\x", -1},
        {L"HKEY_CURRENT_CONFIG\\X", -1},
        {L"-HKEY_CURRENT_USER\\X", -1},
        {L"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, ParseRegistryRoot(c.first)) << c.first;
}

TEST(RegistryImportRows, KeysAndValuesBecomeRowsInKeyOrder)
{
    auto rows = BuildRegistryRows(Keys(L"[HKEY_CURRENT_USER\\B]\r\n"
                                       L"@=\"a\\\"b\"\r\n"
                                       L"[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
                                       L"\"v\"=\"x[1]\"\r\n"
                                       L"\"n\"=dword:00000010\r\n"
                                       L"[HKEY_CURRENT_USER\\A]\r\n"
                                       L"[HKEY_CURRENT_USER\\AB]\r\n"
                                       L"[HKEY_CURRENT_USER\\C]\r\n"
                                       L"[HKEY_CURRENT_USER\\C\\D]\r\n"
                                       L"[HKEY_CURRENT_USER\\E]\r\n"
                                       L"[hkey_current_user\\e]\r\n"
                                       L"[HKEY_USERS]\r\n"
                                       L"[HKEY_USERS\\]\r\n"),
                                  L"Comp_reg", L"Comp");
    std::vector<std::vector<std::wstring>> expected = {
        // A and AB are different keys: each without values gets its "+" row. C is covered by its sub-key,
        // the repeated E by its repetition; a root alone gives no row.
        {L"Comp_reg00000", L"1", L"A", L"+", L"<null>", L"Comp"},
        {L"Comp_reg00001", L"1", L"AB", L"+", L"<null>", L"Comp"},
        {L"Comp_reg00002", L"1", L"B", L"<null>", L"a\"b", L"Comp"},
        {L"Comp_reg00003", L"1", L"C\\D", L"+", L"<null>", L"Comp"},
        {L"Comp_reg00004", L"1", L"e", L"+", L"<null>", L"Comp"},
        {L"Comp_reg00005", L"2", L"Software\\A", L"v", L"x[\\[]1[\\]]", L"Comp"},
        {L"Comp_reg00006", L"2", L"Software\\A", L"n", L"#16", L"Comp"},
    };
    ASSERT_EQ(expected.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(expected[i], Texts(rows[i])) << i;

    // A root alone with a value has no Key, which the caller's check refuses.
    rows = BuildRegistryRows(Keys(L"[HKEY_CURRENT_USER]\r\n\"v\"=\"x\"\r\n"), L"C_reg", L"C");
    ASSERT_EQ(1u, rows.size());
    EXPECT_TRUE(rows[0][2]->is_null());
}

TEST(RegistryImportRows, AnUnknownRootOrABadValueStopsTheWholeBuild)
{
    for (const wchar_t* body : {L"[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n[HKEY_CURRENT_CONFIG\\X]\r\n",
                                L"[HKEY_CURRENT_USER\\A]\r\n[-HKEY_CURRENT_USER\\X]\r\n",
                                L"[HKEY_LOCAL_MACHINEFOO\\Software\\X]\r\n\"v\"=\"x\"\r\n",
                                L"[HKEY_CURRENT_USER\\A]\r\n[HKEY_CLASSES_ROOTS]\r\n"}) {
        try {
            BuildRegistryRows(Keys(body), L"C_reg", L"C");
            ADD_FAILURE() << body;
        } catch (const tfc::ManageableError& error) {
            EXPECT_EQ(L"Invalid key", error.caption);
            EXPECT_EQ(0u, error.message.find(L"The following key's root is unrecognised: ")) << error.message;
        }
    }
    // Bytes that cannot be their type's value: an odd multi-string, a number of more or fewer than four.
    for (const wchar_t* value : {L"hex(7):61,00,00", L"hex(4):01,02,03,04,05", L"hex(4):01,02,03"})
        EXPECT_THROW(BuildRegistryRows(Keys(L"[HKEY_CURRENT_USER\\A]\r\n\"ok\"=\"x\"\r\n\"v\"=" +
                                            std::wstring(value) + L"\r\n"),
                                       L"C_reg", L"C"),
                     std::runtime_error)
            << value;
}

TEST(RegistryImportFile, TheFileIsReadAsStoredAndAParseFailureNamesItsLine)
{
    testing_support::ScratchFolder folder;
    // Without a final line break the appended LF ends the last line.
    std::wstring path = folder.file(L"a.reg");
    testing_support::WriteFileBytes(path, Utf16Bytes(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]", false));
    std::vector<wchar_t> text = ReadRegFileText(path);
    EXPECT_EQ(std::wstring(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\n"), std::wstring(text.begin(), text.end()));

    // One line of text: the line number, what is wrong, the line itself (cut when long).
    std::string narrow = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::wstring head = L"\xFEFFWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n";
    const std::wstring lead = L"Could not completely parse the file: line ";
    const std::wstring refusal = L"Could not import the file: line ";
    struct
    {
        std::vector<std::uint8_t> file;
        std::wstring message;
    } cases[] = {
        // An 8-bit file is no UTF-16 text: the parse stops at its very start.
        {std::vector<std::uint8_t>(narrow.begin(), narrow.end()), lead + L"1 is not understood: "},
        {Utf16Bytes(head + L"\"a\"=dword:1 ; x\r\n", false),
         lead + L"4 is not understood: \"a\"=dword:1 ; x"},
        {Utf16Bytes(head + L"\"v\"=\"x\"\r\n\r\n[-HKEY_CURRENT_USER\\X]\r\n", false),
         refusal + L"6 deletes a registry key, which an import does not support: [-HKEY_CURRENT_USER\\X]"},
        {Utf16Bytes(head + L"\"a\\\"b\"=-\r\n[HKEY_CURRENT_USER\\B]\r\n", false),
         refusal + L"4 deletes a registry value, which an import does not support: \"a\\\"b\"=-"},
        {Utf16Bytes(head + L"@=-\r\n", false),
         refusal + L"4 deletes a registry value, which an import does not support: @=-"},
        {Utf16Bytes(head + L"\"v\"=" + std::wstring(120, L'x') + L"\r\n", false),
         lead + L"4 is not understood: \"v\"=" + std::wstring(96, L'x') + L"..."},
    };
    for (const auto& c : cases) {
        testing_support::WriteFileBytes(path, c.file);
        text = ReadRegFileText(path);
        reg_file_parser::KeyInfoSet keys;
        auto parsed = reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), keys);
        // A key deletion parses as a key; the import looks for it before anything else.
        std::wstring message =
            parsed.full ? RegKeyDeletionText(text, keys) : RegParseFailureText(text, parsed.stop);
        if (c.message.back() == L' ')
            EXPECT_EQ(0u, message.find(c.message)) << message;
        else
            EXPECT_EQ(c.message, message);
        EXPECT_EQ(std::wstring::npos, message.find_first_of(L"\r\n")) << message;
    }
    // A file that deletes nothing has nothing to say.
    testing_support::WriteFileBytes(path, Utf16Bytes(head, false));
    text = ReadRegFileText(path);
    reg_file_parser::KeyInfoSet keys;
    ASSERT_TRUE(reg_file_parser::ParseRegFileText(text.data(), text.data() + text.size(), keys).full);
    EXPECT_EQ(L"", RegKeyDeletionText(text, keys));

    EXPECT_THROW(ReadRegFileText(folder.file(L"missing.reg")), tfc::ManageableError);
}

// Table files the installer library would fault on, or import other than they read, are refused before it
// sees them, naming the file, line and column, and none of them lands; every table the library exports
// still goes in whole.
#include "model/installer/MsiApi.h"
#include "model/installer/TableFileCheck.h"
#include "model/MsiFile.h"
#include "tools/ModelDump.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

std::vector<std::wstring> TableNames(MSIHANDLE database)
{
    std::vector<std::wstring> names;
    MsiHandle view = msi::DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables`");
    msi::ViewExecute(view.get(), 0);
    while (MsiHandle row = msi::ViewFetch(view.get()))
        names.push_back(msi::RecordGetString(row.get(), 1));
    return names;
}

// The text of the refusal when the file is imported into a new database, or "imported"; a refused file
// leaves no table behind.
std::wstring ImportOutcome(const std::wstring& folder, const std::wstring& name)
{
    std::wstring database_path = folder + L"\\" + name + L".msi";
    MsiHandle database = msi::OpenDatabase(database_path, MSIDBOPEN_CREATEDIRECT);
    try {
        msi::DatabaseImport(database.get(), folder, name);
    } catch (const msi::TableFileError& error) {
        EXPECT_TRUE(TableNames(database.get()).empty()) << error.description();
        return error.description();
    }
    return L"imported";
}

// The library keeps rows in its own order.
std::vector<std::wstring> SortedLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool HoldsTabsOrLineBreaks(MSIHANDLE database, const std::wstring& table)
{
    MsiHandle view = msi::DatabaseOpenView(database, L"SELECT * FROM " + msi::QuoteName(table));
    msi::ViewExecute(view.get(), 0);
    MsiHandle types = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_TYPES);
    while (MsiHandle row = msi::ViewFetch(view.get())) {
        for (UINT field = 1; field <= msi::RecordGetFieldCount(row.get()); ++field) {
            wchar_t type = static_cast<wchar_t>(towlower(msi::RecordGetString(types.get(), field)[0]));
            if ((type == L's' || type == L'l') &&
                msi::RecordGetString(row.get(), field).find_first_of(L"\t\r\n") != std::wstring::npos)
                return true;
        }
    }
    return false;
}

} // namespace

TEST(TableFileCheck, HeaderLinesDecide)
{
    struct Case
    {
        const char* text;
        bool table;
    };
    const Case cases[] = {
        {"", false},
        {"\r\n", false},
        {"Name\tValue\r\n", false},
        {"Name\tValue\r\ns72\tS0\r\n", false},
        {"a\tb\r\nc\td\r\ne\tf\r\n", false},              // rows without the header
        {"Name\tValue\r\ns72\r\nT\tName\r\n", false},     // fewer types than columns
        {"Name\tValue\r\ns72\tX0\r\nT\tName\r\n", false}, // no such type
        {"Name\tValue\r\ns72\tS0\r\n\tName\r\n", false},  // no table name
        {"\r\n\r\n1252\r\n", false},                      // a code page without its table
        {"Name\tValue\r\ns72\tS0\r\nT\tName\r\n", true},
        {"Name\tValue\ns72\tS0\nT\tName", true},
        {"Key\tN\tData\r\ni2\tI4\tv0\r\nT\tKey\r\n1\t2\tT.1.ibd\r\n", true},
        {"\r\n\r\n1252\t_ForceCodepage", true},
        {"\xFF\xFEN\0a\0\t\0V\0\r\0\n\0s\0\x37\0\x32\0\t\0S\0\x30\0\r\0\n\0T\0\t\0N\0a\0\r\0\n\0", true},
    };
    for (const Case& test : cases) {
        // The wide case holds zero bytes: its length is up to the last line end.
        std::string text(test.text);
        if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF)
            text.assign(test.text, 2 + 2 * 22);
        EXPECT_EQ(test.table, msi::HasTableFileHeader(text)) << test.text;
    }
}

TEST(TableFileCheck, EveryRowIsCheckedAgainstItsColumns)
{
    testing_support::ScratchFolder folder;
    const std::string text = "Key\tText\r\ns72\tS0\r\nT\tKey\r\n";
    const std::string numbers = "Key\tShort\tLong\r\ns72\tI2\tI4\r\nN\tKey\r\n";
    const std::string streams = "Key\tData\r\ns72\tV0\r\nS\tKey\r\n";
    struct Case
    {
        const char* name;
        std::string text;
        std::wstring outcome; // after the file's path and a line end
    };
    const Case cases[] = {
        {"Empty.idt", "", L"The file is empty or is not a table file."},
        {"Header.idt", "a\tb\r\n", L"The file is empty or is not a table file."},
        {"NoKey.idt", "Key\tText\r\ns72\tS0\r\nT\r\n", L"Line 3: the table \"T\" names no key column."},
        {"OtherKey.idt", "Key\tText\r\ns72\tS0\r\nT\tName\r\n",
         L"Line 3: the key column \"Name\" is not a column of the table."},
        {"Short.idt", text + "a\tb\r\nc\r\n",
         L"Line 5, column \"Text\": the row ends before this column: it has 1 of the table's 2 fields."},
        {"Extra.idt", text + "a\tb\tc\r\n", L"Line 4: the row has 3 fields; the table has 2 columns."},
        {"LoneReturn.idt", text + "a\tb\rc\r\nd\te\r\n",
         L"Line 4, column \"Text\": a carriage return without a line feed splits the row."},
        {"LoneReturnKey.idt", text + "a\rb\tc\r\n",
         L"Line 4, column \"Key\": a carriage return without a line feed splits the row."},
        {"Trailing.idt", numbers + "a\t12abc\t1\r\n",
         L"Line 4, column \"Short\": \"12abc\" is not an integer."},
        {"Sign.idt", numbers + "a\t1\t-\r\n", L"Line 4, column \"Long\": \"-\" is not an integer."},
        {"Blank.idt", numbers + "a\t 1\t1\r\n", L"Line 4, column \"Short\": \" 1\" is not an integer."},
        {"ShortNull.idt", numbers + "a\t-32768\t1\r\n",
         L"Line 4, column \"Short\": -32768 is outside what a 2-byte integer column holds "
         L"(-32767 to 32767; -32768 stands for null)."},
        {"ShortWide.idt", numbers + "a\t40000\t1\r\n",
         L"Line 4, column \"Short\": 40000 is outside what a 2-byte integer column holds "
         L"(-32767 to 32767; -32768 stands for null)."},
        {"LongNull.idt", numbers + "a\t1\t-2147483648\r\n",
         L"Line 4, column \"Long\": -2147483648 is outside what a 4-byte integer column holds "
         L"(-2147483647 to 2147483647; -2147483648 stands for null)."},
        {"LongWide.idt", numbers + "a\t1\t99999999999999999999\r\n",
         L"Line 4, column \"Long\": 99999999999999999999 is outside what a 4-byte integer column holds "
         L"(-2147483647 to 2147483647; -2147483648 stands for null)."},
        {"Stream.idt", streams + "a\tmissing.bin\r\n",
         L"Line 4, column \"Data\": the stream file " + folder.file(L"Stream\\missing.bin") +
             L" is missing."},
        // What the library reads as written: limits, signs, empty fields, empty lines, line ends of
        // every kind, the escapes of line ends and tabs, a stream cell whose file is there.
        {"Limits.idt",
         numbers + "a\t-32767\t2147483647\r\nb\t+32767\t-2147483647\r\n\r\nc\t\t\r\r\nd\t007\t-0\n",
         L"imported"},
        {"Escapes.idt", text + "a\tx\x11\x19y\x10z\x15\r\nb\t\r\n", L"imported"},
        {"Streams.idt", streams + "a\there.bin\r\nb\t\r\n", L"imported"},
        {"NoLineEnd.idt", text + "a\tb", L"imported"},
    };
    CreateDirectoryW(folder.file(L"Streams").c_str(), nullptr);
    testing_support::WriteFileBytes(folder.file(L"Streams\\here.bin"), Bytes("bytes"));
    for (const Case& test : cases) {
        std::wstring name = std::wstring(test.name, test.name + strlen(test.name));
        testing_support::WriteFileBytes(folder.file(name), Bytes(test.text));
        std::wstring outcome = ImportOutcome(folder.path(), name);
        std::wstring expected = test.outcome;
        if (expected != L"imported")
            expected = folder.file(name) + L"\r\n" + expected;
        EXPECT_EQ(expected, outcome) << test.name;
    }
}

// The shared files each name what their rows hold that the library would change.
TEST(TableFileCheck, SharedTableFilesAreRefusedAtTheirFault)
{
    struct Case
    {
        const wchar_t* name;
        const wchar_t* reason;
    };
    const Case cases[] = {
        {L"short-row-4-columns.idt",
         L"Line 4, column \"B\": the row ends before this column: it has 1 of the table's 4 fields."},
        {L"short-row-property.idt",
         L"Line 5, column \"Value\": the row ends before this column: it has 1 of the table's 2 fields."},
        {L"integer-trailing-text.idt", L"Line 4, column \"Num\": \"-214S7483647\" is not an integer."},
        {L"i2-minimum.idt", L"Line 4, column \"Num\": -32768 is outside what a 2-byte integer column holds "
                            L"(-32767 to 32767; -32768 stands for null)."},
        {L"extra-fields.idt", L"Line 4: the row has 4 fields; the table has 2 columns."},
    };
    testing_support::ScratchFolder folder;
    for (const Case& test : cases) {
        std::wstring source = testing_support::TestDataPath(std::wstring(L"idt\\") + test.name);
        if (source.empty())
            GTEST_SKIP() << "the shared table files are not there";
        std::wstring copy = folder.copy_in(source, test.name);
        EXPECT_EQ(copy + L"\r\n" + test.reason, ImportOutcome(folder.path(), test.name));
    }
}

// Every table of every shared package, exported by the library with its stream files and the code page,
// imports into a new database with the same rows.
TEST(TableFileCheck, ExportedTablesOfTheSharedPackagesGoBackInWhole)
{
    const wchar_t* packages[] = {L"shortcuts.msi",       L"MergeModule1.msm",     L"OldClassTableDef.msi",
                                 L"two-saves.msi",       L"saves\\ice-suite.cub", L"saves\\with-dialogs.msi",
                                 L"transforms\\base.msi"};
    for (const wchar_t* package : packages) {
        std::wstring path = testing_support::TestDataPath(package);
        if (path.empty())
            GTEST_SKIP() << "the shared packages are not there";
        SCOPED_TRACE(package);
        testing_support::ScratchFolder folder;
        MsiFile source;
        ASSERT_TRUE(source.Open(path, MSIDBOPEN_READONLY));
        MsiHandle target = msi::OpenDatabase(folder.file(L"target.msi"), MSIDBOPEN_CREATEDIRECT);
        msi::DatabaseExport(source.handle(), L"_ForceCodepage", folder.path(), L"_ForceCodepage.idt");
        msi::DatabaseImport(target.get(), folder.path(), L"_ForceCodepage.idt");
        std::vector<std::wstring> whole;
        for (auto& entry : source.tables()) {
            if (!entry.second->user_table())
                continue;
            msi::DatabaseExport(source.handle(), entry.first, folder.path(), entry.first + L".idt");
            // Under Wine the export writes tabs and line breaks of a text as they are; no import can
            // read such a row back, and the check says where it is.
            try {
                msi::DatabaseImport(target.get(), folder.path(), entry.first + L".idt");
                whole.push_back(entry.first);
            } catch (const msi::TableFileError& error) {
                std::wstring text = entry.first + L": " + error.description();
                EXPECT_TRUE(HoldsTabsOrLineBreaks(source.handle(), entry.first))
                    << std::string(text.begin(), text.end());
            }
        }
        msi::DatabaseCommit(target.get());
        target.reset();
        MsiFile imported;
        ASSERT_TRUE(imported.Open(folder.file(L"target.msi"), MSIDBOPEN_READONLY));
        EXPECT_EQ(source.GetCodepage(), imported.GetCodepage());
        EXPECT_LT(0u, whole.size());
        for (const std::wstring& name : whole) {
            MsiTableRef table = imported.FindTable(name);
            ASSERT_TRUE(table) << std::string(name.begin(), name.end());
            EXPECT_EQ(SortedLines(model_dump::DumpTable(*source.FindTable(name), true)),
                      SortedLines(model_dump::DumpTable(*table, true)));
        }
    }
}

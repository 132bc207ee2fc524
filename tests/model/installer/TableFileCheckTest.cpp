// Table files the installer library would fault on are refused before it sees them, naming the file;
// every file the library writes itself still goes in.
#include "model/installer/MsiApi.h"
#include "model/installer/TableFileCheck.h"
#include "foundation/Convert.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

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

TEST(TableFileCheck, ImportRefusesEmptyFileNamingIt)
{
    testing_support::ScratchFolder folder;
    MsiHandle database = msi::OpenDatabase(folder.file(L"target.msi"), MSIDBOPEN_CREATEDIRECT);
    std::wstring empty = folder.file(L"Empty.idt");
    testing_support::WriteFileBytes(empty, {});
    try {
        msi::DatabaseImport(database.get(), folder.path(), L"Empty.idt");
        ADD_FAILURE() << "imported";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"The file is empty or is not a table file: " + empty, error.description());
        EXPECT_EQ(L"MsiDatabaseImport", error.function());
    }
    // A table file and what the library exports of it go in.
    std::string table = "Name\tValue\r\ns72\tS0\r\nPlain\tName\r\na\tfirst\r\n";
    testing_support::WriteFileBytes(folder.file(L"Plain.idt"), std::vector<BYTE>(table.begin(), table.end()));
    msi::DatabaseImport(database.get(), folder.path(), L"Plain.idt");
    msi::DatabaseExport(database.get(), L"Plain", folder.path(), L"Exported.idt");
    msi::DatabaseImport(database.get(), folder.path() + L"\\", L"Exported.idt");
    MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT `Value` FROM `Plain`");
    msi::ViewExecute(view.get(), 0);
    MsiHandle row = msi::ViewFetch(view.get());
    ASSERT_TRUE(row);
    EXPECT_EQ(L"first", msi::RecordGetString(row.get(), 1));
}

// The component's "&Import .reg file" command over a real package. It lives with the shell's tests because
// it needs a document tab, whose interfaces the shell implements.
#include "PackageDocument.h"
#include "views/tree/ImportRegFile.h"

#include "foundation/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <stdexcept>

using shell_testing::PackageDocument;
using testing_support::ScriptedPrompts;

namespace {

std::vector<BYTE> Utf16(const std::wstring& text, bool bom)
{
    std::vector<BYTE> bytes;
    if (bom)
        bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    return bytes;
}

// Registry rows of the component as "key|root|Key|Name|Value", in table order.
std::vector<std::wstring> ComponentRows(PackageDocument& document, const std::wstring& component)
{
    std::vector<std::wstring> rows;
    MsiTable& table = *document.GetMsiFile().FindTable(L"Registry");
    for (const MsiRow& row : table.rows()) {
        if (row[5]->string() != component || row[0]->string().find(component + L"_reg") != 0)
            continue;
        std::wstring text = row[0]->string();
        for (int i = 1; i < 5; ++i)
            text += L"|" + table.columns()[i]->display_str(*row[i]);
        rows.push_back(text);
    }
    return rows;
}

PromptAnswer Chosen(const std::wstring& path)
{
    return PromptAnswer{IDOK, {path}, false};
}

} // namespace

TEST(ImportRegFile, ValuesAndKeysWithoutValuesBecomeRowsOfTheComponent)
{
    PackageDocument document(L"OldClassTableDef.msi");
    if (!document.ok())
        GTEST_SKIP() << "OldClassTableDef.msi is not there";
    size_t before = document.GetMsiFile().FindTable(L"Registry")->rows().size();
    // A row already named like the import's first row moves the import's names aside.
    document.GetTableLookup(L"Registry")
        ->AddRowFromText({L"ProgIdComp_reg00001", L"1", L"Old", L"", L"x", L"ProgIdComp"});
    document.SetDirty(false);

    std::wstring path = document.folder().file(L"import.reg");
    testing_support::WriteFileBytes(path, Utf16(L"Windows Registry Editor Version 5.00\r\n\r\n"
                                                L"[HKEY_CURRENT_USER\\A]\r\n\r\n"
                                                L"[HKEY_CURRENT_USER\\AB]\r\n\r\n"
                                                L"[HKEY_LOCAL_MACHINE\\S\\C]\r\n\r\n"
                                                L"[HKEY_LOCAL_MACHINE\\S\\C\\D]\r\n"
                                                L"@=\"a\\\"b\"\r\n"
                                                L"\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                                L"\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                                L"\"n\"=dword:ffffffff\r\n"
                                                L"\"b\"=hex:01,AB\r\n"
                                                L"\"v\"=\"x[1]\"\r\n"
                                                L"\"h\"=\"#5\"",
                                                true));
    {
        ScriptedPrompts prompts;
        prompts.answer(Chosen(path));
        ImportRegFile(document, nullptr, L"ProgIdComp");
        ASSERT_EQ(1u, prompts.asked().size());
        EXPECT_EQ(PromptKind::OpenFiles, prompts.asked()[0].kind);
        EXPECT_EQ(L"Open File", prompts.asked()[0].caption);
    }
    std::vector<std::wstring> expected = {
        L"ProgIdComp_reg00001|1|Old|<null>|x",
        L"ProgIdComp_reg_00000|1|A|+|<null>",
        L"ProgIdComp_reg_00001|1|AB|+|<null>",
        L"ProgIdComp_reg_00002|2|S\\C\\D|<null>|a\"b",
        L"ProgIdComp_reg_00003|2|S\\C\\D|e|#%%A%",
        L"ProgIdComp_reg_00004|2|S\\C\\D|m|a[~]b",
        L"ProgIdComp_reg_00005|2|S\\C\\D|n|#-1",
        L"ProgIdComp_reg_00006|2|S\\C\\D|b|#x01ab",
        L"ProgIdComp_reg_00007|2|S\\C\\D|v|x[\\[]1[\\]]",
        L"ProgIdComp_reg_00008|2|S\\C\\D|h|##5",
    };
    EXPECT_EQ(expected, ComponentRows(document, L"ProgIdComp"));
    EXPECT_EQ(before + expected.size(), document.GetMsiFile().FindTable(L"Registry")->rows().size());
    EXPECT_TRUE(document.HasChanges());

    // Cancelling the file dialog does nothing.
    document.SetDirty(false);
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDCANCEL, {}, false});
    ImportRegFile(document, nullptr, L"ProgIdComp");
    EXPECT_EQ(expected.size(), ComponentRows(document, L"ProgIdComp").size());
    EXPECT_FALSE(document.HasChanges());
}

TEST(ImportRegFile, ARefusedFileAddsNothingAndLeavesTheTabClean)
{
    PackageDocument document(L"OldClassTableDef.msi");
    if (!document.ok())
        GTEST_SKIP() << "OldClassTableDef.msi is not there";
    std::string narrow = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n";
    struct Case
    {
        std::vector<BYTE> file;
        std::wstring caption; // of the message; empty: an error leaves the command
        std::wstring text_start;
    } cases[] = {
        {Utf16(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n[HKEY_CURRENT_CONFIG\\X]\r\n", false),
         L"Invalid key", L"The following key's root is unrecognised: HKEY_CURRENT_CONFIG\\X"},
        // A root alone has no Key text, which the table requires.
        {Utf16(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n[HKEY_CURRENT_USER]\r\n\"v\"=\"x\"\r\n",
               false),
         L"Can not import registry files", L"The row ProgIdComp_reg0000"},
        {Utf16(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n\"w\"=hex(7):61,00,00\r\n", false), L"",
         L""},
        {Utf16(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"w\"=hex(4):01,00\r\n", false), L"", L""},
        {std::vector<BYTE>(narrow.begin(), narrow.end()), L"Failed to import the Registry file",
         L"Could not completely parse the file: line 1 is not understood: "},
        // Keys before a deletion are refused with it, and the message names the line alone.
        {Utf16(L"REGEDIT4\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"x\"\r\n[-HKEY_CURRENT_USER\\X]\r\n\"w\"="
               L"\"y\"\r\n",
               false),
         L"Failed to import the Registry file",
         L"Could not import the file: line 4 deletes a registry key, which an import does not support: "
         L"[-HKEY_CURRENT_USER\\X]"},
    };
    std::wstring path = document.folder().file(L"refused.reg");
    for (const Case& c : cases) {
        testing_support::WriteFileBytes(path, c.file);
        ScriptedPrompts prompts;
        prompts.answer(Chosen(path));
        if (c.caption.empty()) {
            EXPECT_THROW(ImportRegFile(document, nullptr, L"ProgIdComp"), std::runtime_error);
        } else {
            prompts.answer(IDOK);
            ImportRegFile(document, nullptr, L"ProgIdComp");
            ASSERT_EQ(2u, prompts.asked().size());
            EXPECT_EQ(c.caption, prompts.asked()[1].caption);
            EXPECT_EQ(0u, prompts.asked()[1].text.find(c.text_start)) << prompts.asked()[1].text;
        }
        EXPECT_TRUE(ComponentRows(document, L"ProgIdComp").empty()) << c.caption;
        EXPECT_FALSE(document.HasChanges()) << c.caption;
        EXPECT_TRUE(document.GetMsiFile().change_log().empty()) << c.caption;
    }

    // A file with nothing after its header changes nothing, so the tab stays clean.
    testing_support::WriteFileBytes(path, Utf16(L"Windows Registry Editor Version 5.00\r\n", true));
    {
        ScriptedPrompts prompts;
        prompts.answer(Chosen(path));
        ImportRegFile(document, nullptr, L"ProgIdComp");
        EXPECT_FALSE(document.HasChanges());
    }

    // A file that cannot be opened is the user's error, said in plain words.
    ScriptedPrompts prompts;
    prompts.answer(Chosen(document.folder().file(L"missing.reg")));
    try {
        ImportRegFile(document, nullptr, L"ProgIdComp");
        ADD_FAILURE();
    } catch (const tfc::ManageableError& error) {
        EXPECT_EQ(L"Failed to import Registry file", error.caption);
    }
}

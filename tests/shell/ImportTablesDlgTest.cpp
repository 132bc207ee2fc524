// Import Tables over a real package: tables exported as .idt files come back whole, stream cells included.
#include "DialogDriver.h"
#include "PackageDocument.h"
#include "PackageTesting.h"
#include "shell/ImportTablesDlg.h"

#include "model/installer/MsiApi.h"
#include "resources/ShellIds.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <algorithm>
#include <msiquery.h>

using namespace shell_testing;
using testing_support::ScriptedPrompts;

namespace {

// Every Binary row of the file as its name and its stream's bytes.
std::map<std::wstring, std::string> BinaryRows(const std::wstring& path)
{
    std::map<std::wstring, std::string> rows;
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT `Name`, `Data` FROM `Binary`");
    msi::ViewExecute(view.get(), 0);
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        std::string bytes;
        char buffer[4096];
        DWORD size = sizeof(buffer);
        while (MsiRecordReadStream(record.get(), 2, buffer, &size) == 0 && size != 0) {
            bytes.append(buffer, size);
            size = sizeof(buffer);
        }
        rows[msi::RecordGetString(record.get(), 1)] = bytes;
    }
    return rows;
}

// Every row of the table as its fields' texts joined by tabs, sorted.
std::vector<std::wstring> TableTexts(const std::wstring& path, const std::wstring& table)
{
    std::vector<std::wstring> rows;
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT * FROM `" + table + L"`");
    msi::ViewExecute(view.get(), 0);
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        std::wstring text;
        for (UINT i = 1; i <= msi::RecordGetFieldCount(record.get()); ++i)
            text += msi::RecordGetString(record.get(), i) + L"\t";
        rows.push_back(text);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::wstring ItemText(HWND list, int item, int column)
{
    wchar_t text[128] = {};
    ListView_GetItemText(list, item, column, text, 128);
    return text;
}

void SelectRow(HWND list, int item)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(list, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

std::vector<bool> ActionButtonsEnabled(HWND dialog)
{
    std::vector<bool> enabled;
    for (int id : {1011, 1012, 1013, 1014})
        enabled.push_back(IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE);
    return enabled;
}

struct Exported
{
    std::wstring binary, registry, component, code_page, junk;
};

// Binary (with stream cells) from another package, which the document lacks; the document's own
// Registry and Component; a code page file and a file that is no table.
Exported ExportFiles(PackageDocument& document)
{
    const std::wstring& folder = document.folder().path();
    std::wstring module = testing_support::TestDataPath(L"MergeModule1.msm");
    if (!module.empty()) {
        MsiHandle other = msi::OpenDatabase(module, MSIDBOPEN_READONLY);
        msi::DatabaseExport(other.get(), L"Binary", folder, L"Binary.idt");
    }
    msi::DatabaseExport(document.GetMsiFile().handle(), L"Registry", folder, L"Registry.idt");
    msi::DatabaseExport(document.GetMsiFile().handle(), L"Component", folder, L"Component.idt");
    std::string code_page = "\r\n\r\n1252\t_ForceCodepage\r\n";
    testing_support::WriteFileBytes(document.folder().file(L"cp.idt"),
                                    std::vector<BYTE>(code_page.begin(), code_page.end()));
    std::string junk = "not a table\r\n";
    testing_support::WriteFileBytes(document.folder().file(L"junk.txt"),
                                    std::vector<BYTE>(junk.begin(), junk.end()));
    return {document.folder().file(L"Binary.idt"), document.folder().file(L"Registry.idt"),
            document.folder().file(L"Component.idt"), document.folder().file(L"cp.idt"),
            document.folder().file(L"junk.txt")};
}

} // namespace

TEST(ImportTablesDlg, TablesComeBackWholeStreamsIncludedAndSkipChangesNothing)
{
    PackageDocument document(L"OldClassTableDef.msi");
    std::wstring module = testing_support::TestDataPath(L"MergeModule1.msm");
    if (!document.ok() || module.empty())
        GTEST_SKIP() << "the shared packages are not there";
    auto binary = BinaryRows(module);
    ASSERT_FALSE(binary.empty());
    auto registry = TableTexts(testing_support::TestDataPath(L"OldClassTableDef.msi"), L"Registry");
    Exported files = ExportFiles(document);
    MsiTable* component = document.GetMsiFile().FindTable(L"Component").get();
    size_t components = component->rows().size();

    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{
        IDOK, {files.binary, files.registry, files.component, files.code_page, files.junk}, false});
    prompts.answer(IDOK); // why the file that is no table cannot be imported
    ImportTablesDlg dialog(document);
    std::vector<std::vector<std::wstring>> shown;
    std::vector<std::vector<bool>> buttons;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Import Tables");
        if (!window)
            return false;
        HWND list = GetDlgItem(window, 1010);
        for (int i = 0; i < ListView_GetItemCount(list); ++i)
            shown.push_back({ItemText(list, i, 0), ItemText(list, i, 1)});
        SelectRow(list, 3); // no table in it: nothing to choose
        buttons.push_back(ActionButtonsEnabled(window));
        SelectRow(list, 0);
        buttons.push_back(ActionButtonsEnabled(window));
        SelectRow(list, 2);
        buttons.push_back(ActionButtonsEnabled(window));
        PressButton(window, 1011);
        shown.push_back({ItemText(list, 2, 0), ItemText(list, 2, 1)});
        PressButton(window, IDOK);
        if (IsWindowVisible(window))
            PressButton(window, IDCANCEL); // a failed import keeps it open
        return true;
    });
    EXPECT_EQ(0, dialog.DoModal(nullptr));
    EXPECT_TRUE(driver.finished());
    std::vector<std::vector<std::wstring>> expected_shown = {
        {L"Binary", L"Import"}, {L"Registry", L"Replace"}, {L"Component", L"Replace"},
        {L"", L"Error"},        {L"", L"Error"},           {L"Component", L"Skip"}};
    EXPECT_EQ(expected_shown, shown);
    // Skip, Import, Merge, Replace.
    std::vector<std::vector<bool>> expected_buttons = {
        {false, false, false, false}, {true, true, false, false}, {true, false, false, true}};
    EXPECT_EQ(expected_buttons, buttons);
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(L"These files cannot be imported:\r\n\r\n" + files.junk +
                  L"\r\nThe file is empty or is not a table file.",
              prompts.asked()[1].text);

    EXPECT_TRUE(document.HasChanges());
    EXPECT_EQ(component, document.GetMsiFile().FindTable(L"Component").get()) << "skipped";
    EXPECT_EQ(components, component->rows().size());
    document.GetMsiFile().SaveInPlace(false, L"");
    document.Close();
    EXPECT_EQ(binary, BinaryRows(document.GetPath()));
    EXPECT_EQ(registry, TableTexts(document.GetPath(), L"Registry"));
}

TEST(ImportTablesDlg, AReplacementThatCannotBeOpenedKeepsTheOldTable)
{
    PackageDocument document(L"OldClassTableDef.msi");
    if (!document.ok())
        GTEST_SKIP() << "OldClassTableDef.msi is not there";
    Exported files = ExportFiles(document);
    MsiTable* registry = document.GetMsiFile().FindTable(L"Registry").get();
    size_t rows = registry->rows().size();

    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, {files.registry}, false});
    prompts.answer(IDCONTINUE); // the error dialog
    ImportTablesDlg dialog(document);
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Import Tables");
        if (!window)
            return false;
        EXPECT_TRUE(DeleteFileW(dialog.Files().at(0)->database_path.c_str()));
        PressButton(window, IDOK);
        PressButton(window, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(driver.finished());
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(PromptKind::ErrorDialog, prompts.asked()[1].kind);
    EXPECT_EQ(registry, document.GetMsiFile().FindTable(L"Registry").get());
    EXPECT_EQ(rows, registry->rows().size());
    EXPECT_FALSE(document.HasChanges());
    EXPECT_TRUE(document.GetMsiFile().change_log().empty());

    // Cancelling the file dialog ends Import Tables at once.
    prompts.answer(PromptAnswer{IDCANCEL, {}, false});
    EXPECT_EQ(1, ImportTablesDlg(document).DoModal(nullptr));
}

TEST(ImportTablesDlg, AFailureOnTheSecondFileLeavesOnlyItOffered)
{
    PackageDocument document(L"OldClassTableDef.msi");
    if (!document.ok())
        GTEST_SKIP() << "OldClassTableDef.msi is not there";
    Exported files = ExportFiles(document);
    // Held, so that the replacing table cannot take the freed table's address.
    MsiTableRef held = document.GetMsiFile().FindTable(L"Component");
    MsiTable* component = held.get();
    size_t components = component->rows().size();

    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, {files.component, files.registry}, false});
    prompts.answer(IDCONTINUE); // the error dialog of the first OK
    prompts.answer(IDCONTINUE); // and of the second
    ImportTablesDlg dialog(document);
    std::vector<std::vector<std::wstring>> left;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Import Tables");
        if (!window)
            return false;
        EXPECT_TRUE(DeleteFileW(dialog.Files().at(1)->database_path.c_str()));
        HWND list = GetDlgItem(window, 1010);
        for (int press = 0; press < 2; ++press) {
            PressButton(window, IDOK);
            std::vector<std::wstring> rows;
            for (int i = 0; i < ListView_GetItemCount(list); ++i)
                rows.push_back(ItemText(list, i, 0) + L":" + ItemText(list, i, 1));
            left.push_back(rows);
        }
        PressButton(window, IDCANCEL);
        return true;
    });
    EXPECT_EQ(1, dialog.DoModal(nullptr));
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(3u, prompts.asked().size());
    std::vector<std::vector<std::wstring>> expected_left = {{L"Registry:Replace"}, {L"Registry:Replace"}};
    EXPECT_EQ(expected_left, left);
    EXPECT_TRUE(dialog.ImportedAny());
    // The replaced table went in once.
    MsiTableRef replaced = document.GetMsiFile().FindTable(L"Component");
    ASSERT_TRUE(replaced);
    EXPECT_NE(component, replaced.get());
    EXPECT_EQ(components, replaced->rows().size());
}

// Through the tab's command: every refused file is named with its line and column, or its missing stream
// file, and none of them lands; the document stays unchanged.
TEST(ImportTablesDlg, RefusedFilesAreExplainedAndNothingLands)
{
    testing_support::ScratchFolder folder;
    std::vector<std::wstring> files, reasons;
    const std::pair<const wchar_t*, const wchar_t*> shared[] = {
        {L"short-row-4-columns.idt", L"Line 4, column \"B\": the row ends before this column: it has 1 of "
                                     L"the table's 4 fields."},
        {L"integer-trailing-text.idt", L"Line 4, column \"Num\": \"-214S7483647\" is not an integer."},
        {L"i2-minimum.idt", L"Line 4, column \"Num\": -32768 is outside what a 2-byte integer column holds "
                            L"(-32767 to 32767; -32768 stands for null)."},
        {L"extra-fields.idt", L"Line 4: the row has 4 fields; the table has 2 columns."},
    };
    for (const auto& file : shared) {
        std::wstring source = testing_support::TestDataPath(std::wstring(L"idt\\") + file.first);
        if (source.empty())
            GTEST_SKIP() << "the shared table files are not there";
        files.push_back(folder.copy_in(source, file.first));
        reasons.push_back(file.second);
    }
    // A table exported with its stream cells, whose stream file is then lost.
    std::wstring package = folder.file(L"Import.msi");
    BuildPackage(package, 1, 1, true);
    {
        MsiHandle database = msi::OpenDatabase(package, MSIDBOPEN_READONLY);
        msi::DatabaseExport(database.get(), L"Binary", folder.path(), L"Binary.idt");
    }
    ASSERT_TRUE(DeleteFileW(folder.file(L"Binary\\Icon").c_str()));
    files.push_back(folder.file(L"Binary.idt"));
    reasons.push_back(L"Line 4, column \"Data\": the stream file " + folder.file(L"Binary\\Icon") +
                      L" is missing.");

    DatabaseFrame frame;
    frame->OpenFiles({package}, false);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(tab, nullptr);
    size_t tables = tab->GetMsiFile().tables().size();
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, files, false});
    prompts.answer(IDOK);
    std::vector<std::wstring> shown;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Import Tables");
        if (!window)
            return false;
        HWND list = GetDlgItem(window, 1010);
        for (int i = 0; i < ListView_GetItemCount(list); ++i)
            shown.push_back(ItemText(list, i, 1));
        PressButton(window, IDOK);
        return true;
    });
    tab->OnCommand(nullptr, ID_TABLES_IMPORT);
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(std::vector<std::wstring>(files.size(), L"Error"), shown);
    ASSERT_EQ(2u, prompts.asked().size());
    std::wstring expected = L"These files cannot be imported:";
    for (size_t i = 0; i < files.size(); ++i)
        expected += L"\r\n\r\n" + files[i] + L"\r\n" + reasons[i];
    EXPECT_EQ(expected, prompts.asked()[1].text);
    EXPECT_EQ(PromptKind::MessageBox, prompts.asked()[1].kind);
    EXPECT_FALSE(tab->IsDirty());
    EXPECT_EQ(tables, tab->GetMsiFile().tables().size());
    EXPECT_TRUE(tab->GetMsiFile().change_log().empty());
}

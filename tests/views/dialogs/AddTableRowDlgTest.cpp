// "New Row" over real tables: the OK check's messages, Escape after an edit, and a Directory row (whose
// view has a computed column) added, saved and read back.
#include "views/dialogs/AddTableRowDlg.h"
#include "model/MsiFile.h"
#include "resources/DialogsIds.h"

#include "DialogTesting.h"

#include <gtest/gtest.h>

using dialog_testing::PackageTab;
using grid_testing::OpenPackage;

namespace {

class AddTableRowDlgTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!package_.ok())
            GTEST_SKIP() << "shared test data absent";
        tab_ = std::make_unique<PackageTab>(package_);
    }
    // Runs the dialog over the table's lookup; `step` is called with the dialog box until it answers true.
    bool Run(AddTableRowDlg& dialog, const std::function<bool(HWND)>& step)
    {
        grid_testing::ModalDriver driver([&]() {
            HWND window = dialog_testing::FindDialog(L"New Row");
            return window && step(window);
        });
        return dialog.DoModal();
    }
    static void Enter(AddTableRowDlg& dialog, const MsiFieldDefRef& def, const wchar_t* text)
    {
        MsiFieldDataRef value(new MsiFieldData());
        def->set_field_data(*value, text);
        dialog.CommitFieldValue(*def, RowIterator(), value, true);
    }

    OpenPackage package_{L"shortcuts.msi"};
    std::unique_ptr<PackageTab> tab_;
};

TEST_F(AddTableRowDlgTest, OkReportsFieldErrorsAndDuplicateKeysAndStaysOpen)
{
    std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(L"Property");
    AddTableRowDlg dialog(lookup, tab_->GetWindowHandle());
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    prompts.answer(IDOK);
    int step = 0;
    EXPECT_FALSE(Run(dialog, [&](HWND window) {
        switch (step++) {
        case 0:
            grid_testing::ClickButton(window, IDC_ROWS_OK);
            Enter(dialog, lookup->GetFieldDef(0), L"ALLUSERS");
            Enter(dialog, lookup->GetFieldDef(1), L"2");
            grid_testing::ClickButton(window, IDC_ROWS_OK);
            return false;
        default:
            grid_testing::ClickButton(window, IDCANCEL);
            return true;
        }
    }));
    std::wstring expected;
    for (int column = 0; column < 2; ++column) {
        MsiFieldDefRef def = lookup->GetFieldDef(column);
        expected += L"Field " + def->name() + L" has error(s):\r\n";
        for (const auto& message : def->validate(MsiFieldData()))
            expected += L"\t" + message.second + L"\r\n";
    }
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(expected, prompts.asked()[0].text);
    EXPECT_EQ(MB_ICONERROR, prompts.asked()[0].flags & MB_ICONMASK);
    EXPECT_EQ(L"Adding this row would result in a duplicate row", prompts.asked()[1].text);
    EXPECT_EQ(L"1", tab_->Cell(L"Property", L"ALLUSERS", L"Value"));
}

TEST_F(AddTableRowDlgTest, EscapeClosesAfterAnEditAndAddsNothing)
{
    std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(L"Property");
    int rows = lookup->RowCount();
    AddTableRowDlg dialog(lookup, tab_->GetWindowHandle());
    int step = 0, waits = 0;
    EXPECT_FALSE(Run(dialog, [&](HWND window) {
        switch (step++) {
        case 0: // Enter opens the editor of the first value.
            SendMessageW(window, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(dialog.IsEditing());
            return false;
        case 1: // Enter again ends the edit, which moves on to the next field.
            SetWindowTextW(GetFocus(), L"NEWPROP");
            SendMessageW(window, WM_COMMAND, IDOK, 0);
            return false;
        case 2:
            if (dialog.IsEditing() && ++waits < 200) {
                --step; // the edit ends as the focus moves
                return false;
            }
            EXPECT_EQ(1, dialog.GetList().GetFocusedItem());
            EXPECT_EQ(L"NEWPROP", dialog.GetNewRow()[0]->string());
            SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return false;
        default:
            ADD_FAILURE() << "Escape did not close the dialog";
            EndDialog(window, IDCANCEL);
            return true;
        }
    }));
    EXPECT_LE(3, step);
    EXPECT_EQ(rows, lookup->RowCount());
}

TEST_F(AddTableRowDlgTest, ADirectoryRowIsAddedWithItsRealColumnsAndSurvivesSaving)
{
    {
        // The lookup and the dialog go before the file is opened again.
        std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(L"Directory");
        ASSERT_EQ(lookup->TextColumnCount() + 1, lookup->ColumnCount());
        AddTableRowDlg dialog(lookup, tab_->GetWindowHandle());
        int step = 0;
        ASSERT_TRUE(Run(dialog, [&](HWND window) {
            if (step++ == 0) {
                EXPECT_EQ(nullptr, dialog.CreateEditor(dialog.GetList(), lookup->ColumnCount() - 1, 1))
                    << "the computed path is no column of the table";
                Enter(dialog, lookup->GetFieldDef(0), L"NEWDIR");
                Enter(dialog, lookup->GetFieldDef(1), L"TARGETDIR");
                Enter(dialog, lookup->GetFieldDef(2), L"newdir");
                return false;
            }
            // A few ticks for the screen to show the painted dialog.
            if (step < 10)
                return false;
            grid_testing::SaveScreenshot(window, testing_support::BuildPath(L"NewRow.png"));
            grid_testing::ClickButton(window, IDC_ROWS_OK);
            return true;
        }));
        dialog.AddToTable();
    }
    tab_.reset();
    package_.SaveAndReopen();
    EXPECT_EQ(L"TARGETDIR", PackageTab(package_).Cell(L"Directory", L"NEWDIR", L"Directory_Parent"));
}

} // namespace

// "New Row" over real tables: the OK check's messages, Escape after an edit, and a Directory row (whose
// view has a computed column) added, saved and read back.
#include "views/dialogs/AddTableRowDlg.h"
#include "model/MsiFile.h"
#include "resources/DialogsIds.h"

#include "DialogTesting.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

// Keys and clicks posted to the dialog's windows go through its own modal loop, as the user's do: Enter
// in a cell editor reaches the dialog as the dialog manager makes of it.
TEST_F(AddTableRowDlgTest, EnterInACellEditorCommitsTheCellAndOkTakesWhatWasCommitted)
{
    std::shared_ptr<MsiTableLookupBase> lookup = tab_->GetTableLookup(L"Property");
    int rows = lookup->RowCount();
    AddTableRowDlg dialog(lookup, tab_->GetWindowHandle());
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    HWND list = nullptr;
    auto edit = [&] { return list ? FindWindowExW(list, nullptr, L"Edit", nullptr) : nullptr; };
    grid_testing::DefaultKeyTarget = [&] {
        HWND control = edit();
        return control && IsWindowVisible(control) ? control : list;
    };
    auto double_click = [&](int item) {
        RECT cell = {LVIR_LABEL, 1, 0, 0};
        SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&cell));
        LPARAM where = MAKELPARAM(cell.left + 4, (cell.top + cell.bottom) / 2);
        for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            PostMessageW(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, where);
    };
    auto type_and_enter = [&](const wchar_t* text) {
        SendMessageW(edit(), EM_SETSEL, 0, -1);
        grid_testing::TypeText(text, false);
        grid_testing::PressKey(VK_RETURN, false, false, false);
    };
    // Each step waits for its condition: an editor open, or the edit before it committed.
    auto editing = [&] { return dialog.IsEditing() && edit() && IsWindowVisible(edit()); };
    std::vector<std::function<bool()>> steps = {
        [&] { // the key cell, as in "Ctrl+R, double-click, ALLUSERS, Enter"
            double_click(0);
            return true;
        },
        [&] { return editing() ? (type_and_enter(L"ALLUSERS"), true) : false; },
        [&] { // committed, and Enter went on to the value: nothing was asked
            if (dialog.IsEditing())
                return false;
            EXPECT_EQ(L"ALLUSERS", dialog.GetNewRow()[0]->string());
            EXPECT_EQ(1, dialog.GetList().GetFocusedItem());
            EXPECT_TRUE(prompts.asked().empty());
            grid_testing::PressKey(VK_RETURN, false, false, false); // opens the value's editor
            return true;
        },
        [&] { return editing() ? (type_and_enter(L"7"), true) : false; },
        [&] {
            if (dialog.IsEditing())
                return false;
            EXPECT_EQ(L"7", dialog.GetNewRow()[1]->string());
            grid_testing::ClickButton(GetParent(list), IDC_ROWS_OK); // the committed key is taken
            EXPECT_EQ(1u, prompts.asked().size());
            double_click(0);
            return true;
        },
        [&] { return editing() ? (type_and_enter(L"NEWPROP"), true) : false; },
        [&] {
            if (dialog.IsEditing())
                return false;
            grid_testing::ClickButton(GetParent(list), IDC_ROWS_OK);
            return true;
        },
    };
    size_t step = 0;
    int ticks = 0;
    EXPECT_TRUE(Run(dialog, [&](HWND window) {
        list = GetDlgItem(window, IDC_NEW_ROW_LIST);
        if (step < steps.size() && steps[step]())
            ++step;
        if (step < steps.size() && ++ticks > 500) {
            ADD_FAILURE() << "stuck at step " << step;
            EndDialog(window, IDCANCEL);
            return true;
        }
        return step == steps.size();
    }));
    grid_testing::DefaultKeyTarget = nullptr;
    EXPECT_EQ(steps.size(), step);
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"Adding this row would result in a duplicate row", prompts.asked()[0].text);
    dialog.AddToTable();
    EXPECT_EQ(rows + 1, lookup->RowCount());
    EXPECT_EQ(L"7", tab_->Cell(L"Property", L"NEWPROP", L"Value"));
    EXPECT_EQ(L"1", tab_->Cell(L"Property", L"ALLUSERS", L"Value"));
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

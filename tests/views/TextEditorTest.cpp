// String cells edited in place: the edit control, the multi-line editor, GUIDs and value lists, checked in
// the lookup and after saving and opening the package again.
#include "EditorTesting.h"

#include "foundation/WindowText.h"
#include "views/grid/MsiGUIDFieldEditor.h"
#include "views/grid/MsiSelectionFieldEditor.h"
#include "views/grid/MsiStringFieldEditor.h"

#include <richedit.h>
#include <regex>

using namespace grid_testing;

namespace {

bool IsGuid(const std::wstring& text)
{
    return std::regex_match(
        text, std::wregex(L"\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}"));
}

void ReplaceAll(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

} // namespace

TEST_F(EditorTest, TextIsTypedCommittedOrCancelled)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"Manufacturer"});
    int value = Column(L"Value");
    Focus(row, value);

    PressEnter();
    HWND edit = EditWindow();
    ASSERT_TRUE(edit);
    if (GetForegroundWindow() == host->window()) // another program may have the foreground
        EXPECT_EQ(edit, GetFocus());
    EXPECT_EQ(L"Example Corporation", GetWindowTextString(edit));
    TypeText(L"Varnock Ltd"); // replaces the selected text
    PressKey(VK_RETURN);
    EXPECT_FALSE(EditWindow()) << "the edit ends itself";
    EXPECT_EQ(1, recorder->commits);
    EXPECT_TRUE(recorder->last_changed);
    EXPECT_EQ(1, recorder->validations);
    EXPECT_EQ(L"Varnock Ltd", Cell(value, row));
    EXPECT_EQ(1, handler->refreshes);

    PressEnter();
    ASSERT_TRUE(EditWindow());
    TypeText(L"thrown away");
    PressKey(VK_ESCAPE);
    EXPECT_EQ(2, recorder->commits) << "a cancelled edit ends with one commit too";
    EXPECT_FALSE(recorder->last_changed);
    EXPECT_EQ(1, recorder->validations) << "nothing to validate";
    EXPECT_EQ(L"Varnock Ltd", Cell(value, row));
    EXPECT_EQ(1, handler->refreshes);

    PressEnter();
    ASSERT_TRUE(EditWindow());
    TypeText(L"Left by focus");
    SetFocus(host->list_window()); // clicking elsewhere ends the edit as Enter does
    PumpPending();
    EXPECT_FALSE(EditWindow());
    EXPECT_EQ(3, recorder->commits);
    EXPECT_EQ(L"Left by focus", Cell(value, row));

    SaveAndReopen();
    EXPECT_EQ(L"Left by focus", Cell(value, Position({L"Manufacturer"})));
}

TEST_F(EditorTest, TextThatTheCellCannotTakeIsRefusedWithItsMessage)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    prompts.answer(IDOK);
    int row = Position({L"Manufacturer"});
    Focus(row, 0);

    PressEnter();
    ASSERT_TRUE(EditWindow());
    PressKey(VK_DELETE);
    PressKey(VK_RETURN);
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"The field must contain a value", prompts.asked()[0].text);
    EXPECT_EQ(L"Invalid Data", prompts.asked()[0].caption);
    EXPECT_EQ(1, recorder->commits);
    EXPECT_FALSE(recorder->last_changed);

    PressEnter();
    TypeText(L"ALLUSERS");
    PressKey(VK_RETURN);
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(L"Setting this value would result in a duplicate row", prompts.asked()[1].text);
    EXPECT_FALSE(recorder->last_changed);
    EXPECT_EQ(L"Manufacturer", Cell(0, row));
    EXPECT_EQ(0, handler->refreshes);
}

TEST_F(EditorTest, LongTextIsEditedAndCommittedWhole)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"ProductName"});
    int value = Column(L"Value");
    std::wstring long_text(3000, L'w');
    lookup->CommitFieldValue(*lookup->GetFieldDef(value), lookup->GetIndexedRow(row, 0),
                             MsiFieldDataRef(new MsiFieldData(long_text)), true);
    EXPECT_EQ(511u, GetListViewItemText(host->list_window(), row, value).size()) << "the list shows it cut";

    Focus(row, value);
    PressEnter();
    HWND edit = EditWindow();
    ASSERT_TRUE(edit);
    EXPECT_EQ(long_text, GetWindowTextString(edit)) << "the editor starts from the cell, not the list";
    PressKey(VK_END);
    TypeText(L"!");
    PressKey(VK_RETURN);
    EXPECT_EQ(long_text + L"!", Cell(value, row));

    SaveAndReopen();
    EXPECT_EQ(long_text + L"!", Cell(value, Position({L"ProductName"})));
}

TEST_F(EditorTest, LineBreaksGoToTheMultiLineEditor)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"Manufacturer"});
    int value = Column(L"Value");
    lookup->CommitFieldValue(*lookup->GetFieldDef(value), lookup->GetIndexedRow(row, 0),
                             MsiFieldDataRef(new MsiFieldData(L"Line one\r\nLine two")), true);
    Focus(row, value);

    std::wstring shown;
    {
        ModalDriver driver([&] {
            HWND dialog = FindThreadDialog(L"Multi-line Editor");
            if (!dialog)
                return false;
            HWND text = GetDlgItem(dialog, 1051);
            shown = GetWindowTextString(text);
            ReplaceAll(text, L"First\r\nSecond\tcolumn");
            ClickButton(dialog, IDOK);
            return true;
        });
        PressEnter(); // the multi-line editor runs modally in here
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_NE(std::wstring::npos, shown.find(L"Line two"));
    EXPECT_EQ(1, recorder->commits);
    EXPECT_TRUE(recorder->last_changed);
    EXPECT_EQ(L"First\r\nSecond\tcolumn", Cell(value, row));
    EXPECT_FALSE(EditWindow());

    // Shift+Enter in a plain edit opens it too; Cancel there keeps the value.
    row = Position({L"ProductName"});
    Focus(row, value);
    PressEnter();
    ASSERT_TRUE(EditWindow());
    {
        ModalDriver driver([&] {
            HWND dialog = FindThreadDialog(L"Multi-line Editor");
            if (!dialog)
                return false;
            ClickButton(dialog, IDCANCEL);
            return true;
        });
        PressKey(VK_RETURN, false, true);
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ(2, recorder->commits);
    EXPECT_FALSE(recorder->last_changed);
    EXPECT_EQ(L"MsiPackage", Cell(value, row));
    EXPECT_FALSE(EditWindow());

    SaveAndReopen();
    EXPECT_EQ(L"First\r\nSecond\tcolumn", Cell(value, Position({L"Manufacturer"})));
}

TEST_F(EditorTest, GuidCellsGetNewGuidsFromTheButtonAndCtrlG)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"ProductCode"});
    int value = Column(L"Value");
    std::wstring before = Cell(value, row);
    Focus(row, value);

    std::wstring made;
    {
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiGUIDFieldEditor>();
            if (!editor)
                return false;
            HWND dialog = editor->GetDialogWindow();
            EXPECT_EQ(before, GetWindowTextString(GetDlgItem(dialog, 1006)));
            ClickButton(dialog, 1040);
            made = GetWindowTextString(GetDlgItem(dialog, 1006));
            PressKey(VK_RETURN, false, false, false);
            return true;
        });
        PressEnter();
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_TRUE(IsGuid(made));
    EXPECT_NE(before, made);
    EXPECT_EQ(made, Cell(value, row));

    // Ctrl+G in the edit, caught by the editor's message hook; then Escape keeps the value.
    int step = 0;
    std::wstring replaced;
    {
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiGUIDFieldEditor>();
            if (!editor)
                return false;
            HWND edit = GetDlgItem(editor->GetDialogWindow(), 1006);
            if (step == 0) {
                SetFocus(edit);
                PressKey('G', true, false, false);
                step = 1;
                return false;
            }
            replaced = GetWindowTextString(edit);
            if (replaced == made)
                return false;
            PressKey(VK_ESCAPE, false, false, false);
            return true;
        });
        PressEnter();
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_TRUE(IsGuid(replaced));
    EXPECT_NE(made, replaced);
    EXPECT_EQ(made, Cell(value, row)) << "cancelled";
    EXPECT_FALSE(recorder->last_changed);

    SaveAndReopen();
    EXPECT_EQ(made, Cell(value, Position({L"ProductCode"})));
}

TEST_F(EditorTest, ValueListsCompleteWhatIsTypedAndTakeOtherTexts)
{
    if (!Open(L"shortcuts.msi", L"Component"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"ShortcutComp"});
    int directory = Column(L"Directory_");
    Focus(row, directory);

    std::vector<std::wstring> items;
    std::wstring completed;
    DWORD selection = 0;
    int step = 0;
    {
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiSelectionFieldEditor>();
            if (!editor)
                return false;
            HWND combo = GetDlgItem(editor->GetDialogWindow(), 1006);
            if (step == 0) {
                for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i)
                    items.push_back(GetComboBoxItemText(combo, i));
                SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
                SetWindowTextW(combo, L"");
                TypeText(L"Prog", false);
                step = 1;
                return false;
            }
            completed = GetWindowTextString(combo);
            if (completed == L"")
                return false;
            selection = static_cast<DWORD>(SendMessageW(combo, CB_GETEDITSEL, 0, 0));
            ClickButton(editor->GetDialogWindow(), IDOK);
            return true;
        });
        PressEnter();
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"INSTALLFOLDER", L"ProgramFilesFolder", L"TARGETDIR"}), items);
    EXPECT_EQ(L"ProgramFilesFolder", completed);
    EXPECT_EQ(4u, LOWORD(selection)) << "the completed tail is selected";
    EXPECT_EQ(18u, HIWORD(selection));
    EXPECT_EQ(L"ProgramFilesFolder", Cell(directory, row));

    // Typed in other letter case nothing completes, and a text outside the list is taken as it is.
    step = 0;
    {
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiSelectionFieldEditor>();
            if (!editor)
                return false;
            HWND combo = GetDlgItem(editor->GetDialogWindow(), 1006);
            if (step == 0) {
                SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
                SetWindowTextW(combo, L"");
                TypeText(L"target", false);
                step = 1;
                return false;
            }
            completed = GetWindowTextString(combo);
            if (completed.size() < 6)
                return false;
            ClickButton(editor->GetDialogWindow(), IDOK);
            return true;
        });
        PressEnter();
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ(L"target", completed);
    EXPECT_EQ(L"target", Cell(directory, row));

    SaveAndReopen();
    EXPECT_EQ(L"target", Cell(directory, Position({L"ShortcutComp"})));
}

// Integer cells edited in place: decimal and hexadecimal, refused input, null, and the bit-flag menu.
#include "EditorTesting.h"

#include "foundation/WindowText.h"
#include "foundation/Options.h"
#include "foundation/Prompt.h"
#include "views/grid/MsiNumericFieldEditor.h"

using namespace grid_testing;

namespace {

// Edits the current cell with a script of steps run against the open dialog, one step per timer tick.
// A step returns true when the script is done (it has ended the dialog or will).
using Step = std::function<bool(MsiNumericFieldEditor& editor, HWND dialog)>;

std::wstring EditText(HWND dialog)
{
    return GetWindowTextString(GetDlgItem(dialog, 1006));
}

BOOL CALLBACK FindMenuWindow(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// A popup menu window ("#32768") of this thread is shown.
bool MenuOpen()
{
    bool found = false;
    EnumThreadWindows(GetCurrentThreadId(), &FindMenuWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What the dialog hears when another window takes the activation.
void Deactivate(HWND dialog)
{
    SendMessageW(dialog, WM_NCACTIVATE, FALSE, 0);
}

void SetEditText(HWND dialog, const std::wstring& text)
{
    SetWindowTextW(GetDlgItem(dialog, 1006), text.c_str());
}

} // namespace

class NumberEditorTest : public EditorTest
{
protected:
    // Runs the steps in order against the dialog; true when all ran.
    bool Edit(std::vector<Step> steps)
    {
        size_t next = 0;
        bool gave_up = false;
        DWORD start = GetTickCount();
        ModalDriver driver([&] {
            auto* editor = OpenDialogEditor<MsiNumericFieldEditor>();
            if (!editor)
                return false;
            if (GetTickCount() - start > 8000) {
                // A step that waits for something that never comes must not hang the test program.
                ADD_FAILURE() << "step " << next << " never finished";
                gave_up = true;
                EndMenu();
                PostMessageW(editor->GetDialogWindow(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                return true;
            }
            if (steps[next](*editor, editor->GetDialogWindow()))
                ++next;
            return next == steps.size();
        });
        PressEnter();
        return driver.finished() && !gave_up;
    }
    static Step Type(const std::wstring& text)
    {
        return [text](MsiNumericFieldEditor&, HWND dialog) {
            SetEditText(dialog, text);
            return true;
        };
    }
    static Step Press(WORD key)
    {
        return [key](MsiNumericFieldEditor&, HWND) {
            PressKey(key, false, false, false);
            return true;
        };
    }
};

TEST_F(NumberEditorTest, NumbersAreTypedInEitherRadixAndCommitted)
{
    if (!Open(L"shortcuts.msi", L"Media"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"1"});
    int last = Column(L"LastSequence");
    Focus(row, last);

    std::wstring first_text, button;
    ASSERT_TRUE(Edit({[&](MsiNumericFieldEditor& editor, HWND dialog) {
                          first_text = EditText(dialog);
                          button = GetWindowTextString(GetDlgItem(dialog, 1041));
                          EXPECT_EQ(10, editor.GetRadix());
                          return true;
                      },
                      Type(L"16"), Press(VK_RETURN)}));
    EXPECT_EQ(L"1", first_text);
    EXPECT_EQ(L"Hex", button) << "the button offers the other radix";
    EXPECT_EQ(L"16", Cell(last, row));
    EXPECT_EQ(1, recorder->commits);
    EXPECT_TRUE(recorder->last_changed);

    // 16 shown in hexadecimal, then 0x16 typed: 22 is a change, although "0x16" read in hexadecimal was
    // what the initial text "16" would have been.
    std::wstring toggled;
    ASSERT_TRUE(Edit({[&](MsiNumericFieldEditor&, HWND dialog) {
                          ClickButton(dialog, 1041);
                          toggled = EditText(dialog);
                          button = GetWindowTextString(GetDlgItem(dialog, 1041));
                          return true;
                      },
                      Type(L"0x16"), Press(VK_RETURN)}));
    EXPECT_EQ(L"0x00000010", toggled);
    EXPECT_EQ(L"Dec", button);
    EXPECT_TRUE(recorder->last_changed);
    EXPECT_EQ(L"22", Cell(last, row));

    // The same value in another radix is no change; Escape is none either.
    ASSERT_TRUE(Edit({Type(L"0x16"), Press(VK_RETURN)}));
    EXPECT_FALSE(recorder->last_changed);
    ASSERT_TRUE(Edit({Type(L"5"), Press(VK_ESCAPE)}));
    EXPECT_FALSE(recorder->last_changed);
    EXPECT_EQ(4, recorder->commits);
    EXPECT_EQ(2, handler->refreshes);
    EXPECT_EQ(L"22", Cell(last, row));

    SaveAndReopen();
    EXPECT_EQ(L"22", Cell(last, Position({L"1"})));
}

TEST_F(NumberEditorTest, OutOfRangeAndEmptyInputIsRefusedWithItsMessage)
{
    if (!Open(L"shortcuts.msi", L"Media"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    testing_support::ScriptedPrompts prompts;
    for (int i = 0; i < 4; ++i)
        prompts.answer(IDOK);
    int row = Position({L"1"});
    int last = Column(L"LastSequence");
    Focus(row, last);

    ASSERT_TRUE(Edit({Type(L"99999999999"), Press(VK_RETURN)}));
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"Out of range for a 4 byte integer", prompts.asked()[0].text);
    EXPECT_EQ(L"Invalid numeric string", prompts.asked()[0].caption);
    EXPECT_FALSE(recorder->last_changed);
    EXPECT_EQ(L"1", Cell(last, row)) << "never 2147483647";

    ASSERT_TRUE(Edit({Type(L"12abc"), Press(VK_RETURN)}));
    ASSERT_EQ(2u, prompts.asked().size());
    EXPECT_EQ(L"Invalid characters in the numeric value.", prompts.asked()[1].text);

    ASSERT_TRUE(Edit({Type(L""), Press(VK_RETURN)}));
    ASSERT_EQ(3u, prompts.asked().size());
    EXPECT_EQ(L"The field must contain a value", prompts.asked()[2].text);
    EXPECT_EQ(L"Invalid Data", prompts.asked()[2].caption);

    // A failed radix switch tells the user and leaves the dialog open, with the activation back.
    ASSERT_TRUE(Edit({Type(L"zz"),
                      [&](MsiNumericFieldEditor& editor, HWND dialog) {
                          ClickButton(dialog, 1041);
                          EXPECT_EQ(10, editor.GetRadix());
                          EXPECT_TRUE(IsWindowVisible(dialog));
                          return true;
                      },
                      Press(VK_ESCAPE)}));
    ASSERT_EQ(4u, prompts.asked().size());
    EXPECT_EQ(L"Could not convert to an integer", prompts.asked()[3].text);
    EXPECT_EQ(4, recorder->commits);
    EXPECT_EQ(0, recorder->validations);
    EXPECT_EQ(0, handler->refreshes);
    EXPECT_EQ(L"1", Cell(last, row));
}

TEST_F(NumberEditorTest, NullableColumnsTakeAndLoseValues)
{
    if (!Open(L"shortcuts.msi", L"Shortcut"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    int row = Position({L"AdvtShortcut"});
    int index = Column(L"IconIndex"); // I2, null in every row
    Focus(row, index);

    ASSERT_TRUE(Edit({Type(L""), Press(VK_RETURN)}));
    EXPECT_FALSE(recorder->last_changed) << "null stays null";
    ASSERT_TRUE(Edit({Type(L"-32768"), Press(VK_RETURN)}));
    ASSERT_EQ(1u, prompts.asked().size()) << "the installer's null marker is no value";
    EXPECT_EQ(L"Out of range for a 2 byte integer", prompts.asked()[0].text);
    ASSERT_TRUE(Edit({Type(L"-3"), Press(VK_RETURN)}));
    EXPECT_TRUE(recorder->last_changed);
    EXPECT_EQ(L"-3", Cell(index, row));
    ASSERT_TRUE(Edit({Type(L""), Press(VK_RETURN)}));
    EXPECT_TRUE(recorder->last_changed) << "emptied: null again";
    EXPECT_TRUE(Field(index, row)->is_null());
}

TEST_F(NumberEditorTest, BitFlagsComeFromTheSchemasNamedValues)
{
    if (!Open(L"shortcuts.msi", L"Component"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"ShortcutComp"});
    int attributes = Column(L"Attributes");
    Focus(row, attributes);
    gOptions.bit_flags_menu_numbers = true;

    std::vector<std::wstring> texts;
    std::vector<UINT> states;
    std::wstring after;
    ASSERT_TRUE(Edit({[&](MsiNumericFieldEditor& numeric, HWND dialog) {
                          auto* editor = dynamic_cast<MsiBitFlagsFieldEditor*>(&numeric);
                          EXPECT_TRUE(editor);
                          if (!editor)
                              return true;
                          EXPECT_EQ(L"a|b", GetWindowTextString(GetDlgItem(dialog, 1041)));
                          EXPECT_EQ(L"0x0000", EditText(dialog)) << "an attributes column shows hexadecimal";
                          HMENU menu = editor->BuildFlagsMenu(0);
                          for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                              wchar_t text[128] = {};
                              GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
                              texts.push_back(text);
                              states.push_back(GetMenuState(menu, i, MF_BYPOSITION));
                          }
                          DestroyMenu(menu);
                          editor->ApplyMenuCommand(5); // "Key path is a registry value"
                          editor->ApplyMenuCommand(2); // "Run from source": its field of two bits
                          editor->ApplyMenuCommand(5); // checked now: cleared
                          after = EditText(dialog);
                          return true;
                      },
                      Press(VK_RETURN)}));
    ASSERT_GE(texts.size(), 8u);
    EXPECT_EQ(L"Dec", texts[0]);
    EXPECT_EQ(L"Hex", texts[1]);
    EXPECT_TRUE(states[1] & MF_CHECKED) << "the radix shown";
    EXPECT_TRUE(states[2] & MF_SEPARATOR);
    EXPECT_EQ(L"Run locally\t0x0000  0", texts[3]);
    EXPECT_TRUE(states[3] & MF_CHECKED) << "0 with its mask is the value 0";
    EXPECT_TRUE(states[6] & MF_SEPARATOR) << "the named value ---";
    EXPECT_EQ(L"Key path is a registry value\t0x0004  4", texts[7]);
    EXPECT_FALSE(states[7] & MF_CHECKED);
    EXPECT_EQ(L"0x0001", after);
    EXPECT_TRUE(recorder->last_changed);
    EXPECT_EQ(L"0x0001", Cell(attributes, row));

    SaveAndReopen();
    EXPECT_EQ(1, Field(attributes, Position({L"ShortcutComp"}))->integer());
}

TEST_F(NumberEditorTest, TheFlagsMenuOpensAtItsButtonWithoutEndingTheEdit)
{
    if (!Open(L"shortcuts.msi", L"Component"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"ShortcutComp"});
    int attributes = Column(L"Attributes");
    Focus(row, attributes);

    bool menu_seen = false;
    std::wstring after;
    ASSERT_TRUE(Edit({[&](MsiNumericFieldEditor&, HWND dialog) {
                          // Opened through a posted click, so that this step returns before the menu's loop.
                          PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1041, BN_CLICKED),
                                       reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1041)));
                          return true;
                      },
                      [&](MsiNumericFieldEditor&, HWND) {
                          if (!MenuOpen())
                              return false;
                          menu_seen = true;
                          // Dec, Hex, Run locally, Run from source: the fourth entry that can be chosen.
                          for (int i = 0; i < 4; ++i)
                              PressKey(VK_DOWN, false, false, false);
                          PressKey(VK_RETURN, false, false, false);
                          return true;
                      },
                      [&](MsiNumericFieldEditor&, HWND dialog) {
                          if (MenuOpen())
                              return false;
                          after = EditText(dialog);
                          return !after.empty() && after != L"0x0000";
                      },
                      Press(VK_RETURN)}));
    EXPECT_TRUE(menu_seen);
    EXPECT_EQ(L"0x0001", after);
    EXPECT_EQ(L"0x0001", Cell(attributes, row));
}

TEST_F(NumberEditorTest, LosingTheActivationEndsTheEditExceptToItsOwnMessages)
{
    if (!Open(L"shortcuts.msi", L"Media"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int row = Position({L"1"});
    int last = Column(L"LastSequence");
    Focus(row, last);

    // A message box of the editor takes the activation from the dialog while it is shown.
    HWND dialog_seen = nullptr;
    std::vector<std::wstring> asked;
    PromptResponder previous = SetPromptResponder([&](const PromptRequest& request) {
        asked.push_back(request.text);
        if (dialog_seen)
            Deactivate(dialog_seen);
        return PromptAnswer{IDOK, {}, false};
    });
    bool open_after_message = false;
    bool ok = Edit({Type(L"abc"),
                    [&](MsiNumericFieldEditor&, HWND dialog) {
                        dialog_seen = dialog;
                        ClickButton(dialog, 1041); // "abc" does not parse: a message, the dialog stays
                        open_after_message = IsWindowVisible(dialog) != FALSE;
                        return true;
                    },
                    Type(L"7"),
                    [&](MsiNumericFieldEditor&, HWND dialog) {
                        dialog_seen = nullptr;
                        Deactivate(dialog); // the user clicked elsewhere
                        return true;
                    }});
    SetPromptResponder(previous);
    ASSERT_TRUE(ok);
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(L"Could not convert to an integer", asked[0]);
    EXPECT_TRUE(open_after_message);
    EXPECT_EQ(1, recorder->commits);
    EXPECT_TRUE(recorder->last_changed) << "losing the activation ends like OK";
    EXPECT_EQ(L"7", Cell(last, row));
}

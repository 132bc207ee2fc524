// The multi-line editor: texts of any length go through whole, and a text nobody touched comes back as it
// went in (the rich edit would hand back its line breaks as CR LF).
#include "EditorTesting.h"
#include "views/grid/MultiLineEditDlg.h"

#include <gtest/gtest.h>

using namespace grid_testing;

TEST(MultiLineEditDlg, LongTextsGoInAndComeBackWhole)
{
    ShieldNewDialogs shield;
    std::wstring text;
    for (int i = 0; text.size() < 40000; ++i)
        text += L"line " + std::to_wstring(i) + L"\r\n";
    text.resize(40000);
    std::wstring edited = text.substr(0, 39999) + L"!";
    size_t shown = 0;
    MultiLineEditDlg dialog;
    ModalDriver driver([&] {
        HWND window = FindThreadDialog(L"Multi-line Editor");
        if (!window)
            return false;
        HWND control = GetDlgItem(window, 1051);
        shown = static_cast<size_t>(GetWindowTextLengthW(control));
        SetWindowTextW(control, edited.c_str());
        SendMessageW(control, EM_SETMODIFY, TRUE, 0);
        ClickButton(window, IDOK);
        return true;
    });
    ASSERT_TRUE(dialog.DoModal(text, nullptr));
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(text.size(), shown);
    EXPECT_EQ(edited, dialog.Text());
}

TEST_F(EditorTest, OkWithoutTypingInTheMultiLineEditorChangesNothing)
{
    if (!Open(L"shortcuts.msi", L"Property"))
        GTEST_SKIP() << "shortcuts.msi is not there";
    int value = Column(L"Value");
    for (const wchar_t* text : {L"a\nb", L"a\rb"}) {
        int row = Position({L"Manufacturer"});
        lookup->CommitFieldValue(*lookup->GetFieldDef(value), lookup->GetIndexedRow(row, 0),
                                 MsiFieldDataRef(new MsiFieldData(text)), true);
        size_t logged = package->file().change_log().size();
        int commits = recorder->commits;
        Focus(row, value);
        {
            ModalDriver driver([&] {
                HWND dialog = FindThreadDialog(L"Multi-line Editor");
                if (!dialog)
                    return false;
                ClickButton(dialog, IDOK);
                return true;
            });
            PressEnter(); // a text with line breaks opens the multi-line editor
            EXPECT_TRUE(driver.finished());
        }
        EXPECT_EQ(commits + 1, recorder->commits);
        EXPECT_FALSE(recorder->last_changed) << "unchanged";
        EXPECT_EQ(text, Cell(value, Position({L"Manufacturer"})));
        EXPECT_EQ(logged, package->file().change_log().size());
    }
}

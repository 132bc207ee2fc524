#include "support/WindowTesting.h"
#include "foundation/ErrorDialog.h"
#include "foundation/Format.h"
#include "foundation/MessageTrail.h"
#include "foundation/ProcedureErrors.h"
#include "foundation/Window.h"
#include "resources/ErrorDialog_rc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace tamblewick_foundation_classes_v1_0;
using window_testing::ClickDialogButton;
using window_testing::DialogDriver;

namespace {

// The real dialog, not the seam: the test program's responder is taken away for a while.
class RealPrompts
{
public:
    RealPrompts() : previous_(SetPromptResponder(nullptr)) {}
    ~RealPrompts() { SetPromptResponder(previous_); }

private:
    PromptResponder previous_;
};

class Frame : public Window
{
public:
    Frame() : Window(L"Frame") {}
    ~Frame() override { destroy_window(window_); }
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == WM_CLOSE) {
            ++closes;
            return 0; // stays open: the test only counts
        }
        return call_previous_proc(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
    int closes = 0;
};

std::wstring dialog_text(HWND dialog)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, IDC_ERROR_TEXT, text, 512);
    return text;
}

} // namespace

TEST(ErrorDialog, ShowsTheMessageAndTrailAndIgnoresEscapeAndClose)
{
    RealPrompts real;
    Format(L"first line");
    Format(L"second %s") << L"line";
    std::wstring shown;
    int step = 0;
    bool survived_cancel = false;
    DialogDriver driver([&](HWND dialog) {
        switch (step++) {
        case 0:
            shown = dialog_text(dialog);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); // Escape
            SendMessageW(dialog, WM_CLOSE, 0, 0);                         // the close box
            return false;
        case 1:
            survived_cancel = IsWindowVisible(dialog) != FALSE;
            ClickDialogButton(dialog, IDC_ERROR_CONTINUE);
            return true;
        }
        return true;
    });
    ShowErrorDialog(nullptr, L"the error");
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(shown, L"the error\r\nfirst line\r\nsecond line\r\n");
    EXPECT_TRUE(survived_cancel);
    EXPECT_TRUE(thread_messages().empty());
}

TEST(ErrorDialog, ContinueGoesOnAndAbortClosesTheTopLevelOwner)
{
    RealPrompts real;
    Frame frame;
    frame.window_ = frame.create_window(0, window_testing::TestClassName(), L"frame", WS_OVERLAPPEDWINDOW, 0,
                                        0, 300, 200, nullptr);
    HWND pane = CreateWindowExW(0, window_testing::TestClassName(), L"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 50,
                                frame.window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    {
        DialogDriver driver([](HWND dialog) {
            ClickDialogButton(dialog, IDC_ERROR_CONTINUE);
            return true;
        });
        ShowErrorDialog(pane, L"go on");
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ(frame.closes, 0);
    {
        DialogDriver driver([](HWND dialog) {
            ClickDialogButton(dialog, IDC_ERROR_ABORT);
            return true;
        });
        ShowErrorDialog(pane, L"stop");
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ(frame.closes, 1);
    EXPECT_TRUE(IsWindow(pane));

    // A failing owned dialog: the root owner is told, not the dialog.
    HWND owned = CreateWindowExW(0, window_testing::TestClassName(), L"owned", WS_POPUP, 0, 0, 50, 50,
                                 frame.window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    {
        DialogDriver driver([](HWND dialog) {
            ClickDialogButton(dialog, IDC_ERROR_ABORT);
            return true;
        });
        ShowErrorDialog(owned, L"stop");
        EXPECT_TRUE(driver.finished());
    }
    EXPECT_EQ(frame.closes, 2);
    DestroyWindow(owned);
}

TEST(ErrorDialog, SeamAnswersAndTrailIsEmptied)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    prompts.answer(IDOK);
    Format(L"context");
    ShowErrorDialog(nullptr, L"message");
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::ErrorDialog);
    EXPECT_EQ(prompts.asked()[0].text, L"message\r\ncontext\r\n");
    EXPECT_TRUE(thread_messages().empty());

    Format(L"left over");
    ShowManageableError(nullptr, ManageableError(L"Failed to open msp file", L"StgOpenStorage failed"));
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_EQ(prompts.asked()[1].kind, PromptKind::MessageBox);
    EXPECT_EQ(prompts.asked()[1].flags, static_cast<UINT>(MB_OK));
    EXPECT_TRUE(thread_messages().empty());
}

TEST(ErrorDialog, CurrentErrorOfAnOperation)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    prompts.answer(IDOK);
    try {
        throw Win32Error(5, L"CopyFile");
    } catch (...) {
        ShowCurrentError(nullptr, L"MsiFileTab failed to validate");
    }
    try {
        throw ManageableError(L"shown plainly", L"caption");
    } catch (...) {
        ShowCurrentError(nullptr, L"MsiFileTab failed to validate");
    }
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_NE(prompts.asked()[0].text.find(L"\r\nMsiFileTab failed to validate\r\n"), std::wstring::npos);
    EXPECT_EQ(prompts.asked()[1].text, L"shown plainly");
}

#include "support/WindowTesting.h"
#include "foundation/Dialog.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "resources/ErrorDialog_rc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace tamblewick_foundation_classes_v1_0;

namespace {

constexpr UINT kProbe = WM_APP + 7;

// Any template serves: this one borrows the error dialog's.
class ProbeDlg : public Dialog
{
public:
    ProbeDlg() : Dialog(L"ProbeDlg") {}
    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        messages.push_back(message);
        if (on_message)
            return on_message(dialog, message, wparam, lparam);
        return FALSE;
    }
    std::vector<UINT> messages;
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> on_message;
};

} // namespace

TEST(DialogBinding, ModalDialogIsBoundAtItsFirstMessage)
{
    ProbeDlg dlg;
    HWND seen = nullptr;
    DialogBase* object = nullptr;
    dlg.on_message = [&](HWND dialog, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) {
            seen = dialog;
            object = Dialog::dialog_object(dialog);
            PostMessageW(dialog, kProbe, 0, 0);
            return TRUE;
        }
        if (message == kProbe)
            EndDialog(dialog, 77);
        return FALSE;
    };
    EXPECT_EQ(dlg.run_modal(IDD_ERROR_DIALOG, nullptr), 77);
    EXPECT_TRUE(seen);
    EXPECT_EQ(object, &dlg);
    ASSERT_FALSE(dlg.messages.empty());
    // Nothing the dialog manager sends before WM_INITDIALOG is lost to an unbound procedure.
    bool init = false;
    for (UINT m : dlg.messages)
        init = init || m == WM_INITDIALOG;
    EXPECT_TRUE(init);
}

TEST(DialogBinding, NotifyResultGoesThroughMsgResult)
{
    ProbeDlg dlg;
    dlg.on_message = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        return message == WM_NOTIFY ? 42 : FALSE;
    };
    HWND dialog = dlg.create_modeless(IDD_ERROR_DIALOG, nullptr);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Dialog::dialog_object(dialog), &dlg);
    NMHDR header = {dialog, 1, static_cast<UINT>(-1)};
    EXPECT_EQ(SendMessageW(dialog, WM_NOTIFY, 1, reinterpret_cast<LPARAM>(&header)), 42);
    dlg.destroy_modeless(dialog);
    EXPECT_EQ(dialog, nullptr);
}

TEST(DialogBinding, MissingTemplateThrowsAndTheNextDialogBindsItsOwnObject)
{
    ProbeDlg broken;
    EXPECT_THROW(broken.run_modal(31999, nullptr), Win32Error);
    EXPECT_THROW(broken.create_modeless(31999, nullptr), Win32Error);

    ProbeDlg next;
    HWND dialog = next.create_modeless(IDD_ERROR_DIALOG, nullptr);
    EXPECT_EQ(Dialog::dialog_object(dialog), &next);
    EXPECT_TRUE(broken.messages.empty());
    next.destroy_modeless(dialog);
}

TEST(DialogBinding, DialogMadeWithoutAPendingObjectIsLeftAlone)
{
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ERROR_DIALOG), nullptr,
                                     &Dialog::initial_dialog_proc, 0);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(Dialog::dialog_object(dialog), nullptr);
    SendMessageW(dialog, WM_COMMAND, IDC_ERROR_ABORT, 0);
    DestroyWindow(dialog);
}

TEST(DialogErrors, ExceptionIsShownAndTheDialogGoesOn)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    ProbeDlg dlg;
    dlg.on_message = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == kProbe)
            throw Win32Error(87, L"SetDlgItemText");
        return FALSE;
    };
    HWND dialog = dlg.create_modeless(IDD_ERROR_DIALOG, nullptr);
    EXPECT_EQ(SendMessageW(dialog, kProbe, 5, -1), 0);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_NE(prompts.asked()[0].text.find(L"\r\nProbeDlg failed to process message 32775 with params 5, -1"),
              std::wstring::npos);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(thread_messages().empty());
    dlg.destroy_modeless(dialog);
}

// The validate key of the document tabs: F7 on a database tab and on a transform tab runs the chosen
// profile as a job, the messages fill the pane and colour the cells they name.
#include "validation/ValidationTesting.h"
#include "validation/ValidationWindow.h"

#include "resources/ShellIds.h"
#include "resources/ValidationIds.h"
#include "shell/DialogDriver.h"
#include "shell/MsiTransformTab.h"
#include "shell/PackageTesting.h"
#include "shell/ShellTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>

using namespace shell_testing;
using namespace validation_testing;

namespace {

// Presses F7 as the frame's loop would, choosing the profile in the file selection dialog, and waits for
// the job to end.
void PressF7(MainWindow& frame, HWND tab_window)
{
    int shown = 0;
    DialogDriver driver([&] {
        HWND dialog = FindDialog(L"Select Files to Validate");
        if (!dialog)
            return false;
        ++shown;
        HWND combo = GetDlgItem(dialog, IDC_FILES_PROFILE);
        SendMessageW(combo, CB_SETCURSEL,
                     SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(L"Test suite")),
                     0);
        PressButton(dialog, IDOK);
        return true;
    });
    MSG key = {};
    key.hwnd = tab_window;
    key.message = WM_KEYDOWN;
    key.wParam = VK_F7;
    frame.ProcessMessage(key);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(PumpUntil([&] { return !frame.GetJobRunner().IsRunning(); }, 60000));
}

} // namespace

TEST(ValidateCommand, F7OnADatabaseTabAndOnATransformTabFillsThePaneAndColoursCells)
{
    std::wstring suite = TestCubPath(L"TestSuite.cub");
    if (suite.empty())
        GTEST_SKIP() << "the test ICE suites were not built";
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"Validated.msi");
    BuildTestPackage(path);
    StoreProfile(L"Test suite", {{suite, false, {L"TSTICE01"}}});

    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    frame->SetTransformFactory(&MsiTransformTab::Make);
    MoveWindow(frame->GetWindowHandle(), 20, 20, 960, 700, TRUE);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(nullptr, tab);
    ValidationWindow& pane = frame->GetLogTabs().Validation();
    const FindCriteria product_code(path, L"Property", L"Value", {L"ProductCode"});

    PressF7(frame.frame(), tab->GetWindowHandle());
    EXPECT_GE(ListView_GetItemCount(pane.GetListWindow()), 2);
    EXPECT_EQ(ValidationStore::kError, pane.GetRowValidationInfo(product_code));

    {
        testing_support::ScriptedPrompts prompts;
        PromptAnswer answer;
        answer.paths = {folder.file(L"t.mst")};
        prompts.answer(answer);
        tab->OnCommand(nullptr, ID_TRANSFORM_NEW);
    }
    auto* transform = dynamic_cast<MsiTransformTab*>(frame->GetTabs().CurrentTab());
    ASSERT_NE(nullptr, transform);
    pane.Clear();
    EXPECT_EQ(0, ListView_GetItemCount(pane.GetListWindow()));
    PressF7(frame.frame(), transform->GetWindowHandle());
    EXPECT_GE(ListView_GetItemCount(pane.GetListWindow()), 2);
    // The transform tab answers the base's path: the same cell is coloured there.
    EXPECT_EQ(ValidationStore::kError, pane.GetRowValidationInfo(product_code));
    SaveScreenshot(frame->GetWindowHandle(), L"validation-transform-tab.png");
}

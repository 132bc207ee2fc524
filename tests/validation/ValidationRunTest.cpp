// A validation run as the validate command makes it: the documents and the profile chosen in the file
// selection dialog, the validator run as a job of the frame, the results in the file, the pane and the
// colours of the cells they name.
#include "validation/MsiValidator.h"
#include "validation/ValidationFilesDlg.h"
#include "validation/ValidationTesting.h"
#include "validation/ValidationWindow.h"

#include "foundation/RegKey.h"
#include "foundation/WindowText.h"
#include "resources/ValidationIds.h"
#include "shell/DialogDriver.h"
#include "shell/PackageTesting.h"
#include "shell/ShellTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>

using namespace shell_testing;
using namespace validation_testing;

TEST(ValidationRun, TheChosenProfilesMessagesReachTheFileAndThePaneAndColourTheirCells)
{
    std::wstring suite = TestCubPath(L"TestSuite.cub");
    if (suite.empty())
        GTEST_SKIP() << "the test ICE suites were not built";
    testing_support::ScratchFolder folder;
    std::wstring path = folder.file(L"Validated.msi");
    BuildTestPackage(path);
    StoreProfile(L"Another", {{suite, false, {L"TSTICE02"}}});
    StoreProfile(L"Test suite", {{suite, true, {L"TSTICE01"}}});

    DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
    MoveWindow(frame->GetWindowHandle(), 20, 20, 960, 700, TRUE);
    MsiFileTab* tab = frame.current();
    ASSERT_NE(nullptr, tab);

    // The file selection dialog, worked as the validate command shows it.
    ValidationFilesDlg files({tab}, {tab});
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);
    DialogDriver driver([&] {
        HWND dialog = FindDialog(L"Select Files to Validate");
        if (!dialog)
            return false;
        SaveScreenshot(dialog, L"validation-files.png");
        // Without a profile OK stays.
        SendDlgItemMessageW(dialog, IDC_FILES_PROFILE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        PressButton(dialog, IDOK);
        ChooseProfile(dialog, L"Test suite");
        PressButton(dialog, IDOK);
        return true;
    });
    ASSERT_TRUE(files.DoModal(frame->GetWindowHandle()));
    ASSERT_EQ(std::vector<EditableMsiFileTab*>{tab}, files.Chosen());
    ASSERT_EQ(1u, prompts.asked().size());
    EXPECT_EQ(L"No profile selected", prompts.asked()[0].caption);
    tfc::RegKey profiles;
    ASSERT_TRUE(profiles.open(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath()));
    EXPECT_EQ(L"Test suite", profiles.query_string(L"LastUsedProfile"));

    ValidationWindow& pane = frame->GetLogTabs().Validation();
    pane.Clear();
    std::wstring results = folder.file(L"results.txt");
    auto validator =
        std::make_shared<MsiValidator>(results, &frame->GetProgressWindow(), &pane,
                                       MsiValidator::DocumentsOf(files.Chosen()), files.Profile());
    // The validate command shows the results pane before it starts the job.
    SendMessageW(frame->GetLogTabs().GetWindowHandle(), TCM_SETCURSEL, 1, 0);
    frame->GetLogTabs().OnSelectionChange();
    ASSERT_TRUE(frame->RunTasks({validator}, &frame.frame(), true));
    ASSERT_TRUE(PumpUntil([&] { return !frame->GetJobRunner().IsRunning(); }, 60000));
    EXPECT_EQ(L"", validator->ErrorText());

    // UTF-16LE without a byte-order mark, quotes made single, line breaks escaped, each line ended by CR LF.
    std::wstring expected = L"TSTICE01\t1\tProductCode is not a GUID\thttp://help/tstice01\tProperty\tValue\t"
                            L"ProductCode\r\n"
                            L"TSTICE01\t2\tThe 'ProductName' is\\r\\ntoo long\t\tProperty\t\tProductName\r\n"
                            L"TSTICE01\t3\tTSTICE01 ran\r\n"
                            L"TSTICE01\t3\tFile name: Validated.msi\r\n"
                            L"TSTICE01\t3\tFull path: " +
                            path + L"\r\n";
    std::vector<BYTE> bytes;
    for (wchar_t c : expected) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    EXPECT_EQ(bytes, testing_support::ReadFileBytes(results));

    // The pane lists the same messages, in order.
    HWND list = pane.GetListWindow();
    std::vector<std::wstring> rows;
    for (int i = 0; i < ListView_GetItemCount(list); ++i)
        rows.push_back(GetListViewItemText(list, i, 1) + L"|" + GetListViewItemText(list, i, 3) + L"|" +
                       GetListViewItemText(list, i, 8));
    EXPECT_EQ((std::vector<std::wstring>{L"TSTICE01|ProductCode is not a GUID|" + suite,
                                         L"TSTICE01|The 'ProductName' is\\r\\ntoo long|" + suite,
                                         L"TSTICE01|TSTICE01 ran|" + suite,
                                         L"TSTICE01|File name: Validated.msi|" + suite,
                                         L"TSTICE01|Full path: " + path + L"|" + suite}),
              rows);

    // The error colours its cell only, the warning its whole row.
    struct Cell
    {
        const wchar_t* column;
        const wchar_t* key;
        unsigned bits;
    };
    const Cell cells[] = {{L"Value", L"ProductCode", ValidationStore::kError},
                          {L"Property", L"ProductCode", 0},
                          {L"Value", L"ProductName", ValidationStore::kWarning},
                          {L"Value", L"Manufacturer", 0}};
    for (const Cell& cell : cells)
        EXPECT_EQ(cell.bits,
                  pane.GetRowValidationInfo(FindCriteria(path, L"Property", cell.column, {cell.key})))
            << cell.column << " " << cell.key;

    // Jumping to the first message shows its cell in the table.
    pane.GoToMessage(0, true);
    PumpPending();
    SaveScreenshot(frame->GetWindowHandle(), L"validation-run.png");
}

TEST(ValidationRun, EveryTickedRealPackageIsValidatedInOneRunUnderItsOwnPath)
{
    std::wstring suite = TestCubPath(L"TestSuite.cub");
    std::vector<std::wstring> paths = {testing_support::TestDataPath(L"shortcuts.msi"),
                                       testing_support::TestDataPath(L"MergeModule1.msm")};
    if (suite.empty() || paths[0].empty())
        GTEST_SKIP() << "no test ICE suites or no shared packages";
    StoreProfile(L"Test suite", {{suite, false, {L"TSTICE01"}}});
    DatabaseFrame frame;
    frame->OpenFiles(paths, false);
    std::vector<EditableMsiFileTab*> tabs;
    for (const auto& document : frame->GetTabs().Documents())
        tabs.push_back(dynamic_cast<EditableMsiFileTab*>(document.get()));
    ASSERT_EQ(2u, tabs.size());

    // Only the current document is ticked at first: Select All ticks the other.
    ValidationFilesDlg files(tabs, {tabs[1]});
    DialogDriver driver([&] {
        HWND dialog = FindDialog(L"Select Files to Validate");
        if (!dialog)
            return false;
        PressButton(dialog, IDC_FILES_SELECT_ALL);
        ChooseProfile(dialog, L"Test suite");
        PressButton(dialog, IDOK);
        return true;
    });
    ASSERT_TRUE(files.DoModal(frame->GetWindowHandle()));
    ASSERT_EQ(2u, files.Chosen().size());

    ValidationWindow& pane = frame->GetLogTabs().Validation();
    testing_support::ScratchFolder folder;
    auto validator =
        std::make_shared<MsiValidator>(folder.file(L"results.txt"), &frame->GetProgressWindow(), &pane,
                                       MsiValidator::DocumentsOf(files.Chosen()), files.Profile());
    ASSERT_TRUE(frame->RunTasks({validator}, &frame.frame(), true));
    ASSERT_TRUE(PumpUntil([&] { return !frame->GetJobRunner().IsRunning(); }, 60000));
    EXPECT_EQ(L"", validator->ErrorText());
    EXPECT_EQ(4, ListView_GetItemCount(pane.GetListWindow()));
    for (const std::wstring& path : paths) {
        EXPECT_EQ(ValidationStore::kError,
                  pane.GetRowValidationInfo(FindCriteria(path, L"Property", L"Value", {L"ProductCode"})))
            << path.c_str();
    }
}

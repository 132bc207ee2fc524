// The validate key of the document tabs: F7 on a database tab and on a transform tab runs the chosen
// profile as a job, the messages fill the pane and colour the cells they name.
#include "validation/ValidationTesting.h"
#include "validation/MsiValidator.h"
#include "validation/ValidationWindow.h"

#include "foundation/RegKey.h"
#include "foundation/TempFiles.h"

#include "resources/ShellIds.h"
#include "resources/ValidationIds.h"
#include "shell/DialogDriver.h"
#include "shell/MsiTransformTab.h"
#include "shell/PackageTesting.h"
#include "shell/ShellTesting.h"
#include "support/TestSupport.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <set>

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
        ChooseProfile(dialog, L"Test suite");
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

namespace {

// Points this process's temporary folder at one of its own while it lives: other test programs run
// alongside in the same prefix, and their files must not count as this run's leftovers.
class PrivateTempFolder
{
public:
    PrivateTempFolder() : tmp_(Get(L"TMP")), temp_(Get(L"TEMP"))
    {
        wchar_t base[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, base);
        std::wstring folder =
            std::wstring(base, length) + L"ValidateRun" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
    }
    ~PrivateTempFolder()
    {
        SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
    }

private:
    static std::wstring Get(const wchar_t* name)
    {
        wchar_t value[MAX_PATH + 1];
        DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH + 1);
        return length > 0 && length <= MAX_PATH ? std::wstring(value, length) : std::wstring();
    }
    std::wstring tmp_;
    std::wstring temp_;
};

// The temporary files of the program's folder.
std::set<std::wstring> TempFolderFiles()
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((GlobalTempFiles().GetFolder() + L"\\*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.insert(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

} // namespace

TEST(ValidateCommand, F7OnRealPackagesRunsASuiteChosenInTheProfileDialog)
{
    std::wstring suite64 = TestCubPath(L"TestSuite.cub");
    std::wstring suite32 = TestCubPath(L"TestSuite32.cub");
    if (suite64.empty() || testing_support::TestDataPath(L"shortcuts.msi").empty())
        GTEST_SKIP() << "no test ICE suites or no shared packages";
    struct Case
    {
        const wchar_t* package;
        std::wstring suite;
        int rows; // without a Property table the two ICE03 lines about it are dropped
        bool has_property;
    };
    // Sequence tables and a Property table; a Binary table with a stream and a CustomAction table of a
    // later version (ExtendedType), both of which the suite brings too. The 32-bit suite lists its
    // messages where the installer can run it, and a line for each ICE that could not start elsewhere.
    bool runs32 = RunsThirtyTwoBitIces();
    const Case cases[] = {{L"shortcuts.msi", suite64, 5, true},
                          {L"MergeModule1.msm", suite64, 3, false},
                          {L"shortcuts.msi", suite32, runs32 ? 5 : 2, true}};
    for (const Case& test : cases) {
        SCOPED_TRACE(testing::Message() << test.package << " " << test.suite.c_str());
        const std::wstring& suite = test.suite;
        bool ices_ran = suite == suite64 || runs32;
        std::wstring path = testing_support::TestDataPath(test.package);
        tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
        PrivateTempFolder temp_folder;
        DatabaseFrame frame(L"Dravnetta.exe \"" + path + L"\"");
        MoveWindow(frame->GetWindowHandle(), 20, 20, 960, 700, TRUE);
        MsiFileTab* tab = frame.current();
        ASSERT_NE(nullptr, tab);
        ValidationWindow& pane = frame->GetLogTabs().Validation();
        std::set<std::wstring> files_before = TempFolderFiles();

        // No profile yet: the file selection dialog opens the profile dialog, where the suite is browsed
        // for, ticked and given two of its ICEs.
        testing_support::ScriptedPrompts prompts;
        PromptAnswer browsed;
        browsed.paths = {suite};
        prompts.answer(browsed);
        int stage = 0;
        DialogDriver driver([&] {
            HWND profile = FindDialog(L"Validation Profile");
            HWND files = FindDialog(L"Select Files to Validate");
            if (stage == 0 && profile) {
                PressButton(profile, IDC_PROFILE_BROWSE);
                HWND cubs = GetDlgItem(profile, IDC_PROFILE_CUBS);
                if (ListView_GetItemCount(cubs) != 1)
                    return false;
                ListView_SetCheckState(cubs, 0, TRUE);
                ListView_SetItemState(cubs, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
                HWND ices = GetDlgItem(profile, IDC_PROFILE_ICES);
                SendMessageW(ices, LB_SETSEL, FALSE, -1);
                for (int ice : {0, 2}) // TSTICE01, TSTICE03
                    SendMessageW(ices, LB_SETSEL, TRUE, ice);
                PressButton(profile, IDOK);
                stage = 1;
            } else if (stage == 1 && files && !profile) {
                PressButton(files, IDOK);
                return true;
            }
            return false;
        });
        MSG key = {};
        key.hwnd = tab->GetWindowHandle();
        key.message = WM_KEYDOWN;
        key.wParam = VK_F7;
        frame.frame().ProcessMessage(key);
        HWND progress = frame->GetProgressWindow().GetWindowHandle();
        bool progress_shown = false;
        ASSERT_TRUE(PumpUntil(
            [&] {
                progress_shown |= progress && IsWindowVisible(progress);
                return !frame->GetJobRunner().IsRunning();
            },
            60000));
        ASSERT_EQ(1u, prompts.asked().size()) << "only the browse for the cub was asked";
        EXPECT_EQ(PromptKind::OpenFiles, prompts.asked()[0].kind);
        ASSERT_EQ(1u, frame->GetJobRunner().GetTasks().size());
        auto validator = std::dynamic_pointer_cast<MsiValidator>(frame->GetJobRunner().GetTasks()[0]);
        ASSERT_TRUE(validator);
        EXPECT_EQ(L"", validator->ErrorText());
        EXPECT_TRUE(progress_shown);
        EXPECT_FALSE(IsWindowVisible(progress));

        EXPECT_EQ(test.rows, ListView_GetItemCount(pane.GetListWindow()));
        if (ices_ran) {
            EXPECT_EQ(ValidationStore::kError,
                      pane.GetRowValidationInfo(FindCriteria(path, L"Property", L"Value", {L"ProductCode"})));
            EXPECT_EQ(ValidationStore::kWarning,
                      pane.GetRowValidationInfo(FindCriteria(path, L"Property", L"Value", {L"ProductName"})));
        }

        // What the run made and still keeps: the results file and the copy of the package; the merged
        // copy and the suite's streams are gone.
        std::set<std::wstring> kept;
        for (const std::wstring& file : TempFolderFiles())
            if (!files_before.count(file))
                kept.insert(file);
        auto name_of = [](const std::wstring& file) { return file.substr(file.find_last_of(L'\\') + 1); };
        EXPECT_EQ((std::set<std::wstring>{name_of(tab->GetTempFiles().FindPath(L"Validation")),
                                          name_of(validator->CopyPath(0))}),
                  kept);

        // A double-click on the first message goes to its table.
        if (!test.has_property || !ices_ran)
            continue;
        HWND list = pane.GetListWindow();
        NMITEMACTIVATE click = {};
        click.hdr.hwndFrom = list;
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(list));
        click.hdr.code = NM_DBLCLK;
        click.iItem = 0;
        SendMessageW(GetParent(list), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
        PumpPending();
        EXPECT_EQ(tab->FindTableNode(L"Property"), tab->GetTablesTree()->GetSelectedNode());
    }
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
}

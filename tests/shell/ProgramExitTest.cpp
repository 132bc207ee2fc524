// The program itself, started as a user starts it with its settings under a scratch key: options changed
// in the Options sheet are stored when it exits, and only then.
#include "support/TestSupport.h"
#include "support/WindowTesting.h"

#include "foundation/RegKey.h"
#include "resources/NewFileOptionsIds.h"
#include "resources/ShellIds.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <prsht.h>

using tamblewick_foundation_classes_v1_0::RegKey;
using testing_support::ScratchRegistryKey;
using window_testing::PumpUntil;

namespace {

struct Search
{
    const wchar_t* class_name;
    const wchar_t* title; // null: any
    HWND found = nullptr;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    wchar_t class_name[64] = {}, title[128] = {};
    GetClassNameW(window, class_name, 64);
    GetWindowTextW(window, title, 128);
    if (IsWindowVisible(window) && lstrcmpW(class_name, search->class_name) == 0 &&
        (!search->title || lstrcmpW(title, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// One run of Dravnetta.exe with DRAVNETTA_SETTINGS_KEY pointing at the scratch key.
class ProgramRun
{
public:
    explicit ProgramRun(const std::wstring& settings_key)
    {
        std::wstring exe = testing_support::BuildPath(L"Dravnetta.exe");
        std::wstring command = L"\"" + exe + L"\"";
        // The child inherits the variable; this program's own value comes back after.
        wchar_t own[512] = {};
        DWORD own_length = GetEnvironmentVariableW(L"DRAVNETTA_SETTINGS_KEY", own, 512);
        SetEnvironmentVariableW(L"DRAVNETTA_SETTINGS_KEY", settings_key.c_str());
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_);
        SetEnvironmentVariableW(L"DRAVNETTA_SETTINGS_KEY", own_length ? own : nullptr);
        if (started_)
            PumpUntil([&] { return (frame_ = Find(L"Tamblewick_MainWindow", nullptr)) != nullptr; }, 30000);
    }
    ~ProgramRun()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    HWND frame() const { return frame_; }
    HWND Find(const wchar_t* class_name, const wchar_t* title) const
    {
        Search search{class_name, title};
        EnumThreadWindows(process_.dwThreadId, &VisitWindow, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    // Tools > Options: the sheet, or null when it did not come.
    HWND OpenOptions() const
    {
        PostMessageW(frame_, WM_COMMAND, ID_TOOLS_OPTIONS, 0);
        HWND sheet = nullptr;
        PumpUntil([&] { return (sheet = Find(L"#32770", L"Options")) != nullptr; }, 10000);
        return sheet;
    }
    HWND ShowPage(HWND sheet, int index) const
    {
        SendMessageW(sheet, PSM_SETCURSEL, index, 0);
        return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    }
    // File > Exit's way out: the frame closes and the process ends by itself.
    bool Exit() const
    {
        PostMessageW(frame_, WM_CLOSE, 0, 0);
        return PumpUntil([&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, 30000);
    }

private:
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
    HWND frame_ = nullptr;
};

} // namespace

TEST(ProgramExit, OptionsChangedInTheSheetAreStoredWhenTheProgramExits)
{
    if (GetFileAttributesW(testing_support::BuildPath(L"Dravnetta.exe").c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "Dravnetta.exe is not built";
    ScratchRegistryKey scratch;
    {
        ProgramRun run(scratch.path());
        ASSERT_TRUE(run.frame());
        HWND sheet = run.OpenOptions();
        ASSERT_TRUE(sheet);
        HWND save = run.ShowPage(sheet, 0);
        SendMessageW(GetDlgItem(save, IDC_SAVE_BY_CUSTOM_NAME), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(save, IDC_SAVE_CUSTOM_NAME), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"Release Builder"));
        HWND load = run.ShowPage(sheet, 1);
        SendMessageW(GetDlgItem(load, IDC_LOAD_THRESHOLD), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"345"));
        SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        EXPECT_TRUE(PumpUntil([&] { return !run.Find(L"#32770", L"Options"); }, 10000));
        RegKey probe;
        EXPECT_FALSE(probe.open(HKEY_CURRENT_USER, scratch.path() + L"\\Options") &&
                     probe.value_exists(L"SI_SAVE_NAME"))
            << "written only at exit";
        ASSERT_TRUE(run.Exit());
    }
    RegKey options;
    ASSERT_TRUE(options.open(HKEY_CURRENT_USER, scratch.path() + L"\\Options"));
    EXPECT_EQ(options.query_string(L"SI_STATE_ON_SAVE"), L"custom_name");
    EXPECT_EQ(options.query_string(L"SI_SAVE_NAME"), L"Release Builder");
    EXPECT_EQ(options.query_dword(L"REFERENCE_TRACKING_ROW_THRESHOLD"), 345u);
    EXPECT_EQ(options.query_dword(L"COLOR_FOCUSED_END"), 0x3C96F0FFu) << "the untouched values too";
}

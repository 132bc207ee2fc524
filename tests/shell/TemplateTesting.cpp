#include "TemplateTesting.h"
#include "support/TestSupport.h"

#include <msi.h>
#include <gtest/gtest.h>

namespace template_testing {
namespace {

const wchar_t kTemplatesProduct[] = L"{8FD4C150-E0A1-4D3C-A04F-6293F607AE73}";
const wchar_t kTestEntriesProduct[] = L"{F1809769-7794-484B-ACB0-99E232C38943}";

std::wstring ExistingOrEmpty(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

} // namespace

std::wstring TemplatesPackage()
{
    return ExistingOrEmpty(testing_support::BuildPath(L"templates\\DravnettaTemplates.msi"));
}

std::wstring TestEntriesPackage()
{
    return ExistingOrEmpty(testing_support::BuildPath(L"templates-test\\TemplateTestEntries.msi"));
}

int RunMsiexec(const std::wstring& arguments)
{
    std::wstring command = L"msiexec.exe " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "msiexec could not start: " << GetLastError();
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        ADD_FAILURE() << "msiexec did not end";
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

bool InstallTemplates()
{
    // A run that ended early may have left them installed.
    RemoveTemplates();
    for (const std::wstring& package : {TemplatesPackage(), TestEntriesPackage()}) {
        int code = RunMsiexec(L"/qn /i \"" + package + L"\"");
        if (code != 0) {
            ADD_FAILURE() << "installing the templates answered " << code;
            return false;
        }
    }
    return true;
}

void RemoveTemplates()
{
    for (const wchar_t* product : {kTestEntriesProduct, kTemplatesProduct}) {
        if (MsiQueryProductStateW(product) != INSTALLSTATE_DEFAULT)
            continue;
        int code = RunMsiexec(std::wstring(L"/qn /x ") + product);
        EXPECT_NE(MsiQueryProductStateW(product), INSTALLSTATE_DEFAULT) << "removing answered " << code;
    }
}

std::wstring InstalledTestEntry(const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    ExpandEnvironmentStringsW(L"%ProgramW6432%", folder, MAX_PATH);
    return std::wstring(folder) + L"\\Dravnetta Template Tests\\" + name;
}

StepDriver::StepDriver(std::vector<Step> steps)
    : steps_(std::move(steps)), driver_([this](HWND dialog) {
          if (done_ < steps_.size() && steps_[done_](dialog))
              ++done_;
          return done_ >= steps_.size();
      })
{
}

std::vector<std::wstring> ListTexts(HWND list)
{
    std::vector<std::wstring> texts;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
        text.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0])));
        texts.push_back(text);
    }
    return texts;
}

std::vector<std::wstring> ComboTexts(HWND combo)
{
    std::vector<std::wstring> texts;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring text(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        text.resize(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0])));
        texts.push_back(text);
    }
    return texts;
}

void Click(HWND dialog, int id)
{
    window_testing::ClickDialogButton(dialog, id);
}

void SaveScreenshot(HWND window, const std::wstring& name)
{
    window_testing::SaveScreenshot(window, testing_support::BuildPath(name));
}

} // namespace template_testing

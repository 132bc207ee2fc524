#include "TemplateTesting.h"
#include "support/TestSupport.h"

#include <gdiplus.h>
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

std::vector<StepDriver::Step> g_steps;
size_t g_done = 0;

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD)
{
    static bool running = false;
    if (running || g_done >= g_steps.size())
        return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog)
        return;
    // A step may pump messages (a click that ends the loop); no tick may start another meanwhile.
    running = true;
    if (g_steps[g_done](dialog))
        ++g_done;
    running = false;
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
{
    g_steps = std::move(steps);
    g_done = 0;
    timer_ = SetTimer(nullptr, 0, 20, &Drive);
}

StepDriver::~StepDriver()
{
    KillTimer(nullptr, timer_);
    g_steps.clear();
}

size_t StepDriver::done() const
{
    return g_done;
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
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void SaveScreenshot(HWND window, const std::wstring& name)
{
    static ULONG_PTR token = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR started = 0;
        Gdiplus::GdiplusStartup(&started, &input, nullptr);
        return started;
    }();
    (void)token;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT rect = {};
    GetWindowRect(window, &rect);
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        std::wstring path = testing_support::BuildPath(name);
        // Written beside and moved in place, so that a reader never sees half a file.
        std::wstring partial = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
        EXPECT_EQ(Gdiplus::Ok, image.Save(partial.c_str(), &png, nullptr));
        EXPECT_TRUE(MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace template_testing

#pragma once
// What a benchmark with windows needs around it, as the program's start-up has it: settings in a scratch
// key (gone at the end), prompts printed, COM, the common controls and GDI+.
#include "BenchSupport.h"
#include "foundation/SettingsKey.h"
#include "views/grid/CreateFieldEditor.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>
#include <string>

namespace bench {

class WindowedRun
{
public:
    WindowedRun() : settings_(L"Software\\DravnettaBench\\Settings" + std::to_wstring(GetCurrentProcessId()))
    {
        SetSettingsKeyPath(settings_);
        PrintPrompts();
        CoInitialize(nullptr);
        INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                         ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&gdiplus_, &input, nullptr);
        InstallFieldEditorFactory();
    }
    ~WindowedRun()
    {
        Gdiplus::GdiplusShutdown(gdiplus_);
        CoUninitialize();
        RegDeleteTreeW(HKEY_CURRENT_USER, settings_.c_str());
    }
    WindowedRun(const WindowedRun&) = delete;
    WindowedRun& operator=(const WindowedRun&) = delete;

private:
    std::wstring settings_;
    ULONG_PTR gdiplus_ = 0;
};

} // namespace bench

#pragma once
// Our template packages installed into this test program's own Wine prefix with msiexec, a driver for
// modal dialogs and property sheets worked from a timer, and screenshots of windows.
#include "support/WindowTesting.h"

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

namespace template_testing {

// The packages built beside the test programs; empty when the build made none.
std::wstring TemplatesPackage();
std::wstring TestEntriesPackage();
// msiexec's exit code; a run that does not end within two minutes fails the test and answers -1.
int RunMsiexec(const std::wstring& arguments);
// Installs both packages; false (with a test failure) when either fails.
bool InstallTemplates();
// Removes both products, installed or not.
void RemoveTemplates();
// Where the test package put a file of its own.
std::wstring InstalledTestEntry(const std::wstring& name);

// Runs one step on each timer tick while a modal loop runs, with this thread's top-level dialog box
// (a "#32770" window, property sheets too); a step that answers false is asked again next tick.
class StepDriver
{
public:
    using Step = std::function<bool(HWND dialog)>;
    explicit StepDriver(std::vector<Step> steps);
    StepDriver(const StepDriver&) = delete;
    StepDriver& operator=(const StepDriver&) = delete;
    // Steps that ran to the end.
    size_t done() const { return done_; }

private:
    std::vector<Step> steps_;
    size_t done_ = 0;
    window_testing::DialogDriver driver_;
};

// The texts of a list box or a combo box.
std::vector<std::wstring> ListTexts(HWND list);
std::vector<std::wstring> ComboTexts(HWND combo);
// A click as the button itself reports it.
void Click(HWND dialog, int id);
// The window as it shows on screen, as a PNG in the build folder.
void SaveScreenshot(HWND window, const std::wstring& name);

} // namespace template_testing

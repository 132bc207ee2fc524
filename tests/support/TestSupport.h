#pragma once
// Helpers every test program shares: shared test data, scratch registry keys and folders, scripted prompts.
#include "foundation/Prompt.h"

#include <windows.h>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Path of a file under ../shared/ (a Windows path), or empty when the folder is absent.
std::wstring SharedPath(const std::wstring& relative);
// Path of ../shared/testdata/NAME; empty when absent (tests then GTEST_SKIP).
std::wstring TestDataPath(const std::wstring& name);
// Calls test with each sample package of the shared test data found (three writers' packages), under a
// trace naming it; returns how many were found (none: the test skips).
int ForEachSamplePackage(const std::function<void(const std::wstring& name, const std::wstring& path)>& test);
// The build folder (for screenshots and generated files), a Windows path.
std::wstring BuildPath(const std::wstring& relative);

// A key under HKCU\Software\DravnettaTests made for one test and deleted with everything below it.
class ScratchRegistryKey
{
public:
    ScratchRegistryKey();
    ~ScratchRegistryKey();
    ScratchRegistryKey(const ScratchRegistryKey&) = delete;
    ScratchRegistryKey& operator=(const ScratchRegistryKey&) = delete;
    const std::wstring& path() const { return path_; }
    HKEY key() const { return key_; }

private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

// A fresh folder under the temporary folder, deleted with its files.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }
    // Copies a file in (for example a shared test package, which must never be written).
    std::wstring copy_in(const std::wstring& source, const std::wstring& name) const;

private:
    std::wstring path_;
};

// Answers prompts from a script and records what was asked; an unscripted prompt fails the test.
class ScriptedPrompts
{
public:
    ScriptedPrompts();
    ~ScriptedPrompts();
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    void answer(int result);
    void answer(PromptAnswer answer);
    const std::vector<PromptRequest>& asked() const { return asked_; }

private:
    PromptResponder previous_;
    std::deque<PromptAnswer> answers_;
    std::vector<PromptRequest> asked_;
};

std::vector<BYTE> ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes);

// The Unix name of a path under Wine; empty elsewhere.
std::string UnixPath(const std::wstring& path);
// Runs a /bin/sh script (Wine's Unix side) and waits for it, bounded; false (a failure added) when it
// did not start or end. The folder gets the script and an end mark, both removed.
bool RunUnixScript(const std::wstring& folder, const std::string& script);

} // namespace testing_support

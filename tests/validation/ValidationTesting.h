#pragma once
// Helpers of the validation tests: the test ICE suites, small packages, profiles stored under the test
// settings key, and running a validator as a job.
#include "foundation/JobRunner.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>

namespace validation_testing {

// The suites built with the tests: "TestSuite.cub" (TSTICE01 to TSTICE05), "TestSuite2.cub"
// (TSTICE03, TSTICE01) and "TestSuite32.cub" (the first with its DLL built for 32 bits). Empty when the
// build made none (tests then skip).
std::wstring TestCubPath(const std::wstring& name);

// Whether the installer has its 32-bit server here, which runs the ICEs of a 32-bit suite.
bool RunsThirtyTwoBitIces();

// A package the installer opens: a Property table (when asked) with ProductCode and ProductName, and
// summary information with a package code (when asked).
void BuildTestPackage(const std::wstring& path, bool property_table = true, bool package_code = true);

// A suite of one ICE, TSTICE01, made of the SQL given after its _ICESequence table; `dll_bytes`, when not
// empty, is its Binary row IceDll of a CustomAction TSTICE01 (type 1, entry TstIce01).
void BuildCub(const std::wstring& path, const std::vector<std::wstring>& sql, const std::string& dll_bytes);

struct StoredCub
{
    std::wstring name; // the default value: a path or an installed cub's name
    bool show_info = false;
    std::vector<std::wstring> ices;
};
// Writes a profile's key as the profile dialog saves it.
void StoreProfile(const std::wstring& profile, const std::vector<StoredCub>& cubs);
bool ProfileKeyExists(const std::wstring& profile);

// Tests of stored profiles: `suite_` is TestSuite.cub (they skip without it); the profiles go after each.
class StoredProfilesTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring suite_;
};

// The results file as text (UTF-16LE without a byte-order mark).
std::wstring ReadUtf16File(const std::wstring& path);
// The lines of a text ending each in CR LF, without their ends.
std::vector<std::wstring> SplitLines(const std::wstring& text);
// Picks a profile by name in the Select Files to Validate dialog.
void ChooseProfile(HWND dialog, const wchar_t* profile);

// Runs the task on a worker as the validate command does and pumps messages until the job has ended.
// False when it did not end in time.
bool RunJob(const std::shared_ptr<Task>& task, DWORD timeout_ms = 60000);

} // namespace validation_testing

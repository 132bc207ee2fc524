#pragma once
// Test seam of the installer library layer: makes a chosen call fail without reaching the library, and
// counts calls, so failure paths (a commit or an execute that fails halfway through) can be tested.
// Calls are named as in their errors, without the W: "MsiDatabaseCommit", "MsiViewExecute".
#include <windows.h>
#include <string>
#include <utility>
#include <vector>

namespace msi {

// The nth call of the function from now on (1 = the next one) answers code instead of running.
void FailCall(const std::wstring& function, unsigned nth, UINT code);
// Forgets every pending failure and stops counting.
void ClearCallFaults();
// Counting starts at 0 with StartCountingCalls; CallCount answers the calls made since.
void StartCountingCalls();
unsigned CallCount(const std::wstring& function);
// Every call since StartCountingCalls in order, with its SQL text for "MsiDatabaseOpenView".
std::vector<std::pair<std::wstring, std::wstring>> CallTrace();

// Clears pending failures and counts on both ends of a test.
class ScopedCallFaults
{
public:
    ScopedCallFaults() { ClearCallFaults(); }
    ~ScopedCallFaults() { ClearCallFaults(); }
    ScopedCallFaults(const ScopedCallFaults&) = delete;
    ScopedCallFaults& operator=(const ScopedCallFaults&) = delete;
};

namespace detail {
// Called by every wrapper before it runs the call: true with the code to answer when it must fail.
bool TakeInjectedFailure(const wchar_t* function, UINT& code, const wchar_t* detail = nullptr);
} // namespace detail

} // namespace msi

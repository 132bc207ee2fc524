#include "model/installer/MsiCallFaults.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"

#include <atomic>
#include <map>
#include <vector>

namespace msi {
namespace {

struct PendingFailure
{
    unsigned remaining; // calls still to let through, then fail
    UINT code;
};

struct CallFaults
{
    tfc::CriticalSection lock;
    std::map<std::wstring, std::vector<PendingFailure>> pending;
    std::map<std::wstring, unsigned> counts;
    std::vector<std::pair<std::wstring, std::wstring>> trace;
};

CallFaults& faults()
{
    static CallFaults instance;
    return instance;
}

// Most runs arm nothing: one atomic read keeps the wrappers cheap then.
std::atomic<bool> gArmed{false};
std::atomic<bool> gCounting{false};

} // namespace

void FailCall(const std::wstring& function, unsigned nth, UINT code)
{
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    state.pending[function].push_back(PendingFailure{nth > 0 ? nth - 1 : 0, code});
    gArmed = true;
}

void ClearCallFaults()
{
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    state.pending.clear();
    state.counts.clear();
    state.trace.clear();
    gArmed = false;
    gCounting = false;
}

void StartCountingCalls()
{
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    state.counts.clear();
    state.trace.clear();
    gCounting = true;
}

unsigned CallCount(const std::wstring& function)
{
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    auto found = state.counts.find(function);
    return found == state.counts.end() ? 0 : found->second;
}

std::vector<std::pair<std::wstring, std::wstring>> CallTrace()
{
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    return state.trace;
}

namespace detail {

bool TakeInjectedFailure(const wchar_t* function, UINT& code, const wchar_t* detail)
{
    if (!gArmed && !gCounting)
        return false;
    CallFaults& state = faults();
    tfc::CriticalSectionLock hold(state.lock);
    if (gCounting) {
        ++state.counts[function];
        state.trace.emplace_back(function, detail ? detail : L"");
    }
    auto found = state.pending.find(function);
    if (found == state.pending.end())
        return false;
    bool fail = false;
    std::vector<PendingFailure>& list = found->second;
    for (auto it = list.begin(); it != list.end();) {
        if (it->remaining == 0 && !fail) {
            fail = true;
            code = it->code;
            it = list.erase(it);
        } else {
            if (it->remaining > 0)
                --it->remaining;
            ++it;
        }
    }
    if (list.empty())
        state.pending.erase(found);
    return fail;
}

} // namespace detail
} // namespace msi

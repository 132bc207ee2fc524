#include "foundation/MessageTrail.h"
#include "foundation/Format.h"

#include <map>

namespace tamblewick_foundation_classes_v1_0 {
namespace {

// Function-local statics: usable from other static initialisers.
CriticalSection& trail_lock()
{
    static CriticalSection section;
    return section;
}

std::map<DWORD, MessageList>& trails()
{
    static std::map<DWORD, MessageList> map;
    return map;
}

} // namespace

MessageList& thread_messages()
{
    CriticalSectionLock lock(trail_lock());
    return trails()[GetCurrentThreadId()];
}

void erase_thread_messages()
{
    CriticalSectionLock lock(trail_lock());
    trails().erase(GetCurrentThreadId());
}

bool has_thread_messages(DWORD thread_id)
{
    CriticalSectionLock lock(trail_lock());
    return trails().count(thread_id) != 0;
}

void clear_thread_messages()
{
    Format(L"");
    thread_messages().clear();
}

std::wstring joined_thread_messages()
{
    std::wstring text;
    for (const std::wstring& line : thread_messages()) {
        if (!text.empty())
            text += L"\r\n";
        text += line;
    }
    return text;
}

} // namespace tamblewick_foundation_classes_v1_0

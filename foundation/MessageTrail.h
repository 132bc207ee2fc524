#pragma once
// The per-thread message trail: context lines that handlers add on the way up and the error dialog shows.
#include <windows.h>
#include <list>
#include <string>

namespace tamblewick_foundation_classes_v1_0 {

using MessageList = std::list<std::wstring>;

// The calling thread's list, made on first use. Only that thread touches it.
MessageList& thread_messages();
// Forgets the calling thread's list; a worker calls it when it ends, since thread ids are reused.
void erase_thread_messages();
// Whether a thread has a list (tests check that ended workers leave none).
bool has_thread_messages(DWORD thread_id);
// A Format over the empty text, then the whole list cleared: what every reader does when done.
void clear_thread_messages();
// The lines joined by "\r\n".
std::wstring joined_thread_messages();

class CriticalSection
{
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void enter() { EnterCriticalSection(&section_); }
    void leave() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CriticalSectionLock
{
public:
    explicit CriticalSectionLock(CriticalSection& section) : section_(section) { section_.enter(); }
    ~CriticalSectionLock() { section_.leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& section_;
};

} // namespace tamblewick_foundation_classes_v1_0

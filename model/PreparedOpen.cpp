#include "model/PreparedOpen.h"

#include "foundation/Errors.h"
#include "model/installer/MsiApi.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

struct PreparedOpen::State
{
    std::wstring path;
    std::thread worker;
    std::promise<void> finishing;
    std::shared_future<void> finished = finishing.get_future().share();
    OpenedDatabaseFile opened;
    std::exception_ptr failure;
};

namespace {

using StateRef = std::shared_ptr<PreparedOpen::State>;

std::mutex& pending_lock()
{
    static std::mutex lock;
    return lock;
}

// Opens begun and not yet taken or dropped. Whoever removes one from here joins its worker.
std::vector<StateRef>& pending()
{
    static std::vector<StateRef> states;
    return states;
}

FILETIME ReadLastWriteTime(const std::wstring& path)
{
    FILETIME written = {0, 0};
    HANDLE file =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return written;
    if (!GetFileTime(file, nullptr, nullptr, &written))
        written = FILETIME{0, 0};
    CloseHandle(file);
    return written;
}

void RestoreLastWriteTime(const std::wstring& path, const FILETIME& written)
{
    HANDLE file =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

void Drop(PreparedOpen::State& state)
{
    if (state.worker.joinable())
        state.worker.join();
    if (state.opened.database)
        CloseDatabaseFile(state.path, state.opened);
}

} // namespace

OpenedDatabaseFile OpenDatabaseFile(const std::wstring& path, const wchar_t* mode)
{
    OpenedDatabaseFile opened;
    bool read_only = mode == MSIDBOPEN_READONLY;
    // Wine running as root writes into write-protected files: honour the attribute ourselves.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        read_only = true;
    opened.saved_time = ReadLastWriteTime(path);
    if (!read_only) {
        try {
            opened.database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        } catch (const tfc::Win32Error&) {
            read_only = true;
        }
    }
    if (read_only)
        opened.database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    opened.read_only = read_only;
    return opened;
}

void CloseDatabaseFile(const std::wstring& path, OpenedDatabaseFile& opened)
{
    bool restore = !opened.read_only && (opened.saved_time.dwLowDateTime || opened.saved_time.dwHighDateTime);
    opened.database.reset();
    if (restore)
        RestoreLastWriteTime(path, opened.saved_time);
}

std::shared_ptr<PreparedOpen> PreparedOpen::Start(const std::wstring& path)
{
    auto state = std::make_shared<State>();
    state->path = path;
    State* raw = state.get();
    state->worker = std::thread([raw] {
        try {
            raw->opened = OpenDatabaseFile(raw->path, MSIDBOPEN_TRANSACT);
        } catch (...) {
            raw->failure = std::current_exception();
        }
        raw->finishing.set_value();
    });
    std::lock_guard<std::mutex> hold(pending_lock());
    pending().push_back(state);
    return std::make_shared<PreparedOpen>(state);
}

PreparedOpen::~PreparedOpen()
{
    {
        std::lock_guard<std::mutex> hold(pending_lock());
        auto& states = pending();
        auto found = std::find(states.begin(), states.end(), state_);
        if (found == states.end())
            return;
        states.erase(found);
    }
    Drop(*state_);
}

bool WaitForPreparedOpens(unsigned milliseconds)
{
    std::vector<StateRef> states;
    {
        std::lock_guard<std::mutex> hold(pending_lock());
        states = pending();
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (const StateRef& state : states) {
        if (state->finished.wait_until(until) != std::future_status::ready)
            return false;
    }
    return true;
}

bool TakePreparedOpen(const std::wstring& path, const wchar_t* mode, OpenedDatabaseFile& opened)
{
    std::vector<StateRef> states;
    {
        std::lock_guard<std::mutex> hold(pending_lock());
        states.swap(pending());
    }
    StateRef taken;
    for (const StateRef& state : states) {
        if (!taken && mode == MSIDBOPEN_TRANSACT && state->path == path) {
            taken = state;
            taken->worker.join();
        } else {
            Drop(*state);
        }
    }
    if (!taken)
        return false;
    if (taken->failure)
        std::rethrow_exception(taken->failure);
    opened = std::move(taken->opened);
    return true;
}

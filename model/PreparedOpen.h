#pragma once
// Opening a database file as a document does it, and beginning that early. Most of the time to open a
// large database goes to the installer library reading it: for a file named at start-up this can go on
// on a worker thread while the frame makes its windows, and the document's open then takes the handle.
#include "model/installer/MsiHandle.h"

#include <windows.h>
#include <memory>
#include <string>

struct OpenedDatabaseFile
{
    MsiHandle database;
    bool read_only = true;
    // The file's last-write time from before the open, or 0 when it could not be read.
    FILETIME saved_time = {0, 0};
};

// Opens with MSIDBOPEN_READONLY or MSIDBOPEN_TRANSACT. A write-protected file, or one that will not open
// transacted, opens read-only without a message.
OpenedDatabaseFile OpenDatabaseFile(const std::wstring& path, const wchar_t* mode);
// Closes the handle. A writable file gets its last-write time back: the library touches the file even
// when nothing was saved.
void CloseDatabaseFile(const std::wstring& path, OpenedDatabaseFile& opened);

// One path being opened transacted (as a document opens) on a worker thread. Destroying the object waits
// for the worker and closes whatever it opened, unless TakePreparedOpen took it first.
class PreparedOpen
{
public:
    struct State;
    static std::shared_ptr<PreparedOpen> Start(const std::wstring& path);
    explicit PreparedOpen(std::shared_ptr<State> state) : state_(std::move(state)) {}
    ~PreparedOpen();
    PreparedOpen(const PreparedOpen&) = delete;
    PreparedOpen& operator=(const PreparedOpen&) = delete;

private:
    std::shared_ptr<State> state_;
};

// Waits at most that long for the prepared opens; true once none is still at work.
bool WaitForPreparedOpens(unsigned milliseconds);
// Waits for every open still prepared. The one of this path and mode becomes `opened` (its failure is
// rethrown) and true is returned; any other is closed first, so that it holds no file another open needs.
bool TakePreparedOpen(const std::wstring& path, const wchar_t* mode, OpenedDatabaseFile& opened);

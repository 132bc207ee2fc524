#include "model/installer/MsiStreamChanges.h"
#include "model/installer/MsiApi.h"
#include "model/installer/CompoundFileCheck.h"
#include "model/installer/DatabaseFileTidy.h"
#include "model/installer/MsiEmptyTables.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformStreamNames.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <map>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace msi {
namespace {

// Name -> new bytes; an empty file pointer removes the stream. The last change of a name wins.
using Changes = std::map<std::wstring, std::shared_ptr<LayerTempFile>>;

struct DatabaseEntry
{
    std::wstring path;
    Changes waiting;        // made since the last commit
    Changes due;            // committed, written at close
    bool committed = false; // the file may hold what a commit leaves behind (DatabaseFileTidy.h)
};

// Saves may run on a validation worker while the user-interface thread edits.
std::mutex& registry_lock()
{
    static std::mutex lock;
    return lock;
}

std::map<MSIHANDLE, DatabaseEntry>& registry()
{
    static std::map<MSIHANDLE, DatabaseEntry> entries;
    return entries;
}

void copy_file_into(const std::wstring& source, IStream* stream)
{
    HANDLE file =
        CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    try {
        std::vector<char> block(65536);
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &read, nullptr))
                tfc::throw_last_error(L"ReadFile");
            if (read == 0)
                break;
            ULONG written = 0;
            CheckHresult(stream->Write(block.data(), read, &written), L"IStream::Write");
            if (written != read)
                throw tfc::Win32Error(ERROR_WRITE_FAULT, L"IStream::Write");
        }
    } catch (...) {
        CloseHandle(file);
        throw;
    }
    CloseHandle(file);
}

std::wstring element_name(const std::wstring& name)
{
    std::wstring element = PackStreamName(name, false);
    if (element.size() > kMaxStreamNameUnits)
        throw std::runtime_error("A stream name is too long for the file");
    return element;
}

void write_stream(IStorage* storage, const std::wstring& element, const std::wstring& bytes)
{
    ComRef<IStream> stream;
    CheckHresult(storage->CreateStream(element.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                       stream.receive()),
                 L"IStorage::CreateStream");
    copy_file_into(bytes, stream.get());
    CheckHresult(stream->Commit(STGC_DEFAULT), L"IStream::Commit");
}

// Wine's commit can leave links to freed entries, and a transacted commit of such a file then leaves its
// root leading to a freed entry (a table emptied row by row and a stream changed in one session did). So
// such a file is rewritten through a fresh one with the changes in, never committed over.
bool write_changes_fresh(const std::wstring& path, const Changes& changes)
{
    FileLeftovers found;
    if (!detail::RunningOnWine() || !FindLeftovers(path, found) || !found.any)
        return false;
    std::vector<std::wstring> excluded = found.stale_streams;
    for (const auto& change : changes)
        excluded.push_back(element_name(change.first));
    RewriteDatabaseFile(path, excluded, [&changes](IStorage* fresh) {
        for (const auto& change : changes)
            if (change.second)
                write_stream(fresh, element_name(change.first), change.second->path());
    });
    return true;
}

// All or nothing: the storage is opened transacted and committed once every change is in.
void write_changes(const std::wstring& path, const Changes& changes)
{
    if (write_changes_fresh(path, changes))
        return;
    ComRef<IStorage> storage;
    CheckHresult(StgOpenStorage(path.c_str(), nullptr,
                                STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_TRANSACTED, nullptr, 0,
                                storage.receive()),
                 L"StgOpenStorage");
    for (const auto& change : changes) {
        std::wstring element = element_name(change.first);
        if (!change.second) {
            HRESULT result = storage->DestroyElement(element.c_str());
            if (result != STG_E_FILENOTFOUND)
                CheckHresult(result, L"IStorage::DestroyElement");
            continue;
        }
        write_stream(storage.get(), element, change.second->path());
    }
    CheckHresult(storage->Commit(STGC_DEFAULT), L"IStorage::Commit");
}

void note_change(MSIHANDLE database, const std::wstring& name, std::shared_ptr<LayerTempFile> bytes)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    auto found = registry().find(database);
    if (found == registry().end() || found->second.path.empty()) {
        tfc::Format(L"The installer library cannot store the stream %s in this database until it is saved "
                    L"and reopened")
            << name;
        throw tfc::Win32Error(ERROR_CALL_NOT_IMPLEMENTED, L"MsiViewModify");
    }
    found->second.waiting[name] = std::move(bytes);
}

// Takes the handle's entry out of the registry.
DatabaseEntry take_entry(MSIHANDLE database)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    DatabaseEntry entry;
    auto found = registry().find(database);
    if (found != registry().end()) {
        entry = std::move(found->second);
        registry().erase(found);
    }
    return entry;
}

// The file stays sound without it: readers pass over what a commit leaves behind.
void tidy_best_effort(const DatabaseEntry& entry) noexcept
{
    if (!entry.committed || entry.path.empty())
        return;
    try {
        TidyDatabaseFile(entry.path);
    } catch (...) {
        try {
            tfc::Format(L"What the installer library left behind in %s could not be cleared") << entry.path;
        } catch (...) {
        }
    }
}

} // namespace

LayerTempFile::LayerTempFile() : path_(NewTempFile(GlobalTempFiles().GetFolder(), L"STR")) {}

LayerTempFile::~LayerTempFile()
{
    DeleteFileW(path_.c_str());
}

void NoteDatabasePath(MSIHANDLE database, const std::wstring& path)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    registry()[database].path = path;
}

void ReplaceStreamLater(MSIHANDLE database, const std::wstring& name, const std::wstring& file)
{
    note_change(database, name, CopyStreamBytes(file));
}

bool StreamChangesPossible(MSIHANDLE database)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    auto found = registry().find(database);
    return found != registry().end() && !found->second.path.empty();
}

std::shared_ptr<LayerTempFile> CopyStreamBytes(const std::wstring& file)
{
    auto bytes = std::make_shared<LayerTempFile>();
    if (!CopyFileW(file.c_str(), bytes->path().c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    return bytes;
}

void ChangeStreamLater(MSIHANDLE database, const std::wstring& name, std::shared_ptr<LayerTempFile> bytes)
{
    note_change(database, name, std::move(bytes));
}

void RemoveStreamLater(MSIHANDLE database, const std::wstring& name)
{
    note_change(database, name, nullptr);
}

bool StreamChangeAhead(MSIHANDLE database, const std::wstring& name, bool& removed, std::string& bytes)
{
    std::shared_ptr<LayerTempFile> file;
    {
        std::lock_guard<std::mutex> hold(registry_lock());
        auto found = registry().find(database);
        if (found == registry().end())
            return false;
        auto change = found->second.waiting.find(name);
        if (change == found->second.waiting.end()) {
            change = found->second.due.find(name);
            if (change == found->second.due.end())
                return false;
        }
        file = change->second;
    }
    removed = !file;
    bytes.clear();
    if (!file)
        return true;
    HANDLE handle =
        CreateFileW(file->path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    char block[65536];
    DWORD read = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(handle, block, sizeof(block), &read, nullptr)) && read > 0)
        bytes.append(block, read);
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok)
        throw tfc::Win32Error(error, L"ReadFile");
    return true;
}

void StreamChangesCommitted(MSIHANDLE database)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    auto found = registry().find(database);
    if (found == registry().end())
        return;
    for (auto& change : found->second.waiting)
        found->second.due[change.first] = std::move(change.second);
    found->second.waiting.clear();
    found->second.committed = true;
}

bool StreamChangesAwaitClose(MSIHANDLE database)
{
    std::lock_guard<std::mutex> hold(registry_lock());
    auto found = registry().find(database);
    return found != registry().end() && !found->second.due.empty();
}

void WriteCommittedStreamChanges(MSIHANDLE database, const std::wstring& path)
{
    Changes due;
    {
        std::lock_guard<std::mutex> hold(registry_lock());
        auto found = registry().find(database);
        if (found == registry().end() || found->second.due.empty())
            return;
        due = found->second.due;
    }
    write_changes(path, due);
}

void CloseDatabase(MsiHandle& database, const wchar_t* reopen_mode)
{
    if (database.use_count() > 1)
        throw std::runtime_error("The database cannot be closed while another part of the program uses it");
    DatabaseEntry entry = take_entry(database.get());
    database.reset();
    try {
        if (!entry.due.empty())
            write_changes(entry.path, entry.due);
    } catch (...) {
        if (reopen_mode) {
            tfc::Format(L"Stream changes could not be written into %s") << entry.path;
            try {
                database = OpenDatabase(entry.path, reopen_mode);
                std::lock_guard<std::mutex> hold(registry_lock());
                registry()[database.get()].waiting = std::move(entry.due);
            } catch (...) {
            }
        }
        throw;
    }
    tidy_best_effort(entry);
    if (reopen_mode)
        database = OpenDatabase(entry.path, reopen_mode);
}

namespace detail {

void HandleClosed(MSIHANDLE handle) noexcept
{
    try {
        DatabaseEntry entry = take_entry(handle);
        if (!entry.due.empty())
            write_changes(entry.path, entry.due);
        tidy_best_effort(entry);
    } catch (...) {
        try {
            tfc::Format(L"Stream changes of a closed database could not be written into its file");
        } catch (...) {
        }
    }
}

} // namespace detail

} // namespace msi

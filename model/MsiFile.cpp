#include "model/MsiFile.h"
#include "model/installer/DatabaseCodePage.h"
#include "model/installer/MsiApi.h"
#include "model/MsiModification.h"
#include "model/MsiQuery.h"
#include "model/SharedCells.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <cstdlib>
#include <stdexcept>

namespace {

bool HasTime(const FILETIME& time)
{
    return time.dwLowDateTime != 0 || time.dwHighDateTime != 0;
}

// The file's last-write time, or 0 when it cannot be read.
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

const wchar_t* const kSystemTables[] = {L"_Streams", L"_Storages", L"_Tables", L"_Columns"};

} // namespace

MsiFile::MsiFile() = default;

MsiFile::~MsiFile()
{
    // Cached views go first: they hold a share of the handle. Tables go while the database is still open.
    view_cache_.Unbind();
    relationships_.Clear();
    tables_.clear();
    if (!read_only_ && HasTime(saved_time_) && database_) {
        database_.reset();
        RestoreLastWriteTime(path_, saved_time_);
    }
}

void MsiFile::Reset()
{
    view_cache_.Unbind();
    relationships_.Clear();
    tables_.clear();
    summary_.clear();
    change_log_.clear();
    database_.reset();
    path_.clear();
    read_only_ = true;
    saved_time_ = FILETIME{0, 0};
}

bool MsiFile::Open(const std::wstring& path, const wchar_t* mode)
{
    Reset();
    bool read_only = mode == MSIDBOPEN_READONLY;
    // Wine running as root writes into write-protected files: honour the attribute ourselves.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        read_only = true;
    FILETIME saved = ReadLastWriteTime(path);
    MsiHandle database;
    if (!read_only) {
        try {
            database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        } catch (const tfc::Win32Error&) {
            // A writable open that fails falls back to read-only without a message.
            read_only = true;
        }
    }
    if (read_only)
        database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);

    path_ = path;
    database_ = database;
    read_only_ = read_only;
    saved_time_ = saved;
    try {
        LoadTables(database_.get());
        MsiSummaryInfo::Load(database_.get(), summary_);
    } catch (...) {
        // Nothing half-read stays behind, so the next open starts clean.
        Reset();
        throw;
    }
    return read_only_;
}

void MsiFile::LoadTables(MSIHANDLE database)
{
    // Keys repeat in the tables that refer to them: the tables of one load share their equal cells.
    SharedCells shared;
    MsiHandle view = MsiQuery::OpenAndExecute(database, L"SELECT * FROM `_Tables`", 0);
    while (MsiHandle record = msi::ViewFetch(view.get()))
        AddTable(MsiTableRef(new MsiTable(MsiRecord::GetString(record.get(), 1), this, true, true, &shared)));
    for (const wchar_t* name : kSystemTables)
        AddTable(MsiTableRef(new MsiTable(name, this, false, false, &shared)));
    // Stream rows are named by their first column, so they get a key text and a condition.
    MsiTableRef streams = FindTable(L"_Streams");
    if (streams && !streams->columns().empty())
        streams->columns()[0]->set_key(true);
}

void MsiFile::AddTable(const MsiTableRef& table)
{
    if (!tables_.insert(TableMap::value_type(table->name(), table)).second)
        throw std::runtime_error("Tried to add a table that already exists");
}

MsiTableRef MsiFile::FindTable(const std::wstring& name) const
{
    auto found = tables_.find(name);
    return found == tables_.end() ? MsiTableRef() : found->second;
}

void MsiFile::EraseTable(const std::wstring& name)
{
    tables_.erase(name);
}

void MsiFile::RefreshSchemaTables()
{
    MsiTableRef columns = FindTable(L"_Columns");
    if (!columns)
        throw std::runtime_error("Internal error - No columns table");
    MsiTableRef tables = FindTable(L"_Tables");
    if (!tables)
        throw std::runtime_error("Internal error - No tables table");
    MsiTableRef fresh_columns(new MsiTable(L"_Columns", this, false, false));
    MsiTableRef fresh_tables(new MsiTable(L"_Tables", this, false, false));
    columns->CopyFrom(*fresh_columns);
    tables->CopyFrom(*fresh_tables);
    // The old rows are freed: lookups and indexes over them must not read them again.
    table_events_.Notify(columns.get(), TableEventArg(SchemaChanged, columns->rows().end()));
    table_events_.Notify(tables.get(), TableEventArg(SchemaChanged, tables->rows().end()));
}

UINT MsiFile::GetCodepage()
{
    return msi::ReadDatabaseCodePage(database_.get());
}

void MsiFile::SetCodepage(UINT code_page)
{
    std::lock_guard<std::mutex> hold(change_lock_);
    try {
        msi::WriteDatabaseCodePage(database_.get(), code_page);
    } catch (const tfc::Win32Error&) {
        throw tfc::ManageableError(
            L"This is most likely an invalid code page for the characters within the msi",
            L"Unable to change the code page");
    }
    // Logged, so that a save to another path carries the code page too.
    change_log_.push_back(std::make_shared<MsiCodepageModification>(code_page));
}

void MsiFile::SwitchToPath(const std::wstring& path)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    std::lock_guard<std::mutex> hold(change_lock_);
    view_cache_.Unbind();
    path_ = path;
    database_ = database;
    read_only_ = false;
    // The file there was just saved: its time is not the one the old path had when it was opened.
    saved_time_ = FILETIME{0, 0};
    change_log_.clear();
}

void MsiFile::SetHandle(const MsiHandle& database, bool read_only)
{
    std::lock_guard<std::mutex> hold(change_lock_);
    view_cache_.Unbind();
    database_ = database;
    read_only_ = read_only;
}

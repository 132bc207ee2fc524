#include "model/MsiFile.h"
#include "model/installer/DatabaseCodePage.h"
#include "model/installer/MsiApi.h"
#include "model/MsiModification.h"
#include "model/MsiQuery.h"
#include "model/PreparedOpen.h"
#include "model/SharedCells.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace {

const wchar_t* const kSystemTables[] = {L"_Streams", L"_Storages", L"_Tables", L"_Columns"};

} // namespace

MsiFile::MsiFile() = default;

MsiFile::~MsiFile()
{
    // Cached views go first: they hold a share of the handle. Tables go while the database is still open.
    view_cache_.Unbind();
    relationships_.Clear();
    tables_.clear();
    if (database_) {
        OpenedDatabaseFile opened{std::move(database_), read_only_, saved_time_};
        CloseDatabaseFile(path_, opened);
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
    own_stamp_ = FileStamp();
    original_.Forget();
}

bool MsiFile::Open(const std::wstring& path, const wchar_t* mode)
{
    Reset();
    OpenedDatabaseFile opened;
    if (!TakePreparedOpen(path, mode, opened))
        opened = OpenDatabaseFile(path, mode);
    path_ = path;
    database_ = std::move(opened.database);
    read_only_ = opened.read_only;
    saved_time_ = opened.saved_time;
    own_stamp_ = ReadFileStamp(path);
    original_.Hold(path);
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
    Log(std::make_shared<MsiCodepageModification>(code_page));
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
    own_stamp_ = ReadFileStamp(path);
    original_.Hold(path);
    change_log_.clear();
}

void MsiFile::SetHandle(const MsiHandle& database, bool read_only)
{
    std::lock_guard<std::mutex> hold(change_lock_);
    view_cache_.Unbind();
    database_ = database;
    read_only_ = read_only;
    // A transform's working copy: only the program writes it.
    own_stamp_ = FileStamp();
    original_.Forget();
}

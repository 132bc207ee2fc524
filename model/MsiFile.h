#pragma once
// One open installer database: its path and handle, every table, the summary information, the read-only
// flag, the change log, the event sources, and the file's last-write time as it was when opened (put back
// when a writable database closes unsaved, since the installer library touches the file).
#include "model/EventEngine.h"
#include "model/installer/MsiHandle.h"
#include "model/MsiTable.h"
#include "model/OriginalFile.h"
#include "model/SchemaRelationships.h"
#include "model/SummaryInfo.h"
#include "model/ViewCache.h"
#include "foundation/UserFileReplace.h"

#include <windows.h>
#include <msiquery.h>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

class MsiModification;

class MsiFile
{
public:
    enum TableEvents
    {
        SchemaChanged = 0, // the table's rows were read afresh: every kept row of it is gone
        TableDropped = 1,
        RowAdded = 2,
        RowModified = 3,
        RowDeleted = 4
    };
    using TableEventArg = std::tuple<TableEvents, RowIterator>;
    using TableEventEngine = EventEngine<MsiTable*, TableEventArg>;
    using FileEventEngine = EventEngine<MsiFile*, MsiTable*>;
    // Ordinal, case-sensitive names.
    using TableMap = std::map<std::wstring, MsiTableRef>;
    using ChangeLog = std::list<std::shared_ptr<MsiModification>>;

    MsiFile();
    virtual ~MsiFile();
    MsiFile(const MsiFile&) = delete;
    MsiFile& operator=(const MsiFile&) = delete;

    // Opens with MSIDBOPEN_READONLY or MSIDBOPEN_TRANSACT and reads every table and the summary
    // information. A write-protected file, or one that will not open transacted, opens read-only.
    // Returns the read-only flag. A failure throws and leaves the object closed and empty.
    bool Open(const std::wstring& path, const wchar_t* mode);
    void LoadTables(MSIHANDLE database);
    // Throws "Tried to add a table that already exists" for a name already present.
    void AddTable(const MsiTableRef& table);
    // The table of that name, or empty.
    MsiTableRef FindTable(const std::wstring& name) const;
    void EraseTable(const std::wstring& name);
    // Reads `_Columns` and `_Tables` again into the same table objects (after a table was added or dropped)
    // and announces SchemaChanged for each, so that whoever holds their rows lets them go.
    void RefreshSchemaTables();

    UINT GetCodepage();
    // Goes to the open database at once and into the change log, so a save to another path gets it too.
    // A code page the installer refuses throws ManageableError and leaves the database as it was.
    void SetCodepage(UINT code_page);

    // Row and table changes (MsiFileChanges.cpp). Each is made on the open database first; only when that
    // worked is it logged, made in memory, reflected in the row references and announced. A failure
    // changes nothing and announces nothing. Deletions and drops are announced while the row or table is
    // still in memory, additions and modifications once they are made. A read-only database refuses them.
    // Stream cells of the row must be extracted (or set from files).
    RowIterator AddRow(MsiTable& table, const MsiRow& row);
    void DeleteRow(MsiTable& table, RowIterator row);
    // Told the count of rows deleted so far after each row; false stops the deletion there.
    using DeletedRows = std::function<bool(int deleted)>;
    // Deletes the rows of the table (each once; the caller passes no row twice) as DeleteRow would one
    // after another, and in their order into the log and the announcements (MsiFileDeletions.cpp). The
    // database deletes them in one pass over the table; a row the database no longer has fails as
    // DeleteRow fails, after the rows before it went. Returns how many went.
    int DeleteRows(MsiTable& table, const std::vector<RowIterator>& rows, const DeletedRows& deleted);
    // Changes one cell; the row's stream cells are extracted first. The table is found by its column.
    void ModifyRow(const MsiFieldDef& column, RowIterator row, const MsiFieldDataRef& value);
    void ModifyRow(MsiTable& table, const MsiFieldDef& column, RowIterator row, const MsiFieldDataRef& value);
    // Creates a table of the source's columns and copies its rows (the source's streams are extracted).
    MsiTableRef AddTableWithRows(MsiTable& source);
    void DropTable(MsiTable& table);
    // Brings every user table of the other file in: missing tables whole, missing rows of tables both have.
    // A table that cannot be merged names itself in the trail.
    void MergeTables(MsiFile& other);

    // Saving (MsiFileSave.cpp). The own file is copied, the log replayed on the copy, which is committed,
    // closed (streams the library could not rewrite go in then, MsiStreamChanges.h), read back
    // (CheckWritten) and only then takes the target's place (ReplaceUserFile), so a failure leaves an
    // existing target byte for byte as it was. When another program replaced or rewrote the own file, a
    // save elsewhere starts from the bytes the open read (OriginalFile.h), which the log was made on. In
    // place (any path that names the own file) the database is closed for the move and opened again; a file
    // another program replaced or rewrote since the open is refused with a ManageableError that offers Save
    // As. The log is emptied once the own file holds it. stamp sets "Last Saved By" (saved_by), the save time
    // and the creating application.
    virtual void Save(const std::wstring& target, bool stamp, const std::wstring& saved_by);
    virtual void SaveInPlace(bool stamp, const std::wstring& saved_by);
    virtual void SaveDatabaseAs(const std::wstring& target, bool stamp, const std::wstring& saved_by);

    // Whether the file at the own path is no longer the one the open or the last save left there: another
    // program replaced or rewrote it. A save in place refuses then.
    bool OwnFileChanged() const;
    // Throws ManageableError unless the file at path reads back in the library with the tables and row
    // counts memory holds.
    void CheckWritten(const std::wstring& path) const;
    // Reopens at another path, transacted and writable, with an empty change log; tables stay in memory.
    void SwitchToPath(const std::wstring& path);
    // Takes another database handle (transforms).
    void SetHandle(const MsiHandle& database, bool read_only);

    const std::wstring& path() const { return path_; }
    MSIHANDLE handle() const { return database_.get(); }
    const MsiHandle& database() const { return database_; }
    TableMap& tables() { return tables_; }
    const TableMap& tables() const { return tables_; }
    SummaryInfoMap& summary_info() { return summary_; }
    bool read_only() const { return read_only_; }
    ChangeLog& change_log() { return change_log_; }
    TableEventEngine& table_events() { return table_events_; }
    SchemaRelationships& relationships() { return relationships_; }
    FileEventEngine& file_events() { return file_events_; }
    // 0 when there is none; a save clears it so that closing no longer puts it back.
    const FILETIME& saved_time() const { return saved_time_; }
    void ClearSavedTime() { saved_time_ = FILETIME{0, 0}; }

protected:
    // Transforms point the file at their backing database while they save it.
    void SetPath(const std::wstring& path) { path_ = path; }
    // Closes the prepared views; the cache still serves the handle.
    void ClearViewCache() { view_cache_.Clear(); }

private:
    // Closed and empty, as after construction.
    void Reset();
    // Makes the change on the open database and logs it; a failure logs nothing.
    void ApplyAndLog(const std::shared_ptr<MsiModification>& entry);
    // The table that holds the column, or a runtime error.
    MsiTable& TableOfColumn(const MsiFieldDef& column);
    // Writes the database as edited into written, a file of its own (MsiFileSave.cpp).
    void WriteEditedCopy(const std::wstring& written, const std::wstring& target, bool stamp,
                         const std::wstring& saved_by);
    // Deletes the rows from the open database in one pass over the table, marking in gone each row
    // (by its place in rows) that went; deleted is told as in DeleteRows. Nothing is logged or announced.
    void DeleteFromDatabase(MsiTable& table, const std::vector<RowIterator>& rows, std::vector<bool>& gone,
                            const DeletedRows& deleted);
    // Logs a change made on the open database; the first one keeps the original bytes for a save elsewhere.
    void Log(const std::shared_ptr<MsiModification>& entry);
    // Makes every logged change again on database; target names the file in a failure's message.
    void ReplayChangeLog(const MsiHandle& database, const std::wstring& target) const;
    // The save in place, with the change lock held.
    void SaveOwnFile(bool stamp, const std::wstring& saved_by);

    std::wstring path_;
    MsiHandle database_;
    TableMap tables_;
    SummaryInfoMap summary_;
    bool read_only_ = true;
    ChangeLog change_log_;
    SchemaRelationships relationships_;
    // Prepared views on the own handle. Declared after the handle, so it goes first.
    ViewCache view_cache_;
    // Held around log appends, applies, replays and cache flushes: a validation job may save (replay the
    // log) on its worker thread while the user-interface thread edits.
    std::mutex change_lock_;
    TableEventEngine table_events_;
    FileEventEngine file_events_;
    FILETIME saved_time_ = {0, 0};
    // The own file as the open or the last save left it, and its bytes.
    FileStamp own_stamp_;
    OriginalFile original_;
};

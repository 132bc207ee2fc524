#pragma once
// One table of an open database in memory: its columns in order and all its rows, read once through a
// view. Rows are lists of cells; a RowIterator names a row for as long as the row exists. The SQL texts
// that write a table or find one of its rows are made here; values always travel as "?" parameters.
#include "model/EventEngine.h"
#include "model/MsiBinaryData.h"
#include "model/MsiFieldDef.h"
#include "model/MsiRow.h"
#include "model/installer/MsiHandle.h"
#include "foundation/MessageTrail.h"

#include <boost/noncopyable.hpp>
#include <boost/pool/pool_alloc.hpp>
#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class MsiFile;
class SharedCells;

// The lock of the row pool, which every table of the process shares.
class RowPoolMutex
{
public:
    RowPoolMutex() = default;
    RowPoolMutex(const RowPoolMutex&) = delete;
    RowPoolMutex& operator=(const RowPoolMutex&) = delete;
    void lock() { section_.enter(); }
    void unlock() { section_.leave(); }

private:
    tfc::CriticalSection section_;
};

// The pool grows by doubling up to blocks of 2048 rows: beyond that, doubling would leave up to half of
// a large table's room unused.
using MsiRowList =
    std::list<MsiRow, boost::fast_pool_allocator<MsiRow, boost::default_user_allocator_new_delete,
                                                 RowPoolMutex, 32, 2048>>;
using RowIterator = MsiRowList::iterator;
using MsiColumns = std::vector<MsiFieldDefRef>;

// Rows as event keys: ordered by where the row lives.
struct RowIteratorLess
{
    bool operator()(const RowIterator& a, const RowIterator& b) const
    {
        return std::less<const MsiRow*>()(&*a, &*b);
    }
};

// Appends a row to a list of the pooled kind (rows built outside a table).
RowIterator AppendRow(MsiRowList& rows, const MsiRow& row);

class MsiTable;
using MsiTableRef = tfc::RefersTo<MsiTable>;

using RelationshipSet = std::set<RelationshipDefPtr, RelationshipDefLess>;
// A row of a table as a result key.
struct RelatedRowLess
{
    bool operator()(const std::pair<MsiTable*, RowIterator>& a,
                    const std::pair<MsiTable*, RowIterator>& b) const
    {
        if (a.first != b.first)
            return std::less<MsiTable*>()(a.first, b.first);
        return RowIteratorLess()(a.second, b.second);
    }
};
// Rows of another table with the relationships through which a row refers to each of them.
using RelatedRows = std::map<std::pair<MsiTable*, RowIterator>, RelationshipSet, RelatedRowLess>;

class MsiTable : public tfc::RefCounted, boost::noncopyable
{
public:
    enum RowEvents
    {
        RowModified = 0,
        RowDeleted = 1
    };
    using RowEventEngine = EventEngine<RowIterator, RowEvents, RowIteratorLess>;

    // Loads the table from the owner's database at once. user_table: listed in `_Tables`; read_keys: ask
    // the database for the key columns (the system tables have none); shared: equal cells of the tables
    // of one load (else of this table alone).
    MsiTable(const std::wstring& name, MsiFile* owner, bool user_table, bool read_keys,
             SharedCells* shared = nullptr);
    // An empty table of no database (filled by CopyFrom or by hand).
    MsiTable(const std::wstring& name, MsiFile* owner);
    ~MsiTable() override;

    void Load(MSIHANDLE database, bool read_keys, SharedCells* shared = nullptr);

    const std::wstring& name() const { return name_; }
    MsiColumns& columns() { return columns_; }
    const MsiColumns& columns() const { return columns_; }
    MsiRowList& rows() { return rows_; }
    const MsiRowList& rows() const { return rows_; }
    MsiFile* owner() const { return owner_; }
    RowEventEngine& row_events() { return row_events_; }
    bool user_table() const { return user_table_; }
    // The column with this name, or empty.
    MsiFieldDefRef FindColumn(const std::wstring& name) const;
    bool HasKeyColumns() const;

    // "CREATE TABLE `T` (`A` CHAR(72) NOT NULL, `B` INT PRIMARY KEY `A`)"
    std::wstring CreateSql() const;
    // "INSERT INTO `T` (`A`, `B`) VALUES (?, ?)"
    std::wstring InsertSql() const;
    // "`A`=? AND `B` IS NULL" with a record of the non-null key values; a table without key columns is
    // matched by all its non-stream cells.
    SqlCondition KeyWhereClause(const MsiRow& row) const;
    // Display texts of the key cells (of every cell when there are no key columns).
    std::vector<std::wstring> KeyValues(const MsiRow& row) const;
    // The key values joined by "|": how a row is named everywhere.
    std::wstring RowKeyText(const MsiRow& row) const;
    // Clipboard texts of the cells, quoted for tab-separated text, joined by tabs (streams extracted).
    std::wstring RowText(MsiRow& row);
    // A record with one field per column holding the row (streams must be extracted).
    MsiHandle RecordFromRow(const MsiRow& row) const;

    void Create(MSIHANDLE database) const;
    void InsertRows(MSIHANDLE database) const;

    // Reads stream cells into temporary files: all of the table, one row, or one cell.
    void ExtractBinaries();
    void ExtractRowBinaries(MsiRow& row);
    void ExtractCell(MsiRow& row, const MsiFieldDef& column);
    // Whether a stream cell of this table and one of another hold the same bytes; a cell extracted on
    // either side is compared by digest (the other extracted too), two cells still in their databases by
    // reading them side by side.
    bool SameStream(MsiRow& row, const MsiFieldDef& column, MsiTable& other, MsiRow& other_row,
                    const MsiFieldDef& other_column);
    // The index of a pair of rows (this table's, the other's) whose stream cells differ as SameStream
    // compares them, the first met, or rows.size() when none does. Cells still in their databases are read
    // through one query per table: under Wine a query of a read-only database costs milliseconds, too much
    // for a query per row.
    size_t FirstStreamDifference(const MsiFieldDef& column, MsiTable& other, const MsiFieldDef& other_column,
                                 const std::vector<std::pair<MsiRow*, MsiRow*>>& rows);

    // Takes the other table's columns and copies of its rows; holders of this table see the new content.
    void CopyFrom(const MsiTable& other);
    // Checks that a table of another database has the same columns (taking them when this table has
    // none) and returns copies of its rows whose keys this table lacks, in order, for the caller to add.
    // This table may have further nullable non-key columns after the source's (a later version of the
    // same table): they are null in the copies. A mismatch adds its reason to the trail and throws
    // tfc::NullError; this table is then untouched.
    std::vector<MsiRow> MergeFrom(const MsiTable& source);

    // Row references (defined in TableRelationships.cpp). The names of the tables rows may refer to.
    virtual std::set<std::wstring> ReferencedTables() const;
    // Adds related_row when the row refers to it; changed (a column of related, null for a new row)
    // limits the relationships tried to those through that column.
    virtual void MatchRelatedRows(RelatedRows& result, RowIterator row, MsiTable& related,
                                  RowIterator related_row, const MsiFieldDef* changed) const;
    // Adds every row of related that the row refers to.
    virtual void FindRelatedRows(RelatedRows& result, RowIterator row, MsiTable& related) const;

private:
    MSIHANDLE database_handle() const;

    std::wstring name_;
    MsiColumns columns_;
    MsiRowList rows_;
    MsiFile* owner_;
    RowEventEngine row_events_;
    bool user_table_;
};

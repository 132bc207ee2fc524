#pragma once
// Change-log entries: each knows how to make one change on any database handle, the open one first and
// later a copy that a save to another path replays the log on. Entries keep copies of the cells they
// write, taken when the change was made, so a replay repeats exactly what was done whatever happened to
// the rows since. Records are built from those copies right before each execute: a record's stream is
// used up by the execute that writes it.
#include "model/installer/MsiHandle.h"
#include "model/MsiTable.h"

#include <windows.h>
#include <msiquery.h>
#include <deque>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class ViewCache;

// A value an entry writes, with the column that writes it into a record.
struct LoggedCell
{
    MsiFieldDefRef column;
    MsiFieldDataRef value;
};

// A copy of the cell taken now (a stream cell copies its reference to the extracted file).
LoggedCell LogCell(const MsiFieldDefRef& column, const MsiFieldData& cell);
// Copies of every cell of a row of the table.
std::vector<LoggedCell> LogRow(const MsiTable& table, const MsiRow& row);

// The WHERE condition that names one row by its key cells ("`A`=? AND `B` IS NULL"), the parameters
// being copies of the non-null key cells in the order of their marks. A table without key columns is
// named by all its cells but streams.
struct RowCondition
{
    std::wstring text;
    std::vector<LoggedCell> params;
    // The quoted names of the columns the condition tests, joined by ", " (what a check selects).
    std::wstring columns;
};
RowCondition KeyCondition(const MsiTable& table, const MsiRow& row);
// A text equal for two rows exactly when KeyCondition's condition of one selects the other: its cells,
// each null (an empty text is one) and each value told apart.
std::wstring ConditionText(const MsiTable& table, const MsiRow& row);

// ConditionText's text of records fetched from the table: of all its columns in table order (SELECT *),
// or of the condition's columns only (SELECT condition.columns).
class ConditionTextReader
{
public:
    ConditionTextReader(const MsiTable& table, bool all_columns);
    // Of records holding just the condition's cells, field n an integer when integers[n - 1] says so.
    explicit ConditionTextReader(const std::vector<bool>& integers);
    // Valid until the next read.
    const std::wstring& Read(MSIHANDLE record);

private:
    struct Field
    {
        UINT number;
        bool integer;
    };
    std::vector<Field> fields_;
    std::vector<wchar_t> buffer_;
    std::wstring text_;
};

// A record holding the cells, field n for cells[n - 1]; empty when there are none.
// condition: the cells are parameters of a WHERE clause (see MsiFieldDef::set_condition_data).
MsiHandle RecordFromCells(const std::vector<LoggedCell>& cells, bool condition = false);

class MsiModification
{
public:
    virtual ~MsiModification() = default;
    // Makes the change on the database. Views may come from and go to the cache when it serves the
    // database; null means no cache.
    virtual void Apply(MSIHANDLE database, ViewCache* cache) = 0;
};

// One SQL statement with its parameters.
class MsiSqlModification : public MsiModification
{
public:
    // changes_schema: the statement creates or drops a table, so views prepared before are stale.
    MsiSqlModification(std::wstring sql, std::vector<LoggedCell> params, bool changes_schema = false);
    void Apply(MSIHANDLE database, ViewCache* cache) override;

    const std::wstring& sql() const { return sql_; }
    const std::vector<LoggedCell>& params() const { return params_; }
    bool changes_schema() const { return changes_schema_; }

private:
    std::wstring sql_;
    std::vector<LoggedCell> params_;
    bool changes_schema_;

protected:
    // The parameters are those of the statement's condition (a DELETE).
    bool condition_params_ = false;
};

// The insertion of one row. In a table with a stream column whose name (table and key values joined by
// ".") is still in `_Streams` (Wine keeps the streams of deleted rows and would give them to a new row of
// that key), the row's own stream replaces it in the file once that is committed and closed.
class MsiInsertModification : public MsiSqlModification
{
public:
    MsiInsertModification(const MsiTable& table, const MsiRow& row);
    void Apply(MSIHANDLE database, ViewCache* cache) override;

private:
    std::wstring table_;
    std::wstring stream_name_; // empty when the table has no stream column
};

// The deletion of one row. A row that is not there is an error: the installer's DELETE says nothing
// when its condition matches no row. Of identical rows (a table without key columns) one goes. The row's
// stream (a `_Streams` row is one) goes from the file once that is committed and closed, where the library
// would keep it.
class MsiDeleteModification : public MsiSqlModification
{
public:
    MsiDeleteModification(const std::wstring& table, const RowCondition& condition);
    MsiDeleteModification(const MsiTable& table, const MsiRow& row);
    void Apply(MSIHANDLE database, ViewCache* cache) override;

    // Whether this deletion and the next, both of rows named by their keys with no stream to mind, can
    // go together in one pass over their table (DeleteInOnePass).
    bool GoesWith(const MsiDeleteModification& next) const;

private:
    friend size_t DeleteInOnePass(MSIHANDLE database, const std::vector<const MsiDeleteModification*>& run);
    // The first of the rows the condition selects, fetched and deleted by itself.
    void DeleteOneOfSeveral(MSIHANDLE database);

    std::wstring table_;
    RowCondition condition_;
    std::wstring stream_name_; // empty when the row has none
    // For a deletion by key of a row without streams: the row's ConditionText and which of the
    // condition's cells are integers. Empty otherwise.
    std::wstring pass_text_;
    std::vector<bool> integers_;
};

// How many of the rows the query selects read as each text.
std::unordered_map<std::wstring, int> CountRowTexts(MSIHANDLE database, const std::wstring& sql,
                                                    ConditionTextReader& reader);
// Deletes the rows the query selects whose text is wanted: one row for each place listed under its text,
// first listed first; `deleted` (may be empty) is told each place as its row goes and may stop it there
// (false). The library searches the whole table for each DELETE; this is one pass over it. Throws when a
// pass finds none of the rows still wanted.
void DeleteRowsByText(MSIHANDLE database, const std::wstring& sql, ConditionTextReader& reader,
                      std::unordered_map<std::wstring, std::deque<size_t>> wanted,
                      const std::function<bool(size_t place)>& deleted);

// Makes the deletions (all of one table, each GoesWith the next) as their Apply would one after another,
// with one pass over the table's keys to find them and one over its rows to delete them: a DELETE
// searches the whole table. Returns how many went: those before the first whose row the database does
// not have (that one and those after it are left to their own Apply, which fails as it should).
size_t DeleteInOnePass(MSIHANDLE database, const std::vector<const MsiDeleteModification*>& run);

// A row found by its old key and replaced whole by the values it had after the change (a key change
// moves it). Finding no row, or more than one, is an error.
class MsiModifyModification : public MsiModification
{
public:
    MsiModifyModification(std::wstring table, RowCondition condition, std::vector<LoggedCell> values);
    void Apply(MSIHANDLE database, ViewCache* cache) override;

    const RowCondition& condition() const { return condition_; }
    const std::vector<LoggedCell>& values() const { return values_; }

private:
    // Whether the new values name the row by the same key as the condition.
    bool KeepsKey() const;
    // The change made on the fetched row itself when it keeps its key, has no streams and has columns
    // besides the key; false when it must be made by replacing the row.
    bool UpdateInPlace(MSIHANDLE database, ViewCache* cache);

    std::wstring table_;
    RowCondition condition_;
    std::vector<LoggedCell> values_;
};

// A code page forced on the database through a "_ForceCodepage" table file.
class MsiCodepageModification : public MsiModification
{
public:
    explicit MsiCodepageModification(UINT code_page) : code_page_(code_page) {}
    void Apply(MSIHANDLE database, ViewCache* cache) override;
    UINT code_page() const { return code_page_; }

private:
    UINT code_page_;
};

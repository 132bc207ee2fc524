#pragma once
// The owner row of each row of a `_Streams` table: the row of another table whose stream cell the stream
// holds. The installer names such a stream after its owner: the table, ".", and the row's keys joined by
// "." (a null key leaves its part empty). The map follows the other tables through their events: a row
// that gains, changes or loses its stream cell, or is deleted, changes the `_Streams` rows in memory the
// way the database changes its own.
#include "model/MsiFile.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

class StreamOwners
{
public:
    struct Owner
    {
        MsiTable* table = nullptr;
        RowIterator row;
    };

    // changed is called after `_Streams` rows were added or removed; table_level tells whether a table
    // event (a dropped table, an added row) caused it.
    StreamOwners(MsiTable& streams, std::function<void(bool table_level)> changed);
    ~StreamOwners();
    StreamOwners(const StreamOwners&) = delete;
    StreamOwners& operator=(const StreamOwners&) = delete;

    // The owner of a `_Streams` row; false when it has none.
    bool FindOwner(RowIterator stream, Owner& owner) const;
    // A stream of the database itself (its name starts with "\x05"), such as its summary information.
    static bool IsDatabaseStream(const std::wstring& name) { return !name.empty() && name[0] == L'\x05'; }

    // The installer's name for the stream of a row.
    static std::wstring StreamName(const MsiTable& table, const MsiRow& row);
    // The first stream column of a table, or null.
    static const MsiFieldDef* FirstStreamColumn(const MsiTable& table);

private:
    using RowSubscriber = EventEngineSubscriber<RowIterator, MsiTable::RowEvents, RowIteratorLess>;
    using TableSubscriber = EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>;
    using FileSubscriber = EventEngineSubscriber<MsiFile*, MsiTable*>;

    struct RowWatch : RowSubscriber
    {
        explicit RowWatch(StreamOwners& owners) : owners_(owners) {}
        bool notify(const RowIterator& row, const MsiTable::RowEvents& event, Engine& engine) override
        {
            return owners_.OnRowEvent(row, event, engine);
        }
        StreamOwners& owners_;
    };
    struct TableWatch : TableSubscriber
    {
        explicit TableWatch(StreamOwners& owners) : owners_(owners) {}
        bool notify(MsiTable* const& table, const MsiFile::TableEventArg& event, Engine&) override
        {
            return owners_.OnTableEvent(*table, event);
        }
        StreamOwners& owners_;
    };
    struct FileWatch : FileSubscriber
    {
        explicit FileWatch(StreamOwners& owners) : owners_(owners) {}
        bool notify(MsiFile* const&, MsiTable* const& table, Engine&) override
        {
            owners_.WatchTable(*table, false);
            return false;
        }
        StreamOwners& owners_;
    };

    bool OnRowEvent(RowIterator row, MsiTable::RowEvents event, MsiTable::RowEventEngine& engine);
    bool OnTableEvent(MsiTable& table, const MsiFile::TableEventArg& event);
    // Table events of a table with a stream column, and the row events of each of its rows.
    void WatchTable(MsiTable& table, bool with_rows);
    void WatchRow(MsiTable& table, RowIterator row);
    void StopWatching(MsiTable& table);
    void Pair(RowIterator stream, MsiTable& table, RowIterator owner);
    bool AddRowStreams(MsiTable& table, RowIterator row);
    bool RemoveRowStreams(RowIterator row);

    MsiTable& streams_;
    MsiFile* file_;
    std::function<void(bool)> changed_;
    RowWatch row_watch_;
    TableWatch table_watch_;
    FileWatch file_watch_;
    std::unordered_map<const MsiRow*, Owner> owner_of_stream_;
    std::unordered_multimap<const MsiRow*, RowIterator> streams_of_owner_;
    std::set<MsiTable*> watched_tables_;
    std::map<const MsiTable::RowEventEngine*, MsiTable*> row_engines_;
};

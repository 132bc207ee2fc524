#include "model/lookups/StreamOwners.h"

#include <stdexcept>

StreamOwners::StreamOwners(MsiTable& streams, std::function<void(bool table_level)> changed)
    : streams_(streams), file_(streams.owner()), changed_(std::move(changed)), row_watch_(*this),
      table_watch_(*this), file_watch_(*this)
{
    if (!file_)
        return;
    std::unordered_map<std::wstring, RowIterator> by_name;
    const MsiFieldDef& name_column = *streams_.columns().at(0);
    for (RowIterator stream = streams_.rows().begin(); stream != streams_.rows().end(); ++stream)
        by_name.emplace(name_column.display_str(*stream->at(0)), stream);
    for (auto& entry : file_->tables()) {
        MsiTable& table = *entry.second;
        WatchTable(table, true);
        const MsiFieldDef* column = FirstStreamColumn(table);
        if (!column || !watched_tables_.count(&table))
            continue;
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
            if (row->at(column->column_index())->is_null())
                continue;
            auto stream = by_name.find(StreamName(table, *row));
            if (stream != by_name.end())
                Pair(stream->second, table, row);
        }
    }
    file_->file_events().Subscribe(file_, &file_watch_);
}

StreamOwners::~StreamOwners()
{
    if (!file_)
        return;
    file_->file_events().Unsubscribe(&file_watch_);
    file_->table_events().Unsubscribe(&table_watch_);
    for (MsiTable* table : watched_tables_)
        table->row_events().Unsubscribe(&row_watch_);
}

const MsiFieldDef* StreamOwners::FirstStreamColumn(const MsiTable& table)
{
    for (const MsiFieldDefRef& column : table.columns()) {
        if (column->kind() == MsiFieldKind::Binary)
            return column.get();
    }
    return nullptr;
}

std::wstring StreamOwners::StreamName(const MsiTable& table, const MsiRow& row)
{
    std::wstring name = table.name();
    for (const MsiFieldDefRef& column : table.columns()) {
        if (!column->is_key())
            continue;
        const MsiFieldData& cell = *row.at(column->column_index());
        name += L'.';
        if (!cell.is_null())
            name += column->clipboard_str(cell);
    }
    return name;
}

bool StreamOwners::FindOwner(RowIterator stream, Owner& owner) const
{
    auto found = owner_of_stream_.find(&*stream);
    if (found == owner_of_stream_.end())
        return false;
    owner = found->second;
    return true;
}

void StreamOwners::WatchTable(MsiTable& table, bool with_rows)
{
    if (&table == &streams_ || !table.user_table() || !FirstStreamColumn(table))
        return;
    if (!watched_tables_.insert(&table).second)
        return;
    file_->table_events().Subscribe(&table, &table_watch_);
    row_engines_[&table.row_events()] = &table;
    if (with_rows) {
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
            WatchRow(table, row);
    }
}

void StreamOwners::WatchRow(MsiTable& table, RowIterator row)
{
    table.row_events().Subscribe(row, &row_watch_);
}

void StreamOwners::StopWatching(MsiTable& table)
{
    if (!watched_tables_.erase(&table))
        return;
    table.row_events().Unsubscribe(&row_watch_);
    row_engines_.erase(&table.row_events());
    file_->table_events().Unsubscribe(&table, &table_watch_);
}

void StreamOwners::Pair(RowIterator stream, MsiTable& table, RowIterator owner)
{
    owner_of_stream_[&*stream] = Owner{&table, owner};
    streams_of_owner_.emplace(&*owner, stream);
}

bool StreamOwners::AddRowStreams(MsiTable& table, RowIterator row)
{
    WatchRow(table, row);
    const MsiFieldDef* column = FirstStreamColumn(table);
    if (!column)
        return false;
    const MsiFieldData& cell = *row->at(column->column_index());
    if (cell.is_null())
        return false;
    std::wstring name = StreamName(table, *row);
    // A stream of that name that nobody owns yet (the database keeps some after their rows went) is
    // the row's own.
    const MsiFieldDef& name_column = *streams_.columns().at(0);
    for (RowIterator stream = streams_.rows().begin(); stream != streams_.rows().end(); ++stream) {
        if (!owner_of_stream_.count(&*stream) && name_column.display_str(*stream->at(0)) == name) {
            Pair(stream, table, row);
            return true;
        }
    }
    MsiRow stream_row;
    for (size_t at = 0; at < streams_.columns().size(); ++at)
        stream_row.push_back(MakeNullFieldData());
    stream_row.at(0) = MsiFieldDataRef(new MsiFieldData(name));
    if (stream_row.size() > 1) {
        MsiFieldDataRef data(new MsiFieldData());
        data->set_bytes(cell.bytes());
        stream_row[1] = data;
    }
    Pair(AppendRow(streams_.rows(), stream_row), table, row);
    return true;
}

bool StreamOwners::RemoveRowStreams(RowIterator row)
{
    auto range = streams_of_owner_.equal_range(&*row);
    if (range.first == range.second)
        return false;
    for (auto it = range.first; it != range.second; ++it) {
        owner_of_stream_.erase(&*it->second);
        streams_.rows().erase(it->second);
    }
    streams_of_owner_.erase(range.first, range.second);
    return true;
}

bool StreamOwners::OnRowEvent(RowIterator row, MsiTable::RowEvents event, MsiTable::RowEventEngine& engine)
{
    auto table = row_engines_.find(&engine);
    if (table == row_engines_.end())
        return false;
    if (event == MsiTable::RowDeleted) {
        bool removed = RemoveRowStreams(row);
        // The row's place may soon hold another row.
        engine.Unsubscribe(row, &row_watch_);
        if (removed)
            changed_(false);
        return true;
    }
    bool removed = RemoveRowStreams(row);
    bool added = AddRowStreams(*table->second, row);
    if (removed || added)
        changed_(false);
    return false;
}

bool StreamOwners::OnTableEvent(MsiTable& table, const MsiFile::TableEventArg& event)
{
    switch (std::get<0>(event)) {
    case MsiFile::SchemaChanged:
        throw std::runtime_error("MsiStreamsTableLookup does not yet support table schema changes");
    case MsiFile::TableDropped: {
        bool removed = false;
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
            removed = RemoveRowStreams(row) || removed;
        StopWatching(table);
        if (removed)
            changed_(true);
        return true;
    }
    case MsiFile::RowAdded:
        if (AddRowStreams(table, std::get<1>(event)))
            changed_(true);
        return false;
    case MsiFile::RowModified:
    case MsiFile::RowDeleted:
        break;
    }
    return false;
}

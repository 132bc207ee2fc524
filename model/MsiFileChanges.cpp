// Row and table changes of an open database. Each change is made on the database first and logged only
// when that worked, so the log never holds a change the database refused and a save to another path
// replays exactly what the open database holds; memory, row references and events follow.
#include "model/MsiFile.h"
#include "model/MsiModification.h"
#include "model/MsiQuery.h"
#include "foundation/Format.h"

#include <stdexcept>

namespace {

// A new cell for the row with the value as its column stores values.
MsiFieldDataRef StoredValue(const MsiFieldDef& column, const MsiFieldData& value)
{
    if (value.is_null())
        return MakeNullFieldData();
    switch (column.kind()) {
    case MsiFieldKind::Integer:
        return MakeIntegerFieldData(column.integer_value(value));
    case MsiFieldKind::String: {
        std::wstring text = column.display_str(value);
        return MsiFieldData::MakeText(text.data(), text.size());
    }
    case MsiFieldKind::Binary:
        break;
    }
    MsiFieldDataRef cell(new MsiFieldData());
    cell->set_bytes(value.bytes());
    return cell;
}

} // namespace

void MsiFile::ApplyAndLog(const std::shared_ptr<MsiModification>& entry)
{
    // Wine takes changes into a database opened read-only and then can never save them.
    if (read_only_ || !database_)
        throw std::runtime_error("The database is open read-only");
    std::lock_guard<std::mutex> hold(change_lock_);
    view_cache_.Bind(database_);
    entry->Apply(database_.get(), &view_cache_);
    Log(entry);
}

void MsiFile::Log(const std::shared_ptr<MsiModification>& entry)
{
    if (change_log_.empty())
        original_.KeepCopy();
    change_log_.push_back(entry);
}

MsiTable& MsiFile::TableOfColumn(const MsiFieldDef& column)
{
    for (auto& entry : tables_) {
        for (const MsiFieldDefRef& candidate : entry.second->columns()) {
            if (candidate.get() == &column)
                return *entry.second;
        }
    }
    throw std::runtime_error("The column belongs to no table of the database");
}

RowIterator MsiFile::AddRow(MsiTable& table, const MsiRow& row)
{
    if (row.size() != table.columns().size())
        throw std::runtime_error("The row does not hold one value for every column of the table");
    ApplyAndLog(std::make_shared<MsiInsertModification>(table, row));
    RowIterator added = AppendRow(table.rows(), row);
    relationships_.UpdateForRowChange(table, false, true, nullptr, added);
    table_events_.Notify(&table, TableEventArg(RowAdded, added));
    return added;
}

void MsiFile::DeleteRow(MsiTable& table, RowIterator row)
{
    ApplyAndLog(std::make_shared<MsiDeleteModification>(table, *row));
    // Told while the row can still be read.
    table.row_events().Notify(row, MsiTable::RowDeleted);
    table_events_.Notify(&table, TableEventArg(RowDeleted, row));
    relationships_.UpdateForRowChange(table, true, false, nullptr, row);
    table.rows().erase(row);
}

void MsiFile::ModifyRow(const MsiFieldDef& column, RowIterator row, const MsiFieldDataRef& value)
{
    ModifyRow(TableOfColumn(column), column, row, value);
}

void MsiFile::ModifyRow(MsiTable& table, const MsiFieldDef& column, RowIterator row,
                        const MsiFieldDataRef& value)
{
    if (column.column_index() < 0 || static_cast<size_t>(column.column_index()) >= table.columns().size())
        throw std::runtime_error("The column belongs to no table of the database");
    const MsiFieldDef& own_column = *table.columns()[column.column_index()];
    // The whole row is written back, so its streams must be in files (extracting again does nothing).
    table.ExtractRowBinaries(*row);
    RowCondition old_key = KeyCondition(table, *row);
    // Cells read from a database may be shared by several rows (nulls by all of them): the row gets a new
    // cell rather than a change to the one it holds.
    MsiFieldDataRef& held = (*row)[own_column.column_index()];
    MsiFieldDataRef before = held;
    held = StoredValue(own_column, *value);
    try {
        ApplyAndLog(std::make_shared<MsiModifyModification>(table.name(), old_key, LogRow(table, *row)));
    } catch (...) {
        held = before;
        throw;
    }
    relationships_.UpdateForRowChange(table, true, true, &own_column, row);
    table.row_events().Notify(row, MsiTable::RowModified);
    table_events_.Notify(&table, TableEventArg(RowModified, row));
}

MsiTableRef MsiFile::AddTableWithRows(MsiTable& source)
{
    // Rows are copied through files: streams still in the source's database are read out first.
    source.ExtractBinaries();
    ApplyAndLog(std::make_shared<MsiSqlModification>(source.CreateSql(), std::vector<LoggedCell>(), true));
    MsiTableRef table(new MsiTable(source.name(), this, true, true));
    tables_[source.name()] = table;
    relationships_.AddTable(*table, *this);
    file_events_.Notify(this, table.get());
    for (const MsiRow& source_row : source.rows()) {
        MsiRow row;
        row.reserve(source_row.size());
        for (size_t at = 0; at < source_row.size(); ++at)
            row.push_back(source.columns()[at]->clone_data(*source_row[at]));
        AddRow(*table, row);
    }
    RefreshSchemaTables();
    return table;
}

void MsiFile::DropTable(MsiTable& table)
{
    MsiTableRef keep(&table); // alive for the subscribers, whatever the map held
    ApplyAndLog(std::make_shared<MsiSqlModification>(L"DROP TABLE " + MsiQuery::QuoteName(table.name()),
                                                     std::vector<LoggedCell>(), true));
    relationships_.RemoveTable(table);
    // Told while the table is still in the map.
    table_events_.Notify(&table, TableEventArg(TableDropped, table.rows().end()));
    EraseTable(table.name());
    RefreshSchemaTables();
}

void MsiFile::MergeTables(MsiFile& other)
{
    for (auto& entry : other.tables()) {
        MsiTable& source = *entry.second;
        if (!source.user_table())
            continue;
        try {
            source.ExtractBinaries();
            MsiTableRef mine = FindTable(source.name());
            if (!mine) {
                AddTableWithRows(source);
                continue;
            }
            for (const MsiRow& row : mine->MergeFrom(source))
                AddRow(*mine, row);
        } catch (...) {
            tfc::Format(L"Failed to merge the table %s") << source.name();
            throw;
        }
    }
    RefreshSchemaTables();
}

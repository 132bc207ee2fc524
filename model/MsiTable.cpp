#include "model/MsiTable.h"
#include "model/MsiModification.h"
#include "model/installer/MsiApi.h"
#include "model/MsiFile.h"
#include "model/MsiQuery.h"
#include "model/MsiSchema.h"
#include "model/SharedCells.h"
#include "foundation/Clipboard.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <stdexcept>

namespace {

// text: a buffer kept for the whole load, so a text costs no block but the cell's own.
MsiFieldDataRef ReadCell(MSIHANDLE record, UINT field, const MsiFieldDef& column, std::vector<wchar_t>& text,
                         SharedCells::Column& shared)
{
    // A fetched number is the null integer only when its field is null, and a fetched text is empty only
    // when its field is null: a cell costs one library call.
    switch (column.kind()) {
    case MsiFieldKind::Integer: {
        int value = msi::RecordGetColumnInteger(record, field, column.width());
        return value == static_cast<int>(MSI_NULL_INTEGER) ? SharedNullFieldData() : shared.Integer(value);
    }
    case MsiFieldKind::Binary: {
        if (msi::RecordIsNull(record, field))
            return SharedNullFieldData();
        // The bytes stay in the database until the cell is extracted.
        MsiFieldDataRef cell(new MsiFieldData());
        MsiBinaryData().StoreInto(*cell);
        return cell;
    }
    case MsiFieldKind::String:
        break;
    }
    size_t length = msi::RecordGetString(record, field, text);
    return shared.Text(text.data(), length);
}

// A view of every row, fetched again when dropped: Wine keeps a stream where the last read left it, and a
// commit would write it from there.
class RewoundView
{
public:
    RewoundView(MSIHANDLE database, const std::wstring& table)
        : view_(MsiQuery::OpenAndExecute(database, L"SELECT * FROM " + MsiQuery::QuoteName(table), 0))
    {
    }
    ~RewoundView()
    {
        MsiViewClose(view_.get());
        if (MsiViewExecute(view_.get(), 0) != ERROR_SUCCESS)
            return;
        MSIHANDLE record = 0;
        while (MsiViewFetch(view_.get(), &record) == ERROR_SUCCESS)
            MsiCloseHandle(record);
    }
    RewoundView(const RewoundView&) = delete;
    RewoundView& operator=(const RewoundView&) = delete;

    MsiHandle Fetch() { return msi::ViewFetch(view_.get()); }

private:
    MsiHandle view_;
};

// The key text of a fetched row of all columns, as RowKeyText names the row.
std::wstring RecordKeyText(const MsiTable& table, MSIHANDLE record, std::vector<wchar_t>& text)
{
    SharedCells cells;
    MsiRow row(table.columns().size());
    for (const MsiFieldDefRef& column : table.columns()) {
        if (column->is_key()) {
            SharedCells::Column shared(cells, true);
            size_t at = column->column_index();
            row[at] = ReadCell(record, static_cast<UINT>(at + 1), *column, text, shared);
        }
    }
    return table.RowKeyText(row);
}

std::wstring JoinedNames(const MsiColumns& columns, bool keys_only)
{
    std::wstring text;
    for (const MsiFieldDefRef& column : columns) {
        if (keys_only && !column->is_key())
            continue;
        if (!text.empty())
            text += L", ";
        text += MsiQuery::QuoteName(column->name());
    }
    return text;
}

} // namespace

RowIterator AppendRow(MsiRowList& rows, const MsiRow& row)
{
    return rows.insert(rows.end(), row);
}

MsiTable::MsiTable(const std::wstring& name, MsiFile* owner, bool user_table, bool read_keys,
                   SharedCells* shared)
    : name_(name), owner_(owner), user_table_(user_table)
{
    Load(database_handle(), read_keys, shared);
}

MsiTable::MsiTable(const std::wstring& name, MsiFile* owner) : name_(name), owner_(owner), user_table_(true)
{
}

MsiTable::~MsiTable() = default;

MSIHANDLE MsiTable::database_handle() const
{
    if (!owner_ || !owner_->handle())
        throw std::runtime_error("The table belongs to no open database");
    return owner_->handle();
}

void MsiTable::Load(MSIHANDLE database, bool read_keys, SharedCells* shared)
{
    std::set<std::wstring> keys;
    if (read_keys) {
        MsiHandle record = msi::DatabaseGetPrimaryKeys(database, name_);
        UINT count = msi::RecordGetFieldCount(record.get());
        for (UINT field = 1; field <= count; ++field)
            keys.insert(MsiRecord::GetString(record.get(), field));
    }
    MsiHandle view = MsiQuery::OpenAndExecute(database, L"SELECT * FROM " + MsiQuery::QuoteName(name_), 0);
    MsiHandle types = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_TYPES);
    MsiHandle names = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
    UINT count = msi::RecordGetFieldCount(names.get());
    std::shared_ptr<MsiSchema> schema = MsiSchema::Instance();
    MsiColumns columns;
    for (UINT field = 1; field <= count; ++field) {
        std::wstring column = MsiRecord::GetString(names.get(), field);
        columns.push_back(MakeFieldDef(column, keys.count(column) > 0,
                                       MsiRecord::GetString(types.get(), field), static_cast<int>(field - 1),
                                       schema->FindField(name_, column)));
    }
    columns_ = columns;
    std::vector<wchar_t> text;
    SharedCells own;
    std::vector<SharedCells::Column> sharing;
    sharing.reserve(count);
    for (const MsiFieldDefRef& column : columns_)
        sharing.emplace_back(shared ? *shared : own, column->is_key());
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        MsiRow row;
        row.reserve(count);
        for (UINT field = 1; field <= count; ++field)
            row.push_back(ReadCell(record.get(), field, *columns_[field - 1], text, sharing[field - 1]));
        rows_.push_back(std::move(row));
    }
}

MsiFieldDefRef MsiTable::FindColumn(const std::wstring& name) const
{
    for (const MsiFieldDefRef& column : columns_) {
        if (column->name() == name)
            return column;
    }
    return MsiFieldDefRef();
}

bool MsiTable::HasKeyColumns() const
{
    for (const MsiFieldDefRef& column : columns_) {
        if (column->is_key())
            return true;
    }
    return false;
}

std::wstring MsiTable::CreateSql() const
{
    std::wstring sql = L"CREATE TABLE " + MsiQuery::QuoteName(name_) + L" (";
    for (size_t at = 0; at < columns_.size(); ++at) {
        if (at)
            sql += L", ";
        sql += columns_[at]->sql_definition();
    }
    return sql + L" PRIMARY KEY " + JoinedNames(columns_, true) + L")";
}

std::wstring MsiTable::InsertSql() const
{
    std::wstring marks;
    for (size_t at = 0; at < columns_.size(); ++at)
        marks += at ? L", ?" : L"?";
    return L"INSERT INTO " + MsiQuery::QuoteName(name_) + L" (" + JoinedNames(columns_, false) +
           L") VALUES (" + marks + L")";
}

SqlCondition MsiTable::KeyWhereClause(const MsiRow& row) const
{
    // One builder for every statement that names a row.
    RowCondition condition = KeyCondition(*this, row);
    return SqlCondition{condition.text, RecordFromCells(condition.params, true)};
}

std::vector<std::wstring> MsiTable::KeyValues(const MsiRow& row) const
{
    bool keyed = HasKeyColumns();
    std::vector<std::wstring> values;
    for (const MsiFieldDefRef& column : columns_) {
        if (!keyed || column->is_key())
            values.push_back(column->display_str(*row[column->column_index()]));
    }
    return values;
}

std::wstring MsiTable::RowKeyText(const MsiRow& row) const
{
    std::wstring text;
    std::vector<std::wstring> values = KeyValues(row);
    for (size_t at = 0; at < values.size(); ++at) {
        if (at)
            text += L"|";
        text += values[at];
    }
    return text;
}

std::wstring MsiTable::RowText(MsiRow& row)
{
    std::wstring text;
    for (size_t at = 0; at < columns_.size(); ++at) {
        const MsiFieldDef& column = *columns_[at];
        if (column.kind() == MsiFieldKind::Binary)
            ExtractCell(row, column);
        if (at)
            text += L"\t";
        text += QuoteClipboardCell(column.clipboard_str(*row[at]));
    }
    return text;
}

MsiHandle MsiTable::RecordFromRow(const MsiRow& row) const
{
    MsiHandle record = msi::CreateRecord(static_cast<UINT>(columns_.size()));
    for (size_t at = 0; at < columns_.size(); ++at)
        columns_[at]->set_record_data(record.get(), static_cast<UINT>(at + 1), *row[at]);
    return record;
}

void MsiTable::Create(MSIHANDLE database) const
{
    MsiQuery::OpenAndExecute(database, CreateSql(), 0);
}

void MsiTable::InsertRows(MSIHANDLE database) const
{
    std::wstring sql = InsertSql();
    MsiHandle view = MsiQuery::OpenView(database, sql);
    for (const MsiRow& row : rows_) {
        // A fresh record each time: a record's streams are used up by the execute that writes them.
        MsiHandle record = RecordFromRow(row);
        MsiQuery::Execute(view.get(), sql, record.get());
    }
}

void MsiTable::ExtractBinaries()
{
    for (MsiRow& row : rows_)
        ExtractRowBinaries(row);
}

void MsiTable::ExtractRowBinaries(MsiRow& row)
{
    for (const MsiFieldDefRef& column : columns_)
        ExtractCell(row, *column);
}

void MsiTable::ExtractCell(MsiRow& row, const MsiFieldDef& column)
{
    MsiFieldData& cell = *row[column.column_index()];
    if (column.kind() != MsiFieldKind::Binary || cell.is_null())
        return;
    if (MsiBinaryData(cell).state == MsiBinaryData::Extracted)
        return;
    MsiBinaryData::Extract(cell, database_handle(), KeyWhereClause(row), name_, column.name());
}

bool MsiTable::SameStream(MsiRow& row, const MsiFieldDef& column, MsiTable& other, MsiRow& other_row,
                          const MsiFieldDef& other_column)
{
    MsiFieldData& cell = *row[column.column_index()];
    MsiFieldData& other_cell = *other_row[other_column.column_index()];
    if (cell.is_null() || other_cell.is_null())
        return cell.is_null() == other_cell.is_null();
    if (MsiBinaryData(cell).state != MsiBinaryData::Extracted &&
        MsiBinaryData(other_cell).state != MsiBinaryData::Extracted) {
        SqlCondition where = KeyWhereClause(row);
        SqlCondition other_where = other.KeyWhereClause(other_row);
        return MsiBinaryData::SameContent(
            {database_handle(), &where, name_, column.name()},
            {other.database_handle(), &other_where, other.name_, other_column.name()});
    }
    ExtractCell(row, column);
    other.ExtractCell(other_row, other_column);
    MsiBinaryData data(cell), other_data(other_cell);
    return data.digest && other_data.digest && *data.digest == *other_data.digest;
}

size_t MsiTable::FirstStreamDifference(const MsiFieldDef& column, MsiTable& other,
                                       const MsiFieldDef& other_column,
                                       const std::vector<std::pair<MsiRow*, MsiRow*>>& rows)
{
    // Cells extracted or null on either side, and rows of tables without keys, go one by one.
    std::unordered_map<std::wstring, size_t> mine, theirs;
    bool keyed = HasKeyColumns() && other.HasKeyColumns();
    for (size_t at = 0; at < rows.size(); ++at) {
        MsiFieldData& cell = *(*rows[at].first)[column.column_index()];
        MsiFieldData& other_cell = *(*rows[at].second)[other_column.column_index()];
        if (keyed && !cell.is_null() && !other_cell.is_null() &&
            MsiBinaryData(cell).state != MsiBinaryData::Extracted &&
            MsiBinaryData(other_cell).state != MsiBinaryData::Extracted) {
            mine.emplace(RowKeyText(*rows[at].first), at);
            theirs.emplace(other.RowKeyText(*rows[at].second), at);
        } else if (!SameStream(*rows[at].first, column, other, *rows[at].second, other_column)) {
            return at;
        }
    }
    if (mine.size() < 2) {
        for (const auto& entry : mine)
            if (!SameStream(*rows[entry.second].first, column, other, *rows[entry.second].second,
                            other_column))
                return entry.second;
        return rows.size();
    }
    std::vector<wchar_t> text;
    RewoundView view(database_handle(), name_);
    // Dropped before the view is fetched again.
    std::vector<MsiHandle> records(rows.size());
    while (MsiHandle record = view.Fetch()) {
        auto found = mine.find(RecordKeyText(*this, record.get(), text));
        if (found != mine.end())
            records[found->second] = std::move(record);
    }
    RewoundView other_view(other.database_handle(), other.name_);
    UINT field = static_cast<UINT>(column.column_index() + 1);
    UINT other_field = static_cast<UINT>(other_column.column_index() + 1);
    size_t first = rows.size();
    size_t compared = 0;
    while (MsiHandle record = other_view.Fetch()) {
        auto found = theirs.find(RecordKeyText(other, record.get(), text));
        if (found == theirs.end() || !records[found->second])
            continue;
        ++compared;
        if (!MsiBinaryData::SameFieldContent(records[found->second].get(), field, record.get(),
                                             other_field)) {
            first = found->second;
            break;
        }
    }
    if (first == rows.size() && compared != mine.size())
        throw std::runtime_error("Failed to find the specified binary record");
    return first;
}

void MsiTable::CopyFrom(const MsiTable& other)
{
    MsiRowList rows;
    for (const MsiRow& source : other.rows_) {
        MsiRow row;
        row.reserve(source.size());
        for (size_t at = 0; at < source.size(); ++at)
            row.push_back(other.columns_[at]->clone_data(*source[at]));
        rows.push_back(std::move(row));
    }
    columns_ = other.columns_;
    rows_.swap(rows);
}

std::vector<MsiRow> MsiTable::MergeFrom(const MsiTable& source)
{
    MsiColumns columns = columns_;
    if (columns.empty()) {
        for (const MsiFieldDefRef& column : source.columns_)
            columns.push_back(MakeConcreteFieldDef(*column));
    }
    // Columns added to a table in a later version come last and may be null.
    auto added_later = [](const MsiFieldDefRef& column) { return column->nullable() && !column->is_key(); };
    if (columns.size() < source.columns_.size() ||
        !std::all_of(columns.begin() + source.columns_.size(), columns.end(), added_later)) {
        tfc::Format(L"Differing field counts. Target: %i. Source: %i")
            << static_cast<unsigned long>(columns.size())
            << static_cast<unsigned long>(source.columns_.size());
        throw tfc::NullError();
    }
    for (size_t at = 0; at < source.columns_.size(); ++at) {
        const MsiFieldDef& target = *columns[at];
        const MsiFieldDef& other = *source.columns_[at];
        unsigned long index = static_cast<unsigned long>(at);
        if (target.name() != other.name()) {
            tfc::Format(L"Differing field names for field index: %i") << index;
            throw tfc::NullError();
        }
        if (target.kind() != other.kind()) {
            tfc::Format(L"Differing field types for field index: %i. Target: %s. Source: %s")
                << index << target.sql_definition() << other.sql_definition();
            throw tfc::NullError();
        }
        if (target.is_key() != other.is_key()) {
            tfc::Format(L"Differing key flags for field index: %i. Target: %s. Source: %s")
                << index << (target.is_key() ? L"key" : L"not key") << (other.is_key() ? L"key" : L"not key");
            throw tfc::NullError();
        }
    }
    columns_ = columns;

    std::set<std::wstring> present;
    for (const MsiRow& row : rows_)
        present.insert(RowKeyText(row));
    std::vector<MsiRow> missing;
    for (const MsiRow& row : source.rows_) {
        if (!present.insert(source.RowKeyText(row)).second)
            continue;
        MsiRow copy;
        copy.reserve(columns.size());
        for (size_t at = 0; at < row.size(); ++at)
            copy.push_back(source.columns_[at]->clone_data(*row[at]));
        while (copy.size() < columns.size())
            copy.push_back(MakeNullFieldData());
        missing.push_back(std::move(copy));
    }
    return missing;
}

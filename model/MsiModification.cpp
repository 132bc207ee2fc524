#include "model/MsiModification.h"
#include "model/installer/DatabaseCodePage.h"
#include "model/installer/MsiApi.h"
#include "model/MsiQuery.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/TransformStreamNames.h"
#include "model/ViewCache.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/TempFiles.h"

#include <climits>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// A cell that names no value in a condition: null, or a number the installer stores as null (the null
// marker, and -32768 in a 2-byte column).
bool IsNullKey(const MsiFieldDef& column, const MsiFieldData& cell)
{
    if (cell.is_null())
        return true;
    const auto* numeric = dynamic_cast<const MsiNumericFieldDef*>(&column);
    return numeric && numeric->holds_null_marker(cell);
}

// The name the installer gives a row's stream: the table, then the key values, joined by ".". Empty when
// the table has no stream column.
std::wstring StreamName(const MsiTable& table, const MsiRow& row)
{
    bool has_stream = false;
    for (const MsiFieldDefRef& column : table.columns())
        has_stream = has_stream || column->kind() == MsiFieldKind::Binary;
    if (!has_stream)
        return std::wstring();
    std::vector<std::wstring> keys;
    for (const MsiFieldDefRef& column : table.columns()) {
        if (!column->is_key())
            continue;
        const MsiFieldData& cell = *row[column->column_index()];
        if (IsNullKey(*column, cell))
            keys.emplace_back();
        else
            keys.push_back(column->kind() == MsiFieldKind::Integer
                               ? std::to_wstring(column->integer_value(cell))
                               : cell.string());
    }
    return msi::RowStreamName(table.name(), keys);
}

bool StreamExists(MSIHANDLE database, const std::wstring& name)
{
    MsiHandle params = msi::CreateRecord(1);
    msi::RecordSetString(params.get(), 1, name);
    MsiHandle view =
        MsiQuery::OpenAndExecute(database, L"SELECT `Name` FROM `_Streams` WHERE `Name`=?", params.get());
    return static_cast<bool>(msi::ViewFetch(view.get()));
}

// The condition testing each of the cells in their order; a null key is found with IS NULL.
RowCondition ConditionOver(const std::vector<LoggedCell>& cells)
{
    RowCondition condition;
    for (const LoggedCell& cell : cells) {
        std::wstring name = MsiQuery::QuoteName(cell.column->name());
        if (!condition.text.empty()) {
            condition.text += L" AND ";
            condition.columns += L", ";
        }
        condition.columns += name;
        // "`K`=?" with a null parameter matches nothing.
        if (IsNullKey(*cell.column, *cell.value)) {
            condition.text += name + L" IS NULL";
        } else {
            condition.text += name + L"=?";
            condition.params.push_back(cell);
        }
    }
    return condition;
}

// A view of the statement ready to execute: the cache's own (closed first) when `cache` is given and
// holds one, else a new one, which `keep` asks to hand to the cache once it has worked.
MsiHandle OpenCachedView(MSIHANDLE database, ViewCache* cache, const std::wstring& sql, bool& keep)
{
    MsiHandle view = cache ? cache->Find(sql) : MsiHandle();
    keep = cache && !view;
    if (view)
        msi::ViewClose(view.get());
    else
        view = MsiQuery::OpenView(database, sql);
    return view;
}

} // namespace

LoggedCell LogCell(const MsiFieldDefRef& column, const MsiFieldData& cell)
{
    return LoggedCell{column, MsiFieldDataRef(new MsiFieldData(cell))};
}

std::vector<LoggedCell> LogRow(const MsiTable& table, const MsiRow& row)
{
    std::vector<LoggedCell> cells;
    cells.reserve(row.size());
    for (size_t at = 0; at < row.size(); ++at)
        cells.push_back(LogCell(table.columns()[at], *row[at]));
    return cells;
}

RowCondition KeyCondition(const MsiTable& table, const MsiRow& row)
{
    bool keyed = table.HasKeyColumns();
    std::vector<LoggedCell> cells;
    for (const MsiFieldDefRef& column : table.columns()) {
        if (keyed ? column->is_key() : column->kind() != MsiFieldKind::Binary)
            cells.push_back(LogCell(column, *row[column->column_index()]));
    }
    return ConditionOver(cells);
}

namespace {

// The columns KeyCondition tests.
bool InCondition(bool keyed, const MsiFieldDef& column)
{
    return keyed ? column.is_key() : column.kind() != MsiFieldKind::Binary;
}

void AppendConditionCell(std::wstring& text, wchar_t kind, const wchar_t* value, size_t size)
{
    if (kind == L's' && size == 0)
        kind = L'n';
    text += kind;
    text += std::to_wstring(size);
    text += L':';
    text.append(value, size);
}

} // namespace

std::wstring ConditionText(const MsiTable& table, const MsiRow& row)
{
    std::wstring text;
    bool keyed = table.HasKeyColumns();
    for (const MsiFieldDefRef& column : table.columns()) {
        if (!InCondition(keyed, *column))
            continue;
        const MsiFieldData& cell = *row[column->column_index()];
        if (IsNullKey(*column, cell)) {
            AppendConditionCell(text, L'n', L"", 0);
        } else if (column->kind() == MsiFieldKind::Integer) {
            std::wstring number = std::to_wstring(column->integer_value(cell));
            AppendConditionCell(text, L'i', number.data(), number.size());
        } else {
            const std::wstring& value = cell.string();
            AppendConditionCell(text, L's', value.data(), value.size());
        }
    }
    return text;
}

ConditionTextReader::ConditionTextReader(const MsiTable& table, bool all_columns)
{
    bool keyed = table.HasKeyColumns();
    UINT number = 0;
    for (const MsiFieldDefRef& column : table.columns()) {
        if (all_columns)
            number = static_cast<UINT>(column->column_index() + 1);
        if (!InCondition(keyed, *column))
            continue;
        if (!all_columns)
            ++number;
        fields_.push_back(Field{number, column->kind() == MsiFieldKind::Integer});
    }
}

ConditionTextReader::ConditionTextReader(const std::vector<bool>& integers)
{
    for (size_t at = 0; at < integers.size(); ++at)
        fields_.push_back(Field{static_cast<UINT>(at + 1), integers[at]});
}

const std::wstring& ConditionTextReader::Read(MSIHANDLE record)
{
    text_.clear();
    for (const Field& field : fields_) {
        if (field.integer) {
            int value = msi::RecordGetInteger(record, field.number);
            if (value == MSI_NULL_INTEGER) {
                AppendConditionCell(text_, L'n', L"", 0);
            } else {
                std::wstring number = std::to_wstring(value);
                AppendConditionCell(text_, L'i', number.data(), number.size());
            }
        } else {
            size_t size = msi::RecordGetString(record, field.number, buffer_);
            AppendConditionCell(text_, L's', buffer_.data(), size);
        }
    }
    return text_;
}

MsiHandle RecordFromCells(const std::vector<LoggedCell>& cells, bool condition)
{
    if (cells.empty())
        return MsiHandle();
    MsiHandle record = msi::CreateRecord(static_cast<UINT>(cells.size()));
    for (size_t at = 0; at < cells.size(); ++at) {
        if (condition)
            cells[at].column->set_condition_data(record.get(), static_cast<UINT>(at + 1), *cells[at].value);
        else
            cells[at].column->set_record_data(record.get(), static_cast<UINT>(at + 1), *cells[at].value);
    }
    return record;
}

MsiSqlModification::MsiSqlModification(std::wstring sql, std::vector<LoggedCell> params, bool changes_schema)
    : sql_(std::move(sql)), params_(std::move(params)), changes_schema_(changes_schema)
{
}

void MsiSqlModification::Apply(MSIHANDLE database, ViewCache* cache)
{
    bool caching = cache && cache->Serves(database);
    if (caching && changes_schema_) {
        // Statements prepared before a table is created or dropped fail afterwards (1627).
        cache->Clear();
        caching = false;
    }
    bool keep = false;
    MsiHandle view = OpenCachedView(database, caching ? cache : nullptr, sql_, keep);
    MsiHandle record = RecordFromCells(params_, condition_params_);
    MsiQuery::Execute(view.get(), sql_, record.get());
    // Only a view that worked is kept.
    if (keep)
        cache->Add(sql_, view);
}

MsiInsertModification::MsiInsertModification(const MsiTable& table, const MsiRow& row)
    : MsiSqlModification(table.InsertSql(), LogRow(table, row)), table_(table.name()),
      stream_name_(StreamName(table, row))
{
}

// The bytes a stream name Wine holds gets once the file is committed and closed; prepared before the
// database changes, so that noting them cannot fail afterwards.
static std::shared_ptr<msi::LayerTempFile> SettledBytes(MSIHANDLE database, const MsiFieldData* cell)
{
    if (!msi::StreamChangesPossible(database)) {
        tfc::Format(L"The installer library cannot rewrite a stream in this database");
        throw tfc::Win32Error(ERROR_CALL_NOT_IMPLEMENTED, L"MsiViewExecute");
    }
    if (!cell || cell->is_null())
        return nullptr;
    return msi::CopyStreamBytes(MsiBinaryData(*cell).path);
}

void MsiInsertModification::Apply(MSIHANDLE database, ViewCache* cache)
{
    // Wine keeps the stream of a deleted row and would give its old bytes to the new row, even to a null
    // cell: the row's own stream takes that name's place once the file is committed and closed.
    bool held = !stream_name_.empty() && StreamExists(database, stream_name_);
    std::shared_ptr<msi::LayerTempFile> bytes;
    if (held) {
        const MsiFieldData* stream = nullptr;
        for (const LoggedCell& cell : params()) {
            if (!stream && cell.column->kind() == MsiFieldKind::Binary)
                stream = cell.value.get();
        }
        bytes = SettledBytes(database, stream);
    }
    MsiSqlModification::Apply(database, cache);
    if (held)
        msi::ChangeStreamLater(database, stream_name_, bytes);
}

MsiDeleteModification::MsiDeleteModification(const std::wstring& table, const RowCondition& condition)
    : MsiSqlModification(L"DELETE FROM " + MsiQuery::QuoteName(table) + L" WHERE " + condition.text,
                         condition.params),
      table_(table), condition_(condition)
{
    condition_params_ = true;
}

MsiDeleteModification::MsiDeleteModification(const MsiTable& table, const MsiRow& row)
    : MsiDeleteModification(table.name(), KeyCondition(table, row))
{
    if (table.name() == L"_Streams")
        stream_name_ = row.empty() ? std::wstring() : row[0]->string();
    else
        stream_name_ = StreamName(table, row);
    if (table.name() != L"_Streams" && stream_name_.empty() && table.HasKeyColumns()) {
        pass_text_ = ConditionText(table, row);
        for (const MsiFieldDefRef& column : table.columns()) {
            if (column->is_key())
                integers_.push_back(column->kind() == MsiFieldKind::Integer);
        }
    }
}

bool MsiDeleteModification::GoesWith(const MsiDeleteModification& next) const
{
    return !pass_text_.empty() && !next.pass_text_.empty() && table_ == next.table_ &&
           condition_.columns == next.condition_.columns && integers_ == next.integers_;
}

std::unordered_map<std::wstring, int> CountRowTexts(MSIHANDLE database, const std::wstring& sql,
                                                    ConditionTextReader& reader)
{
    std::unordered_map<std::wstring, int> present;
    MsiHandle view = MsiQuery::OpenAndExecute(database, sql, 0);
    while (MsiHandle record = msi::ViewFetch(view.get()))
        ++present[reader.Read(record.get())];
    return present;
}

void DeleteRowsByText(MSIHANDLE database, const std::wstring& sql, ConditionTextReader& reader,
                      std::unordered_map<std::wstring, std::deque<size_t>> wanted,
                      const std::function<bool(size_t place)>& deleted)
{
    size_t left = 0;
    for (const auto& entry : wanted)
        left += entry.second.size();
    // The library moves a view back a row when its fetched row is deleted; another pass finds any row a
    // library that does not would pass over.
    while (left > 0) {
        size_t before = left;
        MsiHandle view = MsiQuery::OpenAndExecute(database, sql, 0);
        while (MsiHandle record = msi::ViewFetch(view.get())) {
            auto found = wanted.find(reader.Read(record.get()));
            if (found == wanted.end() || found->second.empty())
                continue;
            msi::ViewModify(view.get(), MSIMODIFY_DELETE, record.get());
            size_t place = found->second.front();
            found->second.pop_front();
            --left;
            if (deleted && !deleted(place))
                return;
            if (left == 0)
                break;
        }
        if (left == before)
            throw std::runtime_error("The row to delete is no longer in the database");
    }
}

size_t DeleteInOnePass(MSIHANDLE database, const std::vector<const MsiDeleteModification*>& run)
{
    if (run.empty())
        return 0;
    const MsiDeleteModification& first = *run.front();
    std::wstring sql = L"SELECT " + first.condition_.columns + L" FROM " + MsiQuery::QuoteName(first.table_);
    ConditionTextReader reader(first.integers_);
    std::unordered_map<std::wstring, int> present = CountRowTexts(database, sql, reader);
    std::unordered_map<std::wstring, std::deque<size_t>> wanted;
    size_t going = 0;
    while (going < run.size() && present[run[going]->pass_text_]-- > 0) {
        wanted[run[going]->pass_text_].push_back(going);
        ++going;
    }
    DeleteRowsByText(database, sql, reader, std::move(wanted), nullptr);
    return going;
}

void MsiDeleteModification::DeleteOneOfSeveral(MSIHANDLE database)
{
    std::wstring sql = L"SELECT * FROM " + MsiQuery::QuoteName(table_) + L" WHERE " + condition_.text;
    MsiHandle params = RecordFromCells(condition_.params, true);
    MsiHandle view = MsiQuery::OpenAndExecute(database, sql, params.get());
    MsiHandle record = msi::ViewFetch(view.get());
    if (!record)
        throw std::runtime_error("The row to delete is no longer in the database");
    msi::ViewModify(view.get(), MSIMODIFY_DELETE, record.get());
}

void MsiDeleteModification::Apply(MSIHANDLE database, ViewCache* cache)
{
    {
        std::wstring sql = L"SELECT " + condition_.columns + L" FROM " + MsiQuery::QuoteName(table_) +
                           L" WHERE " + condition_.text;
        MsiHandle params = RecordFromCells(condition_.params, true);
        MsiHandle view = MsiQuery::OpenAndExecute(database, sql, params.get());
        if (!msi::ViewFetch(view.get()))
            throw std::runtime_error("The row to delete is no longer in the database");
        // Identical rows of a table without key columns: the statement would take them all.
        if (msi::ViewFetch(view.get())) {
            DeleteOneOfSeveral(database);
            return;
        }
    }
    // A stream deleted from `_Streams` makes Wine fault on a later stream insert in the same open: it goes
    // from the file once that is committed and closed.
    if (table_ == L"_Streams") {
        msi::RemoveStreamLater(database, stream_name_);
        return;
    }
    // Wine keeps a deleted row's stream in the file.
    bool held = !stream_name_.empty() && StreamExists(database, stream_name_);
    if (held)
        SettledBytes(database, nullptr);
    MsiSqlModification::Apply(database, cache);
    if (held)
        msi::ChangeStreamLater(database, stream_name_, nullptr);
}

MsiModifyModification::MsiModifyModification(std::wstring table, RowCondition condition,
                                             std::vector<LoggedCell> values)
    : table_(std::move(table)), condition_(std::move(condition)), values_(std::move(values))
{
}

bool MsiModifyModification::KeepsKey() const
{
    // The condition the key of the new values gives, as KeyCondition builds it.
    std::vector<LoggedCell> keys;
    for (const LoggedCell& cell : values_) {
        if (!cell.column->is_key())
            continue;
        if (cell.column->kind() == MsiFieldKind::Binary)
            return false;
        keys.push_back(cell);
    }
    if (keys.empty())
        return false;
    RowCondition fresh = ConditionOver(keys);
    if (fresh.text != condition_.text || fresh.params.size() != condition_.params.size())
        return false;
    for (size_t at = 0; at < fresh.params.size(); ++at) {
        const MsiFieldData& value = *fresh.params[at].value;
        const MsiFieldData& old_value = *condition_.params[at].value;
        if (!value.same_bytes(old_value))
            return false;
    }
    return true;
}

bool MsiModifyModification::UpdateInPlace(MSIHANDLE database, ViewCache* cache)
{
    for (const LoggedCell& cell : values_) {
        if (cell.column->kind() == MsiFieldKind::Binary)
            return false;
    }
    if (!KeepsKey())
        return false;
    // The key stays, so only the other columns are selected and written: an update of a fetched record
    // that holds the key columns costs the library a second search of the table.
    std::vector<const LoggedCell*> written;
    std::wstring columns;
    for (const LoggedCell& cell : values_) {
        if (cell.column->is_key())
            continue;
        if (!columns.empty())
            columns += L", ";
        columns += MsiQuery::QuoteName(cell.column->name());
        written.push_back(&cell);
    }
    if (written.empty())
        return false;
    // The row is changed where it stands: one search of the table, through a view prepared once.
    std::wstring sql =
        L"SELECT " + columns + L" FROM " + MsiQuery::QuoteName(table_) + L" WHERE " + condition_.text;
    bool keep = false;
    MsiHandle view = OpenCachedView(database, cache && cache->Serves(database) ? cache : nullptr, sql, keep);
    MsiHandle params = RecordFromCells(condition_.params, true);
    MsiQuery::Execute(view.get(), sql, params.get());
    MsiHandle record = msi::ViewFetch(view.get());
    if (!record)
        throw std::runtime_error("The row to change is no longer in the database");
    // The condition names every key column, so no second row can match; and the update must follow the
    // fetch of its row directly (fetching past the end moves the view back to its start).
    if (msi::RecordGetFieldCount(record.get()) != written.size())
        return false;
    for (size_t at = 0; at < written.size(); ++at)
        written[at]->column->set_record_data(record.get(), static_cast<UINT>(at + 1), *written[at]->value);
    if (MsiViewModify(view.get(), MSIMODIFY_UPDATE, record.get()) != ERROR_SUCCESS)
        return false;
    if (keep)
        cache->Add(sql, view);
    return true;
}

void MsiModifyModification::Apply(MSIHANDLE database, ViewCache* cache)
{
    if (UpdateInPlace(database, cache))
        return;
    SqlCondition where{condition_.text, RecordFromCells(condition_.params, true)};
    MsiQuery::ReplaceOneRow(database, table_, where, [this](MSIHANDLE record) {
        for (size_t at = 0; at < values_.size(); ++at)
            values_[at].column->set_record_data(record, static_cast<UINT>(at + 1), *values_[at].value);
    });
}

void MsiCodepageModification::Apply(MSIHANDLE database, ViewCache*)
{
    msi::WriteDatabaseCodePage(database, code_page_);
}

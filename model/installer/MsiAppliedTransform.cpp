#include "model/installer/MsiAppliedTransform.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiDroppedTables.h"
#include "model/installer/MsiEmptyTables.h"
#include "model/installer/MsiIndexedApply.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/StoredTables.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformWriter.h"
#include "foundation/Errors.h"
#include "foundation/TempFiles.h"

#include <algorithm>

namespace msi {
namespace detail {
namespace {

bool size_one(const TransformColumn& column)
{
    return (column.type & 0x0800) == 0 && (column.type & 0xFF) == 1;
}

const std::vector<TransformColumn>& tables_schema()
{
    static const std::vector<TransformColumn> schema = {{L"Name", 0x2D40}};
    return schema;
}

// _Columns as its records are stored: Table, Number, Name, Type.
const std::vector<TransformColumn>& columns_schema()
{
    static const std::vector<TransformColumn> schema = {
        {L"Table", 0x2D40}, {L"Number", 0x2502}, {L"Name", 0x0D40}, {L"Type", 0x0502}};
    return schema;
}

MsiHandle stream_row(MSIHANDLE database, const std::wstring& columns, const std::wstring& name)
{
    MsiHandle params = CreateRecord(1);
    RecordSetString(params.get(), 1, name);
    MsiHandle view = DatabaseOpenView(database, L"SELECT " + columns + L" FROM `_Streams` WHERE `Name`=?");
    ViewExecute(view.get(), params.get());
    return ViewFetch(view.get());
}

bool stream_held(MSIHANDLE database, const std::wstring& name)
{
    return static_cast<bool>(stream_row(database, L"`Name`", name));
}

// The bytes the open database reads for the stream, which is put back at its start afterwards.
std::string stream_bytes(MSIHANDLE database, const std::wstring& name)
{
    std::string bytes;
    {
        MsiHandle record = stream_row(database, L"`Data`", name);
        if (!record)
            return bytes;
        char block[65536];
        while (DWORD read = RecordReadStream(record.get(), 1, block, sizeof(block)))
            bytes.append(block, read);
    }
    RewindStream(database, name);
    return bytes;
}

// Whether the table holds a row with the record's keys.
bool row_exists(MSIHANDLE database, const std::wstring& table, const std::vector<TransformColumn>& columns,
                const TransformRow& row)
{
    std::wstring where;
    std::vector<const TransformCell*> keys;
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        if (!columns[i].IsKey())
            continue;
        where += (where.empty() ? L"" : L" AND ") + QuoteName(columns[i].name);
        if (row[i].kind == TransformCell::Null) {
            where += L" IS NULL";
        } else {
            where += L"=?";
            keys.push_back(&row[i]);
        }
    }
    if (where.empty())
        return false;
    MsiHandle params;
    if (!keys.empty()) {
        params = CreateRecord(static_cast<UINT>(keys.size()));
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i]->kind == TransformCell::Integer)
                RecordSetInteger(params.get(), static_cast<UINT>(i + 1), keys[i]->integer);
            else
                RecordSetString(params.get(), static_cast<UINT>(i + 1), keys[i]->text);
        }
    }
    MsiHandle view = DatabaseOpenView(database, L"SELECT " + QuoteName(columns[0].name) + L" FROM " +
                                                    QuoteName(table) + L" WHERE " + where);
    ViewExecute(view.get(), params.get());
    return static_cast<bool>(ViewFetch(view.get()));
}

std::shared_ptr<LayerTempFile> bytes_file(const std::string& bytes)
{
    auto file = std::make_shared<LayerTempFile>();
    HANDLE handle = CreateFileW(file->path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    DWORD written = 0;
    BOOL ok =
        bytes.empty() || WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(handle);
    if (!ok || written != bytes.size())
        throw tfc::Win32Error(ok ? ERROR_WRITE_FAULT : error, L"WriteFile");
    return file;
}

// One table whose records the layer applies itself.
class TableApplier
{
public:
    TableApplier(MSIHANDLE database, const std::wstring& table, const std::vector<TransformColumn>& columns)
        : database_(database), table_(table), columns_(columns)
    {
        has_stream_ = std::any_of(columns.begin(), columns.end(),
                                  [](const TransformColumn& column) { return column.IsStream(); });
        MsiHandle view = DatabaseOpenView(database, L"SELECT * FROM " + QuoteName(table));
        MsiHandle names = ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
        std::map<std::wstring, UINT> field_of;
        for (UINT field = 1; field <= RecordGetFieldCount(names.get()); ++field)
            field_of[RecordGetString(names.get(), field)] = field;
        for (const TransformColumn& column : columns)
            fields_.push_back(field_of[column.name]);
    }

    // As the library applies a record: an insert of an existing key replaces the row, an update of a
    // missing key inserts the keys and the updated cells, a delete of a missing key does nothing.
    void Apply(const TransformRecord& record)
    {
        std::vector<const TransformCell*> params;
        std::wstring where = condition(record.row, params);
        // All columns (Wine replaces only through such views); a temporary column has a field of its own.
        MsiHandle view =
            DatabaseOpenView(database_, L"SELECT * FROM " + QuoteName(table_) + L" WHERE " + where);
        ViewExecute(view.get(), key_record(params).get());
        MsiHandle found = ViewFetch(view.get());
        if (record.IsDelete()) {
            bool exists = static_cast<bool>(found);
            found.reset();
            view.reset();
            if (exists)
                remove(record, where, params);
            return;
        }
        if (found) {
            files_.clear();
            ReplaceFetchedRow(database_, table_, view.get(), found.get(), [&](MSIHANDLE row) {
                for (size_t i = 0; i < columns_.size(); ++i)
                    if (record.IsInsert() || (record.present[i] && !columns_[i].IsKey()))
                        set_cell(row, fields_[i], i, cell_of(record, i));
            });
            return;
        }
        found.reset();
        view.reset();
        insert(record);
    }

private:
    static TransformCell cell_of(const TransformRecord& record, size_t i)
    {
        return record.present[i] ? record.row[i] : TransformCell();
    }

    // Keys take their plain values; a null key is found with IS NULL.
    std::wstring condition(const TransformRow& row, std::vector<const TransformCell*>& params) const
    {
        std::wstring text;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (!columns_[i].IsKey())
                continue;
            text += (text.empty() ? L"" : L" AND ") + QuoteName(columns_[i].name);
            if (row[i].kind == TransformCell::Null) {
                text += L" IS NULL";
            } else {
                text += L"=?";
                params.push_back(&row[i]);
            }
        }
        return text;
    }

    static MsiHandle key_record(const std::vector<const TransformCell*>& params)
    {
        if (params.empty())
            return MsiHandle();
        MsiHandle record = CreateRecord(static_cast<UINT>(params.size()));
        for (size_t i = 0; i < params.size(); ++i) {
            if (params[i]->kind == TransformCell::Integer)
                RecordSetInteger(record.get(), static_cast<UINT>(i + 1), params[i]->integer);
            else
                RecordSetString(record.get(), static_cast<UINT>(i + 1), params[i]->text);
        }
        return record;
    }

    std::wstring stream_name(const TransformRow& row) const
    {
        std::vector<std::wstring> keys;
        for (size_t i = 0; i < columns_.size(); ++i)
            if (columns_[i].IsKey())
                keys.push_back(row[i].KeyText());
        return RowStreamName(table_, keys);
    }

    void set_cell(MSIHANDLE record, UINT field, size_t column, const TransformCell& cell)
    {
        switch (cell.kind) {
        case TransformCell::Null:
            RecordSetString(record, field, nullptr);
            break;
        case TransformCell::Integer:
            RecordSetColumnInteger(record, field, cell.integer, columns_[column].type & 0xFF);
            break;
        case TransformCell::Text:
            RecordSetString(record, field, cell.text);
            break;
        case TransformCell::Stream:
            files_.push_back(bytes_file(cell.bytes));
            RecordSetStream(record, field, files_.back()->path());
            break;
        }
    }

    // Wine keeps the stream of a deleted row: it goes from the file once that is committed and closed.
    void remove(const TransformRecord& record, const std::wstring& where,
                const std::vector<const TransformCell*>& params)
    {
        std::wstring name = has_stream_ ? stream_name(record.row) : std::wstring();
        bool held = !name.empty() && StreamChangesPossible(database_) && stream_held(database_, name);
        MsiHandle view =
            DatabaseOpenView(database_, L"DELETE FROM " + QuoteName(table_) + L" WHERE " + where);
        ViewExecute(view.get(), key_record(params).get());
        if (held)
            ChangeStreamLater(database_, name, nullptr);
    }

    // A name Wine already holds keeps its old bytes in the file: the row's own take its place at close.
    void insert(const TransformRecord& record)
    {
        std::wstring names, marks;
        MsiHandle values = CreateRecord(static_cast<UINT>(columns_.size()));
        files_.clear();
        const TransformCell* stream = nullptr;
        for (size_t i = 0; i < columns_.size(); ++i) {
            names += (i ? L", " : L"") + QuoteName(columns_[i].name);
            marks += i ? L", ?" : L"?";
            TransformCell cell = cell_of(record, i);
            set_cell(values.get(), static_cast<UINT>(i + 1), i, cell);
            if (columns_[i].IsStream() && !stream)
                stream = &record.row[i];
        }
        std::wstring name = has_stream_ ? stream_name(record.row) : std::wstring();
        std::shared_ptr<LayerTempFile> settled;
        bool held = !name.empty() && StreamChangesPossible(database_) && stream_held(database_, name);
        if (held && stream && stream->kind == TransformCell::Stream)
            settled = bytes_file(stream->bytes);
        MsiHandle view = DatabaseOpenView(database_, L"INSERT INTO " + QuoteName(table_) + L" (" + names +
                                                         L") VALUES (" + marks + L")");
        ViewExecute(view.get(), values.get());
        if (held)
            ChangeStreamLater(database_, name, settled);
    }

    MSIHANDLE database_;
    std::wstring table_;
    std::vector<TransformColumn> columns_;
    bool has_stream_ = false;
    std::vector<UINT> fields_;                          // of each column in a view of all columns
    std::vector<std::shared_ptr<LayerTempFile>> files_; // streams of the record being applied
};

} // namespace

int StoredErrorConditions(const std::wstring& path)
{
    try {
        MsiHandle summary = GetSummaryInformation(0, path.c_str(), 0);
        SummaryValue value = SummaryInfoGetProperty(summary.get(), 16);
        return value.type == VT_I4 ? (value.integer & 0x3F) : 0;
    } catch (const tfc::Win32Error&) {
        return 0;
    }
}

AppliedTransform::AppliedTransform(const std::wstring& path) : library_path_(path)
{
    if (!RunningOnWine())
        return;
    try {
        file_.reset(new TransformFile(path));
    } catch (const tfc::Win32Error&) {
        return;
    }
    // What the library refuses stays refused: the copy must never pass for a transform.
    if (!IsEqualCLSID(file_->ClassId(), kTransformClassId))
        file_.reset();
}

void AppliedTransform::UpdateStoredTables(const std::wstring& database_path)
{
    if (!file_)
        return;
    // Tables whose columns the transform changes keep to the library's way.
    std::set<std::wstring> reshaped;
    for (const TransformRecord& record : file_->Records(L"_Tables", tables_schema()))
        if (record.row[0].kind == TransformCell::Text)
            reshaped.insert(record.row[0].text);
    for (const TransformRecord& record : file_->Records(L"_Columns", columns_schema()))
        if (record.row[0].kind == TransformCell::Text)
            reshaped.insert(record.row[0].text);
    std::unique_ptr<StoredTables> stored;
    std::map<std::wstring, std::set<std::pair<size_t, size_t>>> done;
    try {
        stored.reset(new StoredTables(database_path));
        for (const std::wstring& table : file_->Tables()) {
            std::vector<TransformColumn> columns = stored->Columns(table);
            if (table.empty() || table[0] == L'_' || reshaped.count(table) || columns.empty())
                continue;
            const std::vector<TransformRecord>& list = records(table, columns);
            std::vector<bool> applied;
            if (!AppliesIndexed(columns, list.size()) || stored->Update(table, columns, list, applied) == 0)
                continue;
            for (size_t i = 0; i < list.size(); ++i)
                if (applied[i])
                    done[table].emplace(list[i].offset, list[i].size);
        }
    } catch (const tfc::Win32Error&) {
        // Nothing is written yet: the library applies it all.
        return;
    }
    if (done.empty())
        return;
    // A write that fails part-way fails the open: the file may no longer be whole.
    stored->Commit();
    left_out_ = std::move(done);
}

void AppliedTransform::Prepare(MSIHANDLE database, int error_conditions)
{
    if (!file_)
        return;
    for (const auto& cell : file_->CellStreams())
        if (stream_held(database, cell.first))
            held_.insert(cell.first);
    // The columns each table has while the transform is applied: the database's and those it adds.
    std::map<std::wstring, std::vector<TransformColumn>> columns = ReadAllColumns(database);
    for (const TransformRecord& record : file_->Records(L"_Columns", columns_schema())) {
        const TransformRow& row = record.row;
        if (!record.IsDelete() && row[0].kind == TransformCell::Text && row[3].kind == TransformCell::Integer)
            columns[row[0].text].push_back({row[2].text, row[3].integer & 0xFFFF});
    }
    find_errors(database, error_conditions, columns);
    for (const std::wstring& table : file_->Tables()) {
        auto found = columns.find(table);
        if (found == columns.end())
            continue;
        const std::vector<TransformColumn>& list = found->second;
        auto out = left_out_.find(table);
        size_t remaining = records(table, list).size() - (out == left_out_.end() ? 0 : out->second.size());
        if (std::any_of(list.begin(), list.end(), size_one) &&
            std::any_of(list.begin(), list.end(),
                        [](const TransformColumn& column) { return column.IsKey(); }))
            own_tables_.insert(table);
        else if (AppliesIndexed(list, remaining)) {
            own_tables_.insert(table);
            indexed_tables_.insert(table);
        }
    }
    if (!own_tables_.empty() || !left_out_.empty())
        write_copy();
}

void AppliedTransform::find_errors(MSIHANDLE database, int error_conditions,
                                   const std::map<std::wstring, std::vector<TransformColumn>>& columns)
{
    auto meet = [&](const std::wstring& table, const TransformRecord& record, int condition) {
        if (!(error_conditions & condition))
            throw tfc::Win32Error(ERROR_INSTALL_TRANSFORM_FAILURE, L"MsiDatabaseApplyTransform");
        left_out_[table].emplace(record.offset, record.size);
    };
    std::set<std::wstring> listed = ListedTables(database);
    for (const TransformRecord& record : file_->Records(L"_Tables", tables_schema())) {
        if (record.row[0].kind != TransformCell::Text)
            continue;
        bool exists = listed.count(record.row[0].text) != 0;
        if (record.IsDelete() && !exists)
            meet(L"_Tables", record, MSITRANSFORM_ERROR_DELMISSINGTABLE);
        else if (record.IsInsert() && exists)
            meet(L"_Tables", record, MSITRANSFORM_ERROR_ADDEXISTINGTABLE);
    }
    bool skip_updates = (error_conditions & MSITRANSFORM_ERROR_UPDATEMISSINGROW) != 0;
    for (const std::wstring& table : file_->Tables()) {
        auto found = columns.find(table);
        if (table.empty() || table[0] == L'_' || !listed.count(table) || found == columns.end())
            continue;
        for (const TransformRecord& record : records(table, found->second)) {
            if (left_out(table, record))
                continue;
            bool update = !record.IsDelete() && !record.IsInsert();
            if (!record.IsDelete() && !(update && skip_updates))
                continue;
            if (row_exists(database, table, found->second, record.row))
                continue;
            meet(table, record,
                 update ? MSITRANSFORM_ERROR_UPDATEMISSINGROW : MSITRANSFORM_ERROR_DELMISSINGROW);
        }
    }
}

const std::vector<TransformRecord>& AppliedTransform::records(const std::wstring& table,
                                                              const std::vector<TransformColumn>& columns)
{
    auto& entry = records_[table];
    if (entry.first != columns || entry.second.empty()) {
        entry.first = columns;
        entry.second = file_->Records(table, columns);
    }
    return entry.second;
}

bool AppliedTransform::left_out(const std::wstring& table, const TransformRecord& record) const
{
    auto found = left_out_.find(table);
    return found != left_out_.end() && found->second.count(std::make_pair(record.offset, record.size)) != 0;
}

AppliedTransform::~AppliedTransform()
{
    // The library may hold the copy for as long as the database is open: it then goes at exit.
    if (!copy_.empty() && DeleteFileW(copy_.c_str()))
        GlobalTempFiles().Release(copy_);
}

void AppliedTransform::write_copy()
{
    library_has_work_ = false;
    std::vector<std::pair<std::wstring, std::vector<BYTE>>> streams;
    for (const auto& stream : file_->Streams()) {
        bool table_stream = false;
        std::wstring name = UnpackStreamName(stream.first, table_stream);
        std::vector<BYTE> bytes(stream.second.begin(), stream.second.end());
        // Kept, but empty: a table the transform only names is still made.
        if (table_stream && own_tables_.count(name))
            bytes.clear();
        auto out = table_stream ? left_out_.find(name) : left_out_.end();
        if (out != left_out_.end()) {
            std::vector<BYTE> kept;
            kept.reserve(bytes.size());
            size_t from = 0;
            for (const auto& range : out->second) {
                if (range.first < from || range.first + range.second > bytes.size())
                    continue;
                kept.insert(kept.end(), bytes.begin() + from, bytes.begin() + range.first);
                from = range.first + range.second;
            }
            kept.insert(kept.end(), bytes.begin() + std::min(from, bytes.size()), bytes.end());
            bytes = std::move(kept);
            // All of an existing table's records are in: the library need not load it at all.
            if (bytes.empty() && !own_tables_.count(name))
                continue;
        }
        bool pool = table_stream && (name == L"_StringPool" || name == L"_StringData");
        if (table_stream ? !pool && !bytes.empty() : name.empty() || name[0] != L'\005')
            library_has_work_ = true;
        streams.emplace_back(stream.first, std::move(bytes));
    }
    copy_ = GlobalTempFiles().Create(std::wstring());
    WriteStorageFile(copy_, kTransformClassId, streams);
    library_path_ = copy_;
}

bool AppliedTransform::own_stream(const std::wstring& name) const
{
    for (const std::wstring& table : own_tables_)
        if (name.compare(0, table.size() + 1, table + L".") == 0)
            return true;
    return false;
}

// Only where the open database reads the transform's bytes: a record the library did not apply changes
// nothing in the file either.
void AppliedTransform::settle_streams(MSIHANDLE database)
{
    if (!StreamChangesPossible(database))
        return;
    for (const auto& cell : file_->CellStreams()) {
        if (!held_.count(cell.first) || own_stream(cell.first))
            continue;
        if (stream_bytes(database, cell.first) == cell.second)
            ChangeStreamLater(database, cell.first, bytes_file(cell.second));
    }
}

void AppliedTransform::Finish(MSIHANDLE database)
{
    if (!file_)
        return;
    settle_streams(database);
    if (own_tables_.empty())
        return;
    std::set<std::wstring> listed = ListedTables(database);
    std::map<std::wstring, std::vector<TransformColumn>> columns = ReadAllColumns(database);
    for (const std::wstring& table : own_tables_) {
        if (!listed.count(table))
            continue;
        TableApplier applier(database, table, columns[table]);
        const std::vector<TransformRecord>& all = records(table, columns[table]);
        std::vector<TransformRecord> kept;
        if (left_out_.count(table))
            for (const TransformRecord& record : all)
                if (!left_out(table, record))
                    kept.push_back(record);
        const std::vector<TransformRecord>& applied = left_out_.count(table) ? kept : all;
        if (indexed_tables_.count(table)) {
            ApplyIndexed(database, table, columns[table], applied,
                         [&](const TransformRecord& record) { applier.Apply(record); });
            continue;
        }
        for (const TransformRecord& record : applied)
            applier.Apply(record);
    }
}

} // namespace detail
} // namespace msi

// MSIMODIFY_REPLACE, and the emulation used where the library answers 120 (Wine). Wine also refuses a key
// change through MSIMODIFY_UPDATE (1627), so a changed key becomes a delete and an insert of a row built
// from the stored row and the new values. Two Wine facts shape the rest: a record's stream is consumed by
// its first execute (so streams travel through temporary files, set right before each execute), and a
// stream whose name Wine already holds is never rewritten (so the new bytes wait in MsiStreamChanges.h
// and reach the file once it is committed and closed).
#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/TransformStreamNames.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/MessageTrail.h"
#include "foundation/TempFiles.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace msi {
namespace {

enum class CellKind
{
    integer,
    text,
    stream
};

CellKind kind_of_type(const std::wstring& type)
{
    wchar_t first = type.empty() ? L's' : type[0];
    if (first == L'i' || first == L'I')
        return CellKind::integer;
    if (first == L'v' || first == L'V')
        return CellKind::stream;
    return CellKind::text;
}

// One cell read out of a record, streams copied to a file.
struct Cell
{
    bool null = true;
    CellKind kind = CellKind::text;
    int integer = 0;
    // An integer column's size: written as data through RecordSetColumnInteger. 0 for a condition's key,
    // which takes the plain value.
    unsigned size = 0;
    std::wstring text;
    std::shared_ptr<LayerTempFile> file;
};

void copy_stream_to_file(MSIHANDLE record, UINT field, const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    try {
        std::vector<char> buffer(4096);
        for (;;) {
            DWORD read = RecordReadStream(record, field, buffer.data(), static_cast<DWORD>(buffer.size()));
            DWORD written = 0;
            if (read > 0 && !WriteFile(file, buffer.data(), read, &written, nullptr))
                tfc::throw_last_error(L"WriteFile");
            if (read < buffer.size())
                break;
        }
    } catch (...) {
        CloseHandle(file);
        throw;
    }
    CloseHandle(file);
}

Cell read_cell(MSIHANDLE record, UINT field, CellKind kind, unsigned size)
{
    Cell cell;
    cell.kind = kind;
    cell.size = size;
    cell.null = RecordIsNull(record, field);
    if (cell.null)
        return cell;
    switch (kind) {
    case CellKind::integer:
        cell.integer = RecordGetColumnInteger(record, field, size);
        break;
    case CellKind::text:
        cell.text = RecordGetString(record, field);
        break;
    case CellKind::stream:
        cell.file = std::make_shared<LayerTempFile>();
        copy_stream_to_file(record, field, cell.file->path());
        break;
    }
    return cell;
}

void write_cell(MSIHANDLE record, UINT field, const Cell& cell)
{
    if (cell.null)
        RecordSetString(record, field, nullptr);
    else if (cell.kind == CellKind::integer)
        RecordSetColumnInteger(record, field, cell.integer, cell.size);
    else if (cell.kind == CellKind::text)
        RecordSetString(record, field, cell.text);
    else
        RecordSetStream(record, field, cell.file->path());
}

bool same_value(const Cell& a, const Cell& b)
{
    if (a.null || b.null)
        return a.null == b.null;
    if (a.kind == CellKind::integer)
        return a.integer == b.integer;
    return a.text == b.text;
}

bool same_file_content(const std::wstring& first, const std::wstring& second)
{
    HANDLE a = CreateFileW(first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (a == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    HANDLE b = CreateFileW(second.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (b == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(a);
        throw tfc::Win32Error(error, L"CreateFile");
    }
    bool same = true;
    std::vector<char> block_a(4096), block_b(4096);
    for (;;) {
        DWORD read_a = 0, read_b = 0;
        if (!ReadFile(a, block_a.data(), 4096, &read_a, nullptr) ||
            !ReadFile(b, block_b.data(), 4096, &read_b, nullptr)) {
            DWORD error = GetLastError();
            CloseHandle(a);
            CloseHandle(b);
            throw tfc::Win32Error(error, L"ReadFile");
        }
        if (read_a != read_b || !std::equal(block_a.begin(), block_a.begin() + read_a, block_b.begin())) {
            same = false;
            break;
        }
        if (read_a == 0)
            break;
    }
    CloseHandle(a);
    CloseHandle(b);
    return same;
}

bool same_stream(const Cell& a, const Cell& b)
{
    if (a.null || b.null)
        return a.null == b.null;
    return same_file_content(a.file->path(), b.file->path());
}

struct Columns
{
    std::vector<std::wstring> names;
    std::vector<CellKind> kinds;
    std::vector<unsigned> sizes; // of the type texts ("i2" -> 2)
};

Columns columns_of(MSIHANDLE view)
{
    Columns columns;
    MsiHandle names = ViewGetColumnInfo(view, MSICOLINFO_NAMES);
    MsiHandle types = ViewGetColumnInfo(view, MSICOLINFO_TYPES);
    UINT count = RecordGetFieldCount(names.get());
    for (UINT field = 1; field <= count; ++field) {
        columns.names.push_back(RecordGetString(names.get(), field));
        std::wstring type = RecordGetString(types.get(), field);
        columns.kinds.push_back(kind_of_type(type));
        columns.sizes.push_back(type.empty() ? 0u : static_cast<unsigned>(_wtoi(type.c_str() + 1)));
    }
    return columns;
}

size_t index_of(const Columns& columns, const std::wstring& name)
{
    for (size_t at = 0; at < columns.names.size(); ++at) {
        if (columns.names[at] == name)
            return at;
    }
    return columns.names.size();
}

// "`A`=? AND `B` IS NULL" with the parameters of the non-null key values appended to params.
std::wstring key_condition(const std::vector<std::wstring>& key_names, const std::vector<Cell>& key_values,
                           std::vector<const Cell*>& params)
{
    std::wstring condition;
    for (size_t at = 0; at < key_names.size(); ++at) {
        if (!condition.empty())
            condition += L" AND ";
        condition += QuoteName(key_names[at]);
        if (key_values[at].null) {
            condition += L" IS NULL";
        } else {
            condition += L"=?";
            params.push_back(&key_values[at]);
        }
    }
    return condition;
}

// Opens and executes sql with the cells as parameters (streams set from their files just now).
MsiHandle run_statement(MSIHANDLE database, const std::wstring& sql, const std::vector<const Cell*>& params)
{
    MsiHandle view = DatabaseOpenView(database, sql);
    MsiHandle record;
    if (!params.empty()) {
        record = CreateRecord(static_cast<UINT>(params.size()));
        for (size_t at = 0; at < params.size(); ++at)
            write_cell(record.get(), static_cast<UINT>(at + 1), *params[at]);
    }
    ViewExecute(view.get(), record.get());
    return view;
}

// The stream name Wine and Windows give a row's stream: table, then the key texts, joined by ".".
std::wstring stream_name(const std::wstring& table, const std::vector<Cell>& key_values)
{
    std::vector<std::wstring> keys;
    for (const Cell& key : key_values)
        keys.push_back(key.null                        ? std::wstring()
                       : key.kind == CellKind::integer ? std::to_wstring(key.integer)
                                                       : key.text);
    return RowStreamName(table, keys);
}

bool stream_exists(MSIHANDLE database, const std::wstring& name)
{
    Cell key;
    key.null = false;
    key.text = name;
    MsiHandle view = run_statement(database, L"SELECT `Name` FROM `_Streams` WHERE `Name`=?", {&key});
    return static_cast<bool>(ViewFetch(view.get()));
}

struct StoredRow
{
    Columns columns;
    std::vector<Cell> cells;
};

StoredRow read_stored_row(MSIHANDLE database, const std::wstring& table,
                          const std::vector<std::wstring>& key_names, const std::vector<Cell>& key_values)
{
    std::vector<const Cell*> params;
    std::wstring sql =
        L"SELECT * FROM " + QuoteName(table) + L" WHERE " + key_condition(key_names, key_values, params);
    MsiHandle view = run_statement(database, sql, params);
    StoredRow row;
    row.columns = columns_of(view.get());
    MsiHandle record = ViewFetch(view.get());
    if (!record)
        throw tfc::Win32Error(ERROR_FUNCTION_FAILED, L"MsiViewModify");
    for (size_t at = 0; at < row.columns.names.size(); ++at)
        row.cells.push_back(
            read_cell(record.get(), static_cast<UINT>(at + 1), row.columns.kinds[at], row.columns.sizes[at]));
    return row;
}

void insert_row(MSIHANDLE database, const std::wstring& table, const StoredRow& row)
{
    std::wstring names, marks;
    std::vector<const Cell*> params;
    for (size_t at = 0; at < row.columns.names.size(); ++at) {
        names += (at ? L", " : L"") + QuoteName(row.columns.names[at]);
        marks += at ? L", ?" : L"?";
        params.push_back(&row.cells[at]);
    }
    run_statement(database, L"INSERT INTO " + QuoteName(table) + L" (" + names + L") VALUES (" + marks + L")",
                  params);
}

void delete_row(MSIHANDLE database, const std::wstring& table, const std::vector<std::wstring>& key_names,
                const std::vector<Cell>& key_values)
{
    std::vector<const Cell*> params;
    run_statement(database,
                  L"DELETE FROM " + QuoteName(table) + L" WHERE " +
                      key_condition(key_names, key_values, params),
                  params);
}

// The stream a name Wine holds (also that of a deleted row) gets once the file is committed and closed:
// the cell's bytes, or none. Prepared before the database changes, so that noting it cannot fail.
std::shared_ptr<LayerTempFile> settled_bytes(MSIHANDLE database, const Cell& cell)
{
    if (!StreamChangesPossible(database)) {
        tfc::Format(L"The installer library cannot rewrite a stream in this database");
        throw tfc::Win32Error(ERROR_CALL_NOT_IMPLEMENTED, L"MsiViewModify");
    }
    return cell.null ? nullptr : CopyStreamBytes(cell.file->path());
}

struct KeyColumns
{
    std::vector<std::wstring> names;
    std::vector<size_t> view_index; // position of each key column in the view
};

KeyColumns key_columns(MSIHANDLE database, const std::wstring& table, const Columns& view_columns)
{
    KeyColumns keys;
    MsiHandle record = DatabaseGetPrimaryKeys(database, table);
    UINT count = RecordGetFieldCount(record.get());
    for (UINT field = 1; field <= count; ++field) {
        keys.names.push_back(RecordGetString(record.get(), field));
        keys.view_index.push_back(index_of(view_columns, keys.names.back()));
        // Without every key column in the view the row cannot be found again.
        if (keys.view_index.back() == view_columns.names.size())
            throw tfc::Win32Error(ERROR_CALL_NOT_IMPLEMENTED, L"MsiViewModify");
    }
    return keys;
}

std::vector<Cell> read_keys(MSIHANDLE record, const KeyColumns& keys, const Columns& view_columns)
{
    std::vector<Cell> values;
    for (size_t index : keys.view_index) {
        values.push_back(read_cell(record, static_cast<UINT>(index + 1), view_columns.kinds[index],
                                   view_columns.sizes[index]));
        values.back().size = 0; // only ever in conditions
    }
    return values;
}

const Cell* first_stream(const Columns& columns, const std::vector<Cell>& cells)
{
    for (size_t at = 0; at < columns.names.size(); ++at) {
        if (columns.kinds[at] == CellKind::stream)
            return &cells[at];
    }
    return nullptr;
}

// Deletes the stored row and inserts the merged one (a changed key moves it); a failed insert puts the
// stored row back before the error goes on. Names Wine keeps from the deleted row, or held before under
// the new key, get their stream's final state once the file is committed and closed.
void rewrite_row(MSIHANDLE database, const std::wstring& table, const KeyColumns& keys,
                 const std::vector<Cell>& old_keys, const std::vector<Cell>& new_keys,
                 const Columns& view_columns, const std::vector<Cell>& new_cells)
{
    StoredRow stored = read_stored_row(database, table, keys.names, old_keys);
    StoredRow moved = stored;
    for (size_t at = 0; at < view_columns.names.size(); ++at) {
        size_t stored_at = index_of(moved.columns, view_columns.names[at]);
        if (stored_at < moved.columns.names.size())
            moved.cells[stored_at] = new_cells[at];
    }
    const Cell* stream = first_stream(moved.columns, moved.cells);
    std::wstring old_name = stream_name(table, old_keys), new_name = stream_name(table, new_keys);
    // Asked before anything changes: Wine keeps both names after the delete, and a failure past the
    // delete must not lose the row.
    bool remove_old = stream && old_name != new_name && stream_exists(database, old_name);
    bool settle_new = stream && stream_exists(database, new_name);
    std::shared_ptr<LayerTempFile> new_bytes;
    if (settle_new || remove_old)
        new_bytes = settled_bytes(database, *stream);
    delete_row(database, table, keys.names, old_keys);
    try {
        insert_row(database, table, moved);
    } catch (...) {
        try {
            insert_row(database, table, stored);
        } catch (...) {
            tfc::Format(L"The row could not be put back into table %s after a failed replace") << table;
        }
        throw;
    }
    if (remove_old)
        ChangeStreamLater(database, old_name, nullptr);
    if (settle_new)
        ChangeStreamLater(database, new_name, new_bytes);
}

// Same key: the stored row's other columns take the new values. A stream that stays a stream gets its
// new bytes once the file is committed and closed; one that appears or goes rewrites the row.
void update_in_place(MSIHANDLE database, const std::wstring& table, const KeyColumns& keys,
                     const std::vector<Cell>& key_values, const Columns& view_columns,
                     const std::vector<Cell>& new_cells)
{
    StoredRow stored = read_stored_row(database, table, keys.names, key_values);
    std::wstring assignments;
    std::vector<const Cell*> params;
    const Cell* new_bytes = nullptr;
    for (size_t at = 0; at < view_columns.names.size(); ++at) {
        if (std::find(keys.names.begin(), keys.names.end(), view_columns.names[at]) != keys.names.end())
            continue;
        size_t stored_at = index_of(stored.columns, view_columns.names[at]);
        if (stored_at == stored.columns.names.size())
            continue;
        const Cell& old_cell = stored.cells[stored_at];
        if (view_columns.kinds[at] == CellKind::stream) {
            if (same_stream(old_cell, new_cells[at]))
                continue;
            if (old_cell.null || new_cells[at].null) {
                rewrite_row(database, table, keys, key_values, key_values, view_columns, new_cells);
                return;
            }
            new_bytes = &new_cells[at];
            continue;
        }
        if (same_value(old_cell, new_cells[at]))
            continue;
        assignments += (assignments.empty() ? L"" : L", ") + QuoteName(view_columns.names[at]) + L"=?";
        params.push_back(&new_cells[at]);
    }
    std::shared_ptr<LayerTempFile> settled;
    if (new_bytes)
        settled = settled_bytes(database, *new_bytes);
    if (!assignments.empty()) {
        std::vector<const Cell*> key_params;
        std::wstring condition = key_condition(keys.names, key_values, key_params);
        params.insert(params.end(), key_params.begin(), key_params.end());
        run_statement(database,
                      L"UPDATE " + QuoteName(table) + L" SET " + assignments + L" WHERE " + condition,
                      params);
    }
    if (new_bytes)
        ChangeStreamLater(database, stream_name(table, key_values), settled);
}

} // namespace

void RewindStream(MSIHANDLE database, const std::wstring& name)
{
    Cell key;
    key.null = false;
    key.text = name;
    MsiHandle view = run_statement(database, L"SELECT `Name`, `Data` FROM `_Streams` WHERE `Name`=?", {&key});
    ViewFetch(view.get());
}

void ReplaceFetchedRow(MSIHANDLE database, const std::wstring& table, MSIHANDLE view, MSIHANDLE record,
                       const std::function<void(MSIHANDLE record)>& fill)
{
    Columns view_columns = columns_of(view);
    KeyColumns keys = key_columns(database, table, view_columns);
    std::vector<Cell> old_keys = read_keys(record, keys, view_columns);
    fill(record);

    UINT result = 0;
    if (!detail::TakeInjectedFailure(L"MsiViewModify", result))
        result = MsiViewModify(view, MSIMODIFY_REPLACE, record);
    if (result != ERROR_CALL_NOT_IMPLEMENTED) {
        tfc::check_status(result, L"MsiViewModify");
        return;
    }

    std::vector<Cell> new_cells;
    for (size_t at = 0; at < view_columns.names.size(); ++at)
        new_cells.push_back(
            read_cell(record, static_cast<UINT>(at + 1), view_columns.kinds[at], view_columns.sizes[at]));
    std::vector<Cell> new_keys;
    for (size_t index : keys.view_index) {
        new_keys.push_back(new_cells[index]);
        new_keys.back().size = 0;
    }

    // Every stream read above may be one added in this session: put them back at their start.
    struct Rewind
    {
        MSIHANDLE database;
        std::vector<std::wstring> names;
        ~Rewind()
        {
            try {
                for (const std::wstring& name : names)
                    RewindStream(database, name);
            } catch (...) {
            }
        }
    } rewind{database, {}};
    if (std::find(view_columns.kinds.begin(), view_columns.kinds.end(), CellKind::stream) !=
        view_columns.kinds.end())
        rewind.names = {stream_name(table, old_keys), stream_name(table, new_keys)};

    bool same_key = true;
    for (size_t at = 0; at < old_keys.size(); ++at)
        same_key = same_key && same_value(old_keys[at], new_keys[at]);
    if (same_key)
        update_in_place(database, table, keys, old_keys, view_columns, new_cells);
    else
        rewrite_row(database, table, keys, old_keys, new_keys, view_columns, new_cells);
}

} // namespace msi

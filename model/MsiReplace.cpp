// MSIMODIFY_REPLACE, and the emulation used where the library answers 120 (Wine). Wine also refuses a key
// change through MSIMODIFY_UPDATE (1627), so a changed key becomes a delete and an insert of a row built
// from the stored row and the new values. Two Wine facts shape the rest: a record's stream is consumed by
// its first execute (so streams travel through temporary files, set right before each execute), and a
// stream whose name already exists in `_Streams` is never rewritten (so such a write fails here instead
// of silently keeping the old bytes).
#include "model/MsiApi.h"
#include "model/MsiCallFaults.h"
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

// A temporary file that goes at the end of the operation. Made beside the registry's files but not
// recorded there: a save may replay changes on a worker thread, and the global registry is not locked.
class ScopedTempFile
{
public:
    ScopedTempFile()
    {
        std::wstring folder = GlobalTempFiles().GetFolder();
        wchar_t path[MAX_PATH];
        if (GetTempFileNameW(folder.c_str(), L"INS", 0, path) == 0)
            tfc::throw_last_error(L"GetTempFileName");
        path_ = path;
    }
    ~ScopedTempFile() { DeleteFileW(path_.c_str()); }
    ScopedTempFile(const ScopedTempFile&) = delete;
    ScopedTempFile& operator=(const ScopedTempFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// One cell read out of a record, streams copied to a file.
struct Cell
{
    bool null = true;
    CellKind kind = CellKind::text;
    int integer = 0;
    std::wstring text;
    std::shared_ptr<ScopedTempFile> file;
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

Cell read_cell(MSIHANDLE record, UINT field, CellKind kind)
{
    Cell cell;
    cell.kind = kind;
    cell.null = RecordIsNull(record, field);
    if (cell.null)
        return cell;
    switch (kind) {
    case CellKind::integer:
        cell.integer = RecordGetInteger(record, field);
        break;
    case CellKind::text:
        cell.text = RecordGetString(record, field);
        break;
    case CellKind::stream:
        cell.file = std::make_shared<ScopedTempFile>();
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
        RecordSetInteger(record, field, cell.integer);
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

std::wstring quoted(const std::wstring& name)
{
    if (name.find(L'`') != std::wstring::npos)
        throw std::runtime_error("A table or column name holds a backquote and cannot be written in SQL");
    return L"`" + name + L"`";
}

struct Columns
{
    std::vector<std::wstring> names;
    std::vector<CellKind> kinds;
};

Columns columns_of(MSIHANDLE view)
{
    Columns columns;
    MsiHandle names = ViewGetColumnInfo(view, MSICOLINFO_NAMES);
    MsiHandle types = ViewGetColumnInfo(view, MSICOLINFO_TYPES);
    UINT count = RecordGetFieldCount(names.get());
    for (UINT field = 1; field <= count; ++field) {
        columns.names.push_back(RecordGetString(names.get(), field));
        columns.kinds.push_back(kind_of_type(RecordGetString(types.get(), field)));
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
        condition += quoted(key_names[at]);
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
    std::wstring name = table;
    for (const Cell& key : key_values) {
        name += L".";
        if (!key.null)
            name += key.kind == CellKind::integer ? std::to_wstring(key.integer) : key.text;
    }
    return name;
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
        L"SELECT * FROM " + quoted(table) + L" WHERE " + key_condition(key_names, key_values, params);
    MsiHandle view = run_statement(database, sql, params);
    StoredRow row;
    row.columns = columns_of(view.get());
    MsiHandle record = ViewFetch(view.get());
    if (!record)
        throw tfc::Win32Error(ERROR_FUNCTION_FAILED, L"MsiViewModify");
    for (size_t at = 0; at < row.columns.names.size(); ++at)
        row.cells.push_back(read_cell(record.get(), static_cast<UINT>(at + 1), row.columns.kinds[at]));
    return row;
}

void insert_row(MSIHANDLE database, const std::wstring& table, const StoredRow& row)
{
    std::wstring names, marks;
    std::vector<const Cell*> params;
    for (size_t at = 0; at < row.columns.names.size(); ++at) {
        names += (at ? L", " : L"") + quoted(row.columns.names[at]);
        marks += at ? L", ?" : L"?";
        params.push_back(&row.cells[at]);
    }
    run_statement(database, L"INSERT INTO " + quoted(table) + L" (" + names + L") VALUES (" + marks + L")",
                  params);
}

void delete_row(MSIHANDLE database, const std::wstring& table, const std::vector<std::wstring>& key_names,
                const std::vector<Cell>& key_values)
{
    std::vector<const Cell*> params;
    run_statement(database,
                  L"DELETE FROM " + quoted(table) + L" WHERE " + key_condition(key_names, key_values, params),
                  params);
}

[[noreturn]] void refuse_stream_write(const std::wstring& table, const std::wstring& name)
{
    tfc::Format(
        L"The installer library cannot store a new stream under the existing name %s of table %s until "
        L"the database is saved and reopened")
        << name << table;
    throw tfc::Win32Error(ERROR_CALL_NOT_IMPLEMENTED, L"MsiViewModify");
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
    for (size_t index : keys.view_index)
        values.push_back(read_cell(record, static_cast<UINT>(index + 1), view_columns.kinds[index]));
    return values;
}

// Same key: the stored row's other columns take the new values. Streams of an existing row cannot be
// rewritten by Wine, so a changed stream is refused rather than lost at commit.
void update_in_place(MSIHANDLE database, const std::wstring& table, const KeyColumns& keys,
                     const std::vector<Cell>& key_values, const Columns& view_columns,
                     const std::vector<Cell>& new_cells)
{
    StoredRow stored = read_stored_row(database, table, keys.names, key_values);
    std::wstring assignments;
    std::vector<const Cell*> params;
    for (size_t at = 0; at < view_columns.names.size(); ++at) {
        if (std::find(keys.names.begin(), keys.names.end(), view_columns.names[at]) != keys.names.end())
            continue;
        size_t stored_at = index_of(stored.columns, view_columns.names[at]);
        if (stored_at == stored.columns.names.size())
            continue;
        const Cell& old_cell = stored.cells[stored_at];
        if (view_columns.kinds[at] == CellKind::stream) {
            if (!same_stream(old_cell, new_cells[at]))
                refuse_stream_write(table, stream_name(table, key_values));
            continue;
        }
        if (same_value(old_cell, new_cells[at]))
            continue;
        assignments += (assignments.empty() ? L"" : L", ") + quoted(view_columns.names[at]) + L"=?";
        params.push_back(&new_cells[at]);
    }
    if (assignments.empty())
        return;
    std::vector<const Cell*> key_params;
    std::wstring condition = key_condition(keys.names, key_values, key_params);
    params.insert(params.end(), key_params.begin(), key_params.end());
    run_statement(database, L"UPDATE " + quoted(table) + L" SET " + assignments + L" WHERE " + condition,
                  params);
}

// Changed key: the stored row is deleted and the merged row inserted; a failed insert puts the stored
// row back before the error goes on.
void move_row(MSIHANDLE database, const std::wstring& table, const KeyColumns& keys,
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
    // A name left in `_Streams` by a deleted row would hand its old bytes to the moved row, even to a
    // null stream cell.
    if (std::find(moved.columns.kinds.begin(), moved.columns.kinds.end(), CellKind::stream) !=
        moved.columns.kinds.end()) {
        std::wstring name = stream_name(table, new_keys);
        if (stream_exists(database, name))
            refuse_stream_write(table, name);
    }
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
        new_cells.push_back(read_cell(record, static_cast<UINT>(at + 1), view_columns.kinds[at]));
    std::vector<Cell> new_keys;
    for (size_t index : keys.view_index)
        new_keys.push_back(new_cells[index]);

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
        move_row(database, table, keys, old_keys, new_keys, view_columns, new_cells);
}

} // namespace msi

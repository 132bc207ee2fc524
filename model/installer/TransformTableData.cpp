#include "model/installer/TransformTableData.h"
#include "model/installer/MsiApi.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/TransformStreamNames.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/TempFiles.h"

#include <algorithm>
#include <tuple>

namespace msi {

std::wstring TransformCell::KeyText() const
{
    if (kind == Integer)
        return std::to_wstring(integer);
    return kind == Text ? text : std::wstring();
}

namespace {

std::string read_stream(MSIHANDLE record, UINT field)
{
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD read = RecordReadStream(record, field, buffer, sizeof(buffer));
        if (read == 0)
            break;
        bytes.append(buffer, read);
    }
    return bytes;
}

TransformCell read_cell(MSIHANDLE record, UINT field, const TransformColumn& column)
{
    TransformCell cell;
    if (RecordIsNull(record, field))
        return cell;
    if (column.IsStream()) {
        cell.kind = TransformCell::Stream;
        cell.bytes = read_stream(record, field);
    } else if (column.IsString()) {
        cell.kind = TransformCell::Text;
        cell.text = RecordGetString(record, field);
        if (cell.text.empty())
            cell.kind = TransformCell::Null; // an empty text is stored as null
    } else {
        cell.kind = TransformCell::Integer;
        cell.integer = RecordGetColumnInteger(record, field, static_cast<unsigned>(column.type & 0xFF));
    }
    return cell;
}

// A stream the layer has yet to write into the file (Wine cannot rewrite it in the open database) is
// read as it will be.
void settle_stream(MSIHANDLE database, const TransformTable& table, const TransformRow& key,
                   TransformRow& row)
{
    auto stream = std::find_if(table.columns.begin(), table.columns.end(),
                               [](const TransformColumn& column) { return column.IsStream(); });
    if (stream == table.columns.end())
        return;
    std::vector<std::wstring> keys;
    for (const TransformCell& cell : key)
        keys.push_back(cell.KeyText());
    const std::wstring name = RowStreamName(table.name, keys);
    bool removed = false;
    std::string bytes;
    if (!StreamChangeAhead(database, name, removed, bytes))
        return;
    TransformCell& cell = row[stream - table.columns.begin()];
    cell = TransformCell();
    if (!removed) {
        cell.kind = TransformCell::Stream;
        cell.bytes = std::move(bytes);
    }
}

} // namespace

bool TransformCell::operator==(const TransformCell& other) const
{
    return kind == other.kind && integer == other.integer && text == other.text && bytes == other.bytes;
}

bool TransformCell::operator<(const TransformCell& other) const
{
    return std::tie(kind, integer, text, bytes) <
           std::tie(other.kind, other.integer, other.text, other.bytes);
}

std::vector<size_t> TransformTable::KeyColumns() const
{
    std::vector<size_t> keys;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].IsKey())
            keys.push_back(i);
    return keys;
}

std::vector<std::wstring> ReadTableNames(MSIHANDLE database)
{
    std::vector<std::wstring> names;
    MsiHandle view = DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables`");
    ViewExecute(view.get(), 0);
    while (MsiHandle record = ViewFetch(view.get()))
        names.push_back(RecordGetString(record.get(), 1));
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::wstring, std::vector<TransformColumn>> ReadAllColumns(MSIHANDLE database)
{
    std::map<std::wstring, std::map<int, TransformColumn>> numbered;
    MsiHandle view = DatabaseOpenView(database, L"SELECT `Table`, `Number`, `Name`, `Type` FROM `_Columns`");
    ViewExecute(view.get(), 0);
    while (MsiHandle record = ViewFetch(view.get())) {
        TransformColumn column;
        column.name = RecordGetString(record.get(), 3);
        column.type = RecordGetInteger(record.get(), 4) & 0xFFFF;
        if (column.type & 0x4000)
            continue; // temporary: never stored, never transformed
        numbered[RecordGetString(record.get(), 1)][RecordGetInteger(record.get(), 2)] = column;
    }
    std::map<std::wstring, std::vector<TransformColumn>> tables;
    for (auto& table : numbered)
        for (auto& column : table.second)
            tables[table.first].push_back(column.second);
    return tables;
}

void ReadTableRows(MSIHANDLE database, TransformTable& table)
{
    std::wstring sql = L"SELECT ";
    for (size_t i = 0; i < table.columns.size(); ++i)
        sql += (i ? L", " : L"") + QuoteName(table.columns[i].name);
    sql += L" FROM " + QuoteName(table.name);
    const std::vector<size_t> keys = table.KeyColumns();

    MsiHandle view = DatabaseOpenView(database, sql);
    ViewExecute(view.get(), 0);
    while (MsiHandle record = ViewFetch(view.get())) {
        TransformRow row;
        for (size_t i = 0; i < table.columns.size(); ++i)
            row.push_back(read_cell(record.get(), static_cast<UINT>(i + 1), table.columns[i]));
        TransformRow key;
        std::vector<std::wstring> key_texts;
        for (size_t k : keys) {
            key.push_back(row[k]);
            key_texts.push_back(row[k].KeyText());
        }
        const std::wstring stream_name = RowStreamName(table.name, key_texts);
        // A stream read to its end would make this handle's next commit fail (see RewindStream).
        for (const TransformCell& cell : row)
            if (cell.kind == TransformCell::Stream) {
                RewindStream(database, stream_name);
                break;
            }
        settle_stream(database, table, key, row);
        table.rows[key] = std::move(row);
    }
}

} // namespace msi

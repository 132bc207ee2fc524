#include "model/installer/TransformContent.h"
#include "model/installer/TransformStreamNames.h"
#include "foundation/Errors.h"

#include <algorithm>

namespace msi {
namespace {

const wchar_t kTables[] = L"_Tables";
const wchar_t kColumns[] = L"_Columns";

// The fixed schemas of the two system tables, as _Columns would describe them.
const std::vector<TransformColumn>& tables_schema()
{
    static const std::vector<TransformColumn> schema = {{L"Name", 0x2D40}};
    return schema;
}

const std::vector<TransformColumn>& columns_schema()
{
    static const std::vector<TransformColumn> schema = {
        {L"Table", 0x2D40}, {L"Number", 0x2502}, {L"Name", 0x0D40}, {L"Type", 0x0502}};
    return schema;
}

TransformCell text_cell(const std::wstring& text)
{
    TransformCell cell;
    cell.kind = text.empty() ? TransformCell::Null : TransformCell::Text;
    cell.text = text;
    return cell;
}

TransformCell integer_cell(int value)
{
    TransformCell cell;
    cell.kind = TransformCell::Integer;
    cell.integer = value;
    return cell;
}

// Update masks have one bit per column; column 1 is always a key, its bit marks inserts.
const size_t kMaskColumns = 16;

size_t first_null_stream(const std::vector<TransformColumn>& columns, const TransformRow& row)
{
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].IsStream() && row[i].kind == TransformCell::Null)
            return i;
    return columns.size();
}

// The index of the row's last cell that is not null.
size_t last_filled(const TransformRow& row)
{
    size_t last = 0;
    for (size_t i = 0; i < row.size(); ++i)
        if (row[i].kind != TransformCell::Null)
            last = i;
    return last;
}

std::wstring key_text(const std::vector<TransformColumn>& columns, const TransformRow& row)
{
    std::wstring text;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (!columns[i].IsKey())
            continue;
        text += text.empty() ? L"" : L"|";
        text += row[i].kind == TransformCell::Integer ? std::to_wstring(row[i].integer) : row[i].text;
    }
    return text;
}

void put(std::vector<BYTE>& out, unsigned value, int width)
{
    for (int i = 0; i < width; ++i)
        out.push_back(BYTE((value >> (8 * i)) & 0xFF));
}

} // namespace

void ThrowTransformRefused(const std::wstring& reason)
{
    throw tfc::ManageableError(reason + L" The transform was not saved.", L"Could not save the transform.");
}

// Records, checked against Wine's reader: a 16-bit mask, then the cells it names.
//   mask & 1    insert (or replace an existing row): the first mask >> 8 columns;
//   mask == 0   delete: the key columns;
//   otherwise   update: the key columns plus each column i whose bit (1 << i) is set.
void TransformContent::Insert(const std::wstring& table, const std::vector<TransformColumn>& columns,
                              const TransformRow& row)
{
    size_t null_stream = first_null_stream(columns, row);
    if (null_stream == columns.size()) {
        add_record(table, columns, row, 1u | (static_cast<unsigned>(columns.size()) << 8),
                   std::vector<bool>(columns.size(), true));
        return;
    }
    // Wine drops every record that names a stream cell without a data stream (checked), so a row with a
    // null stream cell is inserted without naming that column: up to it when nothing follows it, else as
    // a masked record of its filled cells, which Wine applies to a missing key as an insert of those cells
    // (checked). Only columns 1-16 have a mask bit.
    size_t last = last_filled(row);
    if (last < null_stream) {
        add_record(table, columns, row, 1u | (static_cast<unsigned>(null_stream) << 8),
                   std::vector<bool>(null_stream, true));
        return;
    }
    std::vector<size_t> filled;
    for (size_t i = 0; i < columns.size(); ++i)
        if (!columns[i].IsKey() && row[i].kind != TransformCell::Null)
            filled.push_back(i);
    if (last >= kMaskColumns)
        refuse_null_stream(table, columns, row, null_stream);
    add_masked(table, columns, row, filled);
}

void TransformContent::Update(const std::wstring& table, const std::vector<TransformColumn>& columns,
                              const TransformRow& row, const std::vector<size_t>& changed)
{
    bool wide = false;
    for (size_t column : changed)
        wide = wide || column >= kMaskColumns;
    if (!wide) {
        add_masked(table, columns, row, changed);
        return;
    }
    // A change past the mask rewrites the whole row, which Wine applies to an existing key as a
    // replacement of every cell (checked): cells past a shortened record become null.
    size_t null_stream = first_null_stream(columns, row);
    if (null_stream < columns.size() && last_filled(row) > null_stream)
        refuse_null_stream(table, columns, row, null_stream);
    size_t count = std::min(null_stream, columns.size());
    add_record(table, columns, row, 1u | (static_cast<unsigned>(count) << 8), std::vector<bool>(count, true));
}

void TransformContent::Delete(const std::wstring& table, const std::vector<TransformColumn>& columns,
                              const TransformRow& row)
{
    std::vector<bool> present(columns.size(), false);
    for (size_t i = 0; i < columns.size(); ++i)
        present[i] = columns[i].IsKey();
    add_record(table, columns, row, 0, present);
}

void TransformContent::AddTable(const std::wstring& table)
{
    Insert(kTables, tables_schema(), {text_cell(table)});
}

// A dropped table is one delete in _Tables, as native transforms have it (checked: the table leaves
// _Tables). Wine is said to keep the table's _Columns rows; nothing reads tables that _Tables lacks.
void TransformContent::DropTable(const std::wstring& table)
{
    Delete(kTables, tables_schema(), {text_cell(table)});
}

void TransformContent::AddColumn(const std::wstring& table, int number, const TransformColumn& column)
{
    TransformCell number_cell = number > 0 ? integer_cell(number) : TransformCell();
    Insert(kColumns, columns_schema(),
           {text_cell(table), number_cell, text_cell(column.name), integer_cell(column.type)});
}

void TransformContent::add_masked(const std::wstring& table, const std::vector<TransformColumn>& columns,
                                  const TransformRow& row, const std::vector<size_t>& changed)
{
    unsigned mask = 0;
    std::vector<bool> present(columns.size(), false);
    for (size_t i = 0; i < columns.size(); ++i)
        present[i] = columns[i].IsKey();
    for (size_t column : changed) {
        mask |= 1u << column;
        present[column] = true;
    }
    add_record(table, columns, row, mask, present);
}

void TransformContent::refuse_null_stream(const std::wstring& table,
                                          const std::vector<TransformColumn>& columns,
                                          const TransformRow& row, size_t null_stream)
{
    ThrowTransformRefused(
        L"The row " + key_text(columns, row) + L" of the table " + table + L" has an empty stream cell (" +
        columns[null_stream].name +
        L") before values, past column 16, that the installer library cannot apply together "
        L"with it from a transform.");
}

void TransformContent::add_record(const std::wstring& table, const std::vector<TransformColumn>& columns,
                                  const TransformRow& row, unsigned mask, const std::vector<bool>& present)
{
    Record record;
    record.mask = mask;
    for (size_t i = 0; i < present.size(); ++i) {
        if (!present[i])
            continue;
        record.fields.push_back(encode(table, columns[i], row[i]));
        if (columns[i].IsStream() && row[i].kind == TransformCell::Stream)
            add_cell_stream(table, columns, row, row[i].bytes);
    }
    records_[table].push_back(std::move(record));
}

TransformContent::Field TransformContent::encode(const std::wstring& table, const TransformColumn& column,
                                                 const TransformCell& cell)
{
    Field field;
    if (column.IsStream()) {
        // 1 marks a present stream, as native transforms write it.
        field.raw = cell.kind == TransformCell::Stream ? 1 : 0;
    } else if (column.IsString()) {
        field.string = true;
        if (cell.kind == TransformCell::Text && !pool_.Reference(cell.text, field.raw))
            ThrowTransformRefused(L"The text \"" + cell.text + L"\" in the table " + table +
                                  L" cannot be held in the code page " + std::to_wstring(pool_.CodePage()) +
                                  L" of the transform.");
    } else if (cell.kind == TransformCell::Integer) {
        // Null is 0; values are offset so that no stored value is 0 (checked with both extremes).
        if (column.IsShort()) {
            if (cell.integer < -32767 || cell.integer > 32767)
                ThrowTransformRefused(L"The value " + std::to_wstring(cell.integer) + L" in the table " +
                                      table + L" does not fit its 2-byte column " + column.name + L".");
            field.raw = static_cast<unsigned>(cell.integer + 0x8000);
        } else {
            field.raw = static_cast<unsigned>(cell.integer) ^ 0x80000000u;
            field.width = 4;
        }
    } else if (!column.IsShort()) {
        field.width = 4;
    }
    return field;
}

// A stream cell's data is the stream "Table.Key1.Key2" (integers in signed decimal), without the table
// prefix (checked, string and integer keys).
void TransformContent::add_cell_stream(const std::wstring& table, const std::vector<TransformColumn>& columns,
                                       const TransformRow& row, const std::string& bytes)
{
    std::vector<std::wstring> keys;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].IsKey())
            keys.push_back(row[i].KeyText());
    std::wstring name = RowStreamName(table, keys);
    std::wstring packed = PackStreamName(name, false);
    if (packed.size() > kMaxStreamNameUnits)
        ThrowTransformRefused(L"The stream name " + name + L" is too long for a transform.");
    cell_streams_.emplace_back(packed, std::vector<BYTE>(bytes.begin(), bytes.end()));
}

std::vector<std::pair<std::wstring, std::vector<BYTE>>> TransformContent::Streams() const
{
    std::vector<std::pair<std::wstring, std::vector<BYTE>>> streams;
    streams.emplace_back(PackStreamName(L"_StringPool", true), pool_.PoolStream());
    streams.emplace_back(PackStreamName(L"_StringData", true), pool_.DataStream());
    const int string_width = pool_.LongReferences() ? 3 : 2;
    for (const auto& table : records_) {
        std::wstring packed = PackStreamName(table.first, true);
        if (packed.size() > kMaxStreamNameUnits)
            ThrowTransformRefused(L"The table name " + table.first + L" is too long for a transform.");
        std::vector<BYTE> bytes;
        for (const Record& record : table.second) {
            put(bytes, record.mask, 2);
            for (const Field& field : record.fields)
                put(bytes, field.raw, field.string ? string_width : field.width);
        }
        streams.emplace_back(packed, std::move(bytes));
    }
    streams.insert(streams.end(), cell_streams_.begin(), cell_streams_.end());
    return streams;
}

} // namespace msi

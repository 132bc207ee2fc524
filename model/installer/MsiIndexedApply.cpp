#include "model/installer/MsiIndexedApply.h"
#include "model/installer/MsiApi.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace msi {
namespace detail {

size_t& IndexedApplyMinimum()
{
    static size_t minimum = 500;
    return minimum;
}

bool AppliesIndexed(const std::vector<TransformColumn>& columns, size_t records)
{
    auto size_one = [](const TransformColumn& column) {
        return (column.type & 0x0800) == 0 && (column.type & 0xFF) == 1;
    };
    return records >= IndexedApplyMinimum() &&
           std::any_of(columns.begin(), columns.end(), [](const TransformColumn& c) { return c.IsKey(); }) &&
           std::none_of(columns.begin(), columns.end(),
                        [](const TransformColumn& c) { return c.IsStream(); }) &&
           std::none_of(columns.begin(), columns.end(), size_one);
}

namespace {

// The key cells as one text: a kind letter per cell, texts with their length, so no two keys meet.
void append_key(std::wstring& key, const TransformCell& cell)
{
    switch (cell.kind) {
    case TransformCell::Integer:
        key += L'i' + std::to_wstring(cell.integer) + L';';
        break;
    case TransformCell::Text:
        key += L's' + std::to_wstring(cell.text.size()) + L':' + cell.text;
        break;
    default:
        key += L'n';
        break;
    }
}

TransformCell read_key_cell(MSIHANDLE record, UINT field, const TransformColumn& column,
                            std::vector<wchar_t>& buffer)
{
    TransformCell cell;
    if (RecordIsNull(record, field))
        return cell;
    if (column.IsString()) {
        size_t length = RecordGetString(record, field, buffer);
        if (length == 0)
            return cell; // an empty text is stored as null
        cell.kind = TransformCell::Text;
        cell.text.assign(buffer.data(), length);
    } else {
        cell.kind = TransformCell::Integer;
        cell.integer = RecordGetColumnInteger(record, field, static_cast<unsigned>(column.type & 0xFF));
    }
    return cell;
}

} // namespace

void ApplyIndexed(MSIHANDLE database, const std::wstring& table, const std::vector<TransformColumn>& columns,
                  const std::vector<TransformRecord>& records,
                  const std::function<void(const TransformRecord&)>& apply_one)
{
    std::vector<size_t> key_columns;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].IsKey())
            key_columns.push_back(i);
    std::vector<std::wstring> keys(records.size());
    std::unordered_set<std::wstring> one_by_one;
    for (size_t i = 0; i < records.size(); ++i) {
        for (size_t column : key_columns)
            append_key(keys[i], records[i].row[column]);
        if (records[i].IsInsert() || records[i].IsDelete())
            one_by_one.insert(keys[i]);
    }
    std::unordered_map<std::wstring, std::vector<size_t>> updates;
    for (size_t i = 0; i < records.size(); ++i)
        if (!one_by_one.count(keys[i]))
            updates[keys[i]].push_back(i);

    if (!updates.empty()) {
        MsiHandle view = DatabaseOpenView(database, L"SELECT * FROM " + QuoteName(table));
        // Cells by name: a temporary column has a field of its own in a view of all columns.
        MsiHandle names = ViewGetColumnInfo(view.get(), MSICOLINFO_NAMES);
        std::map<std::wstring, UINT> field_of;
        for (UINT field = 1; field <= RecordGetFieldCount(names.get()); ++field)
            field_of[RecordGetString(names.get(), field)] = field;
        std::vector<UINT> fields;
        for (const TransformColumn& column : columns)
            fields.push_back(field_of[column.name]);
        ViewExecute(view.get(), 0);
        std::vector<wchar_t> buffer;
        std::wstring key;
        while (!updates.empty()) {
            MsiHandle row = ViewFetch(view.get());
            if (!row)
                break;
            key.clear();
            for (size_t column : key_columns)
                append_key(key, read_key_cell(row.get(), fields[column], columns[column], buffer));
            auto found = updates.find(key);
            if (found == updates.end())
                continue;
            for (size_t i : found->second) {
                const TransformRecord& record = records[i];
                for (size_t column = 0; column < columns.size(); ++column) {
                    if (!record.present[column] || columns[column].IsKey())
                        continue;
                    const TransformCell& cell = record.row[column];
                    if (cell.kind == TransformCell::Integer)
                        RecordSetColumnInteger(row.get(), fields[column], cell.integer,
                                               static_cast<unsigned>(columns[column].type & 0xFF));
                    else
                        RecordSetString(row.get(), fields[column],
                                        cell.kind == TransformCell::Text ? cell.text.c_str() : nullptr);
                }
            }
            // The row the view fetched last: Wine writes it in place, without looking for it.
            ViewModify(view.get(), MSIMODIFY_UPDATE, row.get());
            updates.erase(found);
        }
    }
    // Updates of rows that are missing insert them, as the library's do.
    for (size_t i = 0; i < records.size(); ++i)
        if (one_by_one.count(keys[i]) || updates.count(keys[i]))
            apply_one(records[i]);
}

} // namespace detail
} // namespace msi

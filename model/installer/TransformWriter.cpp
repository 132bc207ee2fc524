#include "model/installer/TransformWriter.h"
#include "model/installer/DatabaseCodePage.h"
#include "model/installer/TransformContent.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformTableData.h"

#include <algorithm>
#include <set>

namespace msi {

const CLSID kTransformClassId = {
    0x000C1082, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

using ColumnsByTable = std::map<std::wstring, std::vector<TransformColumn>>;

TransformTable read_table(MSIHANDLE database, const std::wstring& name, const ColumnsByTable& columns)
{
    TransformTable table;
    table.name = name;
    auto found = columns.find(name);
    if (found != columns.end())
        table.columns = found->second;
    if (table.KeyColumns().empty())
        ThrowTransformRefused(L"The table " + name + L" has no primary key.");
    ReadTableRows(database, table);
    return table;
}

// A transform can only append non-key columns to a table that both databases have.
size_t common_columns(const std::wstring& name, const std::vector<TransformColumn>& before,
                      const std::vector<TransformColumn>& after)
{
    bool prefix = before.size() <= after.size() && std::equal(before.begin(), before.end(), after.begin());
    for (size_t i = before.size(); prefix && i < after.size(); ++i)
        prefix = !after[i].IsKey();
    if (!prefix)
        ThrowTransformRefused(
            L"The columns of the table " + name +
            L" changed in a way a transform cannot hold: only new non-key columns at the end "
            L"can be added.");
    return before.size();
}

// Reference rows lack the appended columns: those cells are null there.
TransformRow widened(const TransformRow& row, size_t size)
{
    TransformRow wide = row;
    wide.resize(size);
    return wide;
}

// Walks both tables in key order, so the records come sorted by key as native transforms have them.
void diff_rows(TransformContent& content, const TransformTable& before, const TransformTable& after)
{
    const std::vector<TransformColumn>& columns = after.columns;
    auto old_row = before.rows.begin();
    auto new_row = after.rows.begin();
    while (old_row != before.rows.end() || new_row != after.rows.end()) {
        if (new_row == after.rows.end() ||
            (old_row != before.rows.end() && old_row->first < new_row->first)) {
            content.Delete(after.name, columns, widened(old_row->second, columns.size()));
            ++old_row;
        } else if (old_row == before.rows.end() || new_row->first < old_row->first) {
            content.Insert(after.name, columns, new_row->second);
            ++new_row;
        } else {
            TransformRow old_cells = widened(old_row->second, columns.size());
            std::vector<size_t> changed;
            for (size_t i = 0; i < columns.size(); ++i)
                if (!columns[i].IsKey() && old_cells[i] != new_row->second[i])
                    changed.push_back(i);
            if (!changed.empty())
                content.Update(after.name, columns, new_row->second, changed);
            ++old_row;
            ++new_row;
        }
    }
}

void add_table(TransformContent& content, const TransformTable& table)
{
    content.AddTable(table.name);
    // Number 0 (null): the reader numbers a new table's columns itself, as native transforms have it
    // (checked).
    for (const TransformColumn& column : table.columns)
        content.AddColumn(table.name, 0, column);
    for (const auto& row : table.rows)
        content.Insert(table.name, table.columns, row.second);
}

void diff_table(TransformContent& content, const TransformTable& before, const TransformTable& after)
{
    size_t common = common_columns(after.name, before.columns, after.columns);
    // An appended column has an explicit number (checked); Wine would count a null one from 1 again
    // and overwrite the table's first column.
    for (size_t i = common; i < after.columns.size(); ++i)
        content.AddColumn(after.name, static_cast<int>(i + 1), after.columns[i]);
    // Wine loads the tables that have a stream in the transform before it widens any; a table it loads
    // only afterwards is read at the new width from its old rows (checked: cells shift, rows go).
    if (common < after.columns.size())
        content.Touch(after.name);
    diff_rows(content, before, after);
}

} // namespace

bool WriteTransform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path)
{
    // The pool takes the reference's code page: the transformed database keeps that code page, so a
    // text it cannot hold must not get into the transform either.
    TransformContent content(ReadDatabaseCodePage(reference));
    const std::vector<std::wstring> before = ReadTableNames(reference);
    const std::vector<std::wstring> after = ReadTableNames(database);
    const ColumnsByTable before_columns = ReadAllColumns(reference);
    const ColumnsByTable after_columns = ReadAllColumns(database);

    std::set<std::wstring> names(before.begin(), before.end());
    names.insert(after.begin(), after.end());
    for (const std::wstring& name : names) {
        bool in_before = std::binary_search(before.begin(), before.end(), name);
        bool in_after = std::binary_search(after.begin(), after.end(), name);
        if (!in_after) {
            content.DropTable(name);
        } else if (!in_before) {
            add_table(content, read_table(database, name, after_columns));
        } else {
            diff_table(content, read_table(reference, name, before_columns),
                       read_table(database, name, after_columns));
        }
    }
    if (content.Empty())
        return false;
    if (!path.empty())
        WriteStorageFile(path, kTransformClassId, content.Streams());
    return true;
}

} // namespace msi

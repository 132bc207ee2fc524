#include "model/installer/MsiEmptyTables.h"
#include "model/installer/MsiApi.h"
#include "foundation/FileUtil.h"
#include "foundation/TempFiles.h"

#include <msiquery.h>
#include <map>
#include <string>
#include <vector>

namespace msi {
namespace detail {
namespace {

std::vector<std::wstring> texts(MSIHANDLE database, const std::wstring& sql)
{
    std::vector<std::wstring> result;
    MsiHandle view = DatabaseOpenView(database, sql);
    ViewExecute(view.get(), 0);
    while (MsiHandle record = ViewFetch(view.get()))
        for (UINT field = 1; field <= RecordGetFieldCount(record.get()); ++field)
            result.push_back(RecordGetString(record.get(), field));
    return result;
}

// Only the first column (a key, never a stream) is selected: fetching a stream cell would touch a stream
// the commit is about to write.
bool has_rows(MSIHANDLE database, const std::wstring& table, const std::wstring& first_column)
{
    MsiHandle view = DatabaseOpenView(database, L"SELECT `" + first_column + L"` FROM `" + table + L"`");
    ViewExecute(view.get(), 0);
    return static_cast<bool>(ViewFetch(view.get()));
}

std::vector<std::wstring> empty_tables(MSIHANDLE database)
{
    std::map<std::wstring, std::wstring> first_columns;
    std::vector<std::wstring> pairs =
        texts(database, L"SELECT `Table`, `Name` FROM `_Columns` WHERE `Number` = 1");
    for (size_t i = 0; i + 1 < pairs.size(); i += 2)
        first_columns[pairs[i]] = pairs[i + 1];
    std::vector<std::wstring> empty;
    for (const std::wstring& name : texts(database, L"SELECT `Name` FROM `_Tables`")) {
        auto first = first_columns.find(name);
        if (first != first_columns.end() && !has_rows(database, name, first->second))
            empty.push_back(name);
    }
    return empty;
}

} // namespace

bool RunningOnWine()
{
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

void RebuildEmptyTables(MSIHANDLE database)
{
    if (MsiGetDatabaseState(database) != MSIDBSTATE_WRITE)
        return;
    std::vector<std::wstring> tables = empty_tables(database);
    if (tables.empty())
        return;
    TempFiles files; // deletes the table file
    std::wstring path = files.Create(L""), folder, name;
    SplitPathAtLastBackslash(path, folder, name);
    // The import replaces the table in one step; no view of it is open here.
    for (const std::wstring& table : tables) {
        // A table the library cannot write out is left as it is rather than failing the save.
        if (MsiDatabaseExportW(database, table.c_str(), folder.c_str(), name.c_str()) != ERROR_SUCCESS)
            continue;
        DatabaseImport(database, folder, name);
    }
}

} // namespace detail
} // namespace msi

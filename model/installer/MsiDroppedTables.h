#pragma once
// Wine's apply of a transform that drops a table takes the table out of _Tables but leaves its rows in
// _Columns: the table is gone from every list, yet no table of that name can be made again (1627). The
// layer removes the column definitions of every table the apply dropped.
#include <windows.h>
#include <msi.h>
#include <set>
#include <string>

namespace msi {
namespace detail {

std::set<std::wstring> ListedTables(MSIHANDLE database);
// Deletes the _Columns rows of each table of before that _Tables no longer lists.
void RemoveColumnsOfDroppedTables(MSIHANDLE database, const std::set<std::wstring>& before);

} // namespace detail
} // namespace msi

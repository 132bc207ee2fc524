#pragma once
// Wine's commit of a table that lost all its rows in the session frees the table's stream but leaves a
// dangling link in the compound file's directory: on reopen another table may read empty, and some such
// files make readers loop. A table that Wine's own import has just made afresh commits soundly, so before
// every commit of a writable database the layer re-imports each empty table from its own export. Only
// under Wine; Windows keeps its own commit.
#include <windows.h>
#include <msi.h>

namespace msi {
namespace detail {

bool RunningOnWine();
// Re-creates every empty table of a writable database with the same columns (through an export and an
// import of its empty table file). Failing calls throw Win32Error.
void RebuildEmptyTables(MSIHANDLE database);

} // namespace detail
} // namespace msi

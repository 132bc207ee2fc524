#pragma once
// A database's code page goes in and out through a "_ForceCodepage" table file: three lines, two empty
// ones, then "<code page>\t_ForceCodepage". The file lives in a registry of its own, so either call may
// run on a worker thread.
#include <windows.h>
#include <msi.h>

namespace msi {

// The database's code page (0 = neutral). An export that does not read as one throws Win32Error.
UINT ReadDatabaseCodePage(MSIHANDLE database);
// Forces the code page on the database; the import's failure throws Win32Error.
void WriteDatabaseCodePage(MSIHANDLE database, UINT code_page);

} // namespace msi

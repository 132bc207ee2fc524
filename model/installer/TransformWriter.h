#pragma once
// The program's own transform writer, for installer libraries that cannot generate transforms (Wine
// answers 120 and 1627). It reads both databases through the installer library and writes a
// structured-storage transform that the library's MsiDatabaseApplyTransformW turns reference into
// database with. Strings are compared exactly, integers by value, streams by bytes; rows match by key.
//
// A transform can add and drop tables, append non-key columns, and add, change and delete rows. Any
// other difference (a changed column definition, a new key column) and any text that the transform's
// code page (the reference database's) cannot hold throws a ManageableError naming it; no file is
// written then. Failing platform calls throw Win32Error.
#include <windows.h>
#include <msi.h>
#include <string>

namespace msi {

// Writes the transform from reference to database at path (replacing any file there). Returns false,
// writing nothing, when the databases do not differ. An empty path only answers whether they differ.
bool WriteTransform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path);

// The transform's class id, carried by the root storage: Wine applies nothing without it (checked: any
// other class answers 1627).
extern const CLSID kTransformClassId;

} // namespace msi

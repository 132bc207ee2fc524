#pragma once
// A written database or transform is read back before it takes the place of a user's file: it must pass the
// structure check, open in the installer library, and list the tables expected with their row counts.
#include <map>
#include <string>

namespace msi {

// Table name to row count.
using TableRowCounts = std::map<std::wstring, size_t>;

// Every table `_Tables` lists with its row count, as the library reads the file (opened read-only).
TableRowCounts DatabaseRowCounts(const std::wstring& path);
// Throws ManageableError that names the file and the first difference when it fails the structure check,
// does not open, or does not list exactly the expected tables and row counts.
void CheckWrittenDatabase(const std::wstring& path, const TableRowCounts& expected);
// The same for a transform: every stream of the file reads back and its class is a transform's.
void CheckWrittenTransform(const std::wstring& path);

} // namespace msi

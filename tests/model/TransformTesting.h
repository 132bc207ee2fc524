#pragma once
// Helpers of the transform writer tests: statements with parameters, a whole database as text, and a
// transform applied to a fresh copy of its base.
#include "model/installer/MsiApi.h"

#include <map>
#include <string>
#include <vector>

namespace transform_testing {

// A statement parameter: an integer, a text (empty = null) or a stream read from a file.
struct Arg
{
    enum Kind
    {
        Integer,
        Text,
        StreamFile
    } kind = Text;
    int number = 0;
    std::wstring text;
};
inline Arg Int(int value)
{
    return Arg{Arg::Integer, value, {}};
}
inline Arg Str(const std::wstring& value)
{
    return Arg{Arg::Text, 0, value};
}
inline Arg File(const std::wstring& path)
{
    return Arg{Arg::StreamFile, 0, path};
}

void Exec(MSIHANDLE database, const std::wstring& sql, const std::vector<Arg>& args = {});
// A new database with the statements run and committed, closed again.
void CreateDatabase(const std::wstring& path, const std::vector<std::wstring>& statements,
                    UINT code_page = 0);
void SetCodePage(MSIHANDLE database, UINT code_page);

// Every table of _Tables: its column definitions and its rows (sorted), each cell as text with stream
// cells as their bytes. Keyed by table name.
using DatabaseText = std::map<std::wstring, std::vector<std::string>>;
DatabaseText DumpDatabase(MSIHANDLE database);

// Copies base to a new file in folder and applies the transform. With reopen, the copy is committed and
// closed, the transform file deleted (nothing may still read from it) and the copy opened again
// read-only; without, the copy stays open as it was applied.
// copy_path, when given, receives the copy's path.
MsiHandle ApplyToCopy(const std::wstring& base, const std::wstring& transform, const std::wstring& folder,
                      bool reopen = true, std::wstring* copy_path = nullptr);

// The bytes of one stream (packed name) of a transform file, read with the structured-storage calls.
std::string ReadTransformStream(const std::wstring& transform, const std::wstring& packed_name);

} // namespace transform_testing

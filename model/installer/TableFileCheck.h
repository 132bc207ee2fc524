#pragma once
// The check a table file (.idt) passes before the installer library imports it: under Wine the import
// faults on an empty file. A table file starts with three lines: the column names, their types (as many,
// each a type letter and a size), and the table name followed by its key columns; the code-page file
// has two empty lines and "<code page>\t_ForceCodepage".
#include "foundation/Errors.h"

#include <string>

namespace msi {

// A table file that cannot be imported ("MsiDatabaseImport"), with a message naming its path.
class TableFileError : public tfc::Win32Error
{
public:
    explicit TableFileError(const std::wstring& path);
    std::wstring system_message() const override { return message_; }
    std::wstring description() const override { return message_; }

private:
    std::wstring message_;
};

// True when the bytes start as a table file does.
bool HasTableFileHeader(const std::string& bytes);
// Throws TableFileError unless the file at path has a table file's header; a file that cannot be read
// throws Win32Error.
void RequireTableFile(const std::wstring& path);

} // namespace msi

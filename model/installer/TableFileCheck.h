#pragma once
// The check a table file (.idt) passes before the installer library imports it. The library faults on an
// empty file and on a row with fewer fields than columns, makes up values, cuts integers at the first
// other character, stores the smallest value of an integer column as null, drops extra fields, splits a
// row at a carriage return and leaves a table without its rows when a stream file is missing; every such
// file is refused here with the line and column at fault, before any of it goes in.
//
// A table file starts with three lines: the column names, their types (as many, each a type letter and a
// size), and the table name followed by its key columns; each further line is a row, its fields
// separated by tabs. The code-page file has two empty lines and "<code page>\t_ForceCodepage".
#include "foundation/Errors.h"

#include <string>

namespace msi {

// A table file that cannot be imported ("MsiDatabaseImport"). Its text names the file on its first line
// and says why on the next.
class TableFileError : public tfc::Win32Error
{
public:
    // The file is empty or has no table file's header.
    explicit TableFileError(const std::wstring& path);
    // A fault at a line (from 1); column names the column at fault, or is empty.
    TableFileError(const std::wstring& path, size_t line, const std::wstring& column,
                   const std::wstring& fault);
    std::wstring system_message() const override { return message_; }
    std::wstring description() const override { return message_; }

private:
    std::wstring message_;
};

// True when the bytes start as a table file does.
bool HasTableFileHeader(const std::string& bytes);
// Throws TableFileError unless the file at path is a table file whose every row fits its columns: as many
// fields as columns, integers (sign and digits) the column's size holds other than the null, no carriage
// return inside a row, and each stream cell's file where the library looks for it (the folder named as
// the file without its extension). A file that cannot be read throws Win32Error.
void RequireTableFile(const std::wstring& path);

} // namespace msi

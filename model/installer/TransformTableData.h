#pragma once
// What the transform writer reads of one database: tables, their columns as the database stores them
// (type words from _Columns), and every row keyed by its primary key. Everything is read through the
// installer library, so a transacted handle shows its uncommitted edits.
#include <windows.h>
#include <msi.h>
#include <map>
#include <string>
#include <vector>

namespace msi {

// One column's type word, as _Columns stores it.
struct TransformColumn
{
    std::wstring name;
    int type = 0;

    bool IsKey() const { return (type & 0x2000) != 0; }
    bool IsNullable() const { return (type & 0x1000) != 0; }
    bool IsStream() const { return (type & ~0x1000) == 0x0900; }
    bool IsString() const { return (type & 0x0800) != 0 && !IsStream(); }
    // Integers only: 2 or 4 bytes in a table stream.
    bool IsShort() const { return (type & 0xFF) <= 2; }
    bool operator==(const TransformColumn& other) const { return name == other.name && type == other.type; }
};

// One cell: null, an integer, a text or a stream's bytes.
struct TransformCell
{
    enum Kind
    {
        Null,
        Integer,
        Text,
        Stream
    };
    Kind kind = Null;
    int integer = 0;
    std::wstring text;
    std::string bytes;

    bool operator==(const TransformCell& other) const;
    // The cell's text in a row's stream name: integers in signed decimal, null empty.
    std::wstring KeyText() const;
    bool operator!=(const TransformCell& other) const { return !(*this == other); }
    bool operator<(const TransformCell& other) const;
};

using TransformRow = std::vector<TransformCell>;

struct TransformTable
{
    std::wstring name;
    std::vector<TransformColumn> columns;
    // Rows by their key cells (the key columns in column order).
    std::map<TransformRow, TransformRow> rows;

    std::vector<size_t> KeyColumns() const;
};

// Names of the tables listed in _Tables, sorted.
std::vector<std::wstring> ReadTableNames(MSIHANDLE database);
// Columns of every table, in column order; temporary columns left out.
std::map<std::wstring, std::vector<TransformColumn>> ReadAllColumns(MSIHANDLE database);
// Every row of the table, stream cells with their bytes.
void ReadTableRows(MSIHANDLE database, TransformTable& table);

} // namespace msi

#pragma once
// Which tables a table may refer to, and which rows of another table one of its rows refers to: through
// the relationships of "schema.dat" and through [..] references in the text of Formatted and Template
// columns ([PROPERTY], [#FileKey], [!FileKey], [$ComponentKey]): the MsiTable operations ReferencedTables,
// MatchRelatedRows and FindRelatedRows. Row reference tracking asks these.
//
// Two cells match when they hold the same value: texts as UTF-16 units, numbers by value. A null cell
// (or the installer's null integer, or a stream) holds no value and matches nothing, so a null foreign key
// refers to no row, not to a row whose key is null or reads "<null>".
#include "model/FieldSchema.h"
#include "model/MsiTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace table_relationships {

// The tables whose rows [..] references in formatted text name by their key.
bool NamedByText(const std::wstring& table);

// The parts FindRelatedRows and MatchRelatedRows are made of, for indexes that give the same answers.
// The value a cell gives a relationship; false when it holds none.
bool CellValue(const MsiFieldDef& column, const MsiFieldData& cell, std::wstring& value);
// Room for a value that the cell does not keep as UTF-16 units: a number's decimal text, or a text kept a
// byte a character.
struct ValueText
{
    wchar_t units[12];
    std::wstring wide;
};
// The same value, copied only when it must be: a view of the cell's own units, or of what was written into
// number. The view stands while the cell and number do.
bool CellValueView(const MsiFieldDef& column, const MsiFieldData& cell, ValueText& number,
                   std::wstring_view& value);
// The schema's relationships from table a to table b, in the schema's order.
std::vector<RelationshipDefPtr> Between(const std::wstring& a, const std::wstring& b);
// Column positions of a relationship's column pairs that both tables have.
struct ColumnPair
{
    int mine;
    int theirs;
};
std::vector<ColumnPair> ColumnPairs(const RelationshipDef& relationship, const MsiTable& table,
                                    const MsiTable& related);
// Whether a relationship reaches the changed column of the referred table.
bool ThroughColumn(const RelationshipDef& relationship, const MsiFieldDef& changed);
// Whether the column holds text whose [..] references name rows.
bool HoldsText(const MsiFieldDef& column);
// The names a row's formatted text gives, each after the mark of the tables it names rows of ("=" for
// Property and Directory, "$" for Component, "#" for File); the mark of a named table.
std::vector<std::wstring> TextNames(const MsiTable& table, const MsiRow& row);
wchar_t TextNameKind(const std::wstring& table);

} // namespace table_relationships

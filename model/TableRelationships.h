#pragma once
// Which tables a table may refer to, and which rows of another table one of its rows refers to: through
// the relationships of "schema.dat" and through [..] references in the text of Formatted and Template
// columns ([PROPERTY], [#FileKey], [!FileKey], [$ComponentKey]). Row reference tracking asks these.
//
// Two cells match when they hold the same value: texts as UTF-16 units, numbers by value. A null cell
// (or the installer's null integer, or a stream) holds no value and matches nothing, so a null foreign key
// refers to no row, not to a row whose key is null or reads "<null>".
#include "model/FieldSchema.h"
#include "model/MsiTable.h"

#include <map>
#include <set>
#include <string>
#include <utility>

using RelationshipSet = std::set<RelationshipDefPtr, RelationshipDefLess>;

// A row of a table as a result key.
struct RelatedRowLess
{
    bool operator()(const std::pair<MsiTable*, RowIterator>& a,
                    const std::pair<MsiTable*, RowIterator>& b) const
    {
        if (a.first != b.first)
            return std::less<MsiTable*>()(a.first, b.first);
        return RowIteratorLess()(a.second, b.second);
    }
};
// Rows of another table with the relationships through which a row refers to each of them.
using RelatedRows = std::map<std::pair<MsiTable*, RowIterator>, RelationshipSet, RelatedRowLess>;

namespace table_relationships {

// The names of the tables that rows of the table may refer to.
std::set<std::wstring> ReferencedTables(const MsiTable& table);
// Adds every row of related that the row refers to.
void FindRelatedRows(const MsiTable& table, RelatedRows& result, RowIterator row, MsiTable& related);
// Adds related_row when the row refers to it. changed, a column of related (or null for a new row), limits
// the relationships tried to those through that column.
void MatchRelatedRows(const MsiTable& table, RelatedRows& result, RowIterator row, MsiTable& related,
                      RowIterator related_row, const MsiFieldDef* changed);

} // namespace table_relationships

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

namespace table_relationships {

// The tables whose rows [..] references in formatted text name by their key.
bool NamedByText(const std::wstring& table);

} // namespace table_relationships

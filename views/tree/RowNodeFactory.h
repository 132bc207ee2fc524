#pragma once
// Which class a row node or a grouping of a table is, and how groupings and their items are added to a
// row node. Row classes with behaviour of their own register here; every other table gets the class of
// the built-in table (an icon of its own, or the plain RowElementNode).
#include "model/MsiTable.h"
#include "views/tree/RowElementNode.h"
#include "views/tree/RowGrouping.h"

#include <functional>
#include <string>

class TableViewsTab;

using RowNodeMaker =
    std::function<RowElementNode*(TableViewsTab* tab, const std::wstring& table_name, RowIterator row)>;
using RowGroupingMaker =
    std::function<RowGrouping*(const std::wstring& table_name, RowElementNode* owner, bool accept_all)>;

// The class of the table's rows (by exact table name) is made by `maker` from now on.
void RegisterRowNodeClass(const std::wstring& table_name, RowNodeMaker maker);
// The grouping of that name (a table's name, or "Components") is made by `maker`; `accept_all` selects
// the makers registered for accept-all groupings (true) or the others (false). Returns the maker it
// replaces (empty: none), so that a test can put it back.
RowGroupingMaker RegisterRowGroupingClass(const std::wstring& name, bool accept_all, RowGroupingMaker maker);

// A node for the row with its label set (no placeholder yet).
tfc::RefersTo<RowElementNode> CreateRowElementNode(TableViewsTab* tab, const std::wstring& table_name,
                                                   RowIterator row);
RowGrouping* CreateRowGrouping(const std::wstring& table_name, RowElementNode* owner, bool accept_all);
// The node's grouping of that name; else a new one when the database has the table; else null.
RowGrouping* AddRowGrouping(RowElementNode* node, const std::wstring& table_name, bool accept_all);
RowGroupingNode* AddRowGroupingNode(RowGrouping* grouping);
void RemoveRowGroupingNode(RowGrouping* grouping);

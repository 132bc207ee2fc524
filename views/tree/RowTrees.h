#pragma once
// The Dialogs, Components and Features pages: one top-level grouping of the table's rows, each a row node
// of the class its table has in these trees.
#include "views/tree/RowElementNode.h"

#include <string>

class TableViewsTab;
class TreeView;

// The row node and grouping classes of the row trees take over from the plain ones.
void RegisterRowTreeClasses();

// Fills the tree with the rows of the table ("Dialog", "Component" or "Feature"; for Feature only the
// features without a parent) under one expanded grouping item. Returns the invisible root owner, which the
// tab keeps while the tree shows it; null when the database lacks the table or the tree already shows it.
tfc::RefersTo<RowElementNode> FillTreeView(TableViewsTab& tab, TreeView& tree,
                                           const std::wstring& table_name);

#pragma once
// A document tab as its trees, table nodes and row dialogs see it: what the frame knows of it, and the
// views it is made of.
#include "frame/DocumentTab.h"

#include <string>

class MsiTableNode;
class ObjectWindow;
class TreeView;

class TableViewsTab : public EditableMsiFileTab
{
public:
    using EditableMsiFileTab::EditableMsiFileTab;

    // The table list that every tree page fills.
    virtual ObjectWindow* GetTreeContext() = 0;
    virtual TreeView* GetTablesTree() = 0;
    virtual MsiTableNode* FindTableNode(const std::wstring& name) = 0;
    // A transform tab answers only for tables of the edited file.
    virtual MsiTableNode* FindEditableTableNode(const std::wstring& name) = 0;
    virtual void DropTable(MsiTableNode* node) = 0;
};

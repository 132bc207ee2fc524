#pragma once
// A Component row of the Components tree: labelled with its target folder, which follows edits of the
// Directory table, and offering the registry-file import.
#include "views/tree/RowElementNode.h"

#include <memory>

class ComponentFolders;

class ComponentNode : public RowElementNode
{
public:
    ComponentNode(TableViewsTab* tab, const std::wstring& table_name, RowIterator row);
    ~ComponentNode() override;

    int GetIconId() override { return 1008; }
    // The key, four spaces and the target path of the component's directory.
    std::wstring MakeLabel() override;
    // Menu 133: the row commands and "&Import .reg file".
    void OnContextMenu(int x, int y) override;
    void OnCommand(UINT id) override;
    // Whether "&Import .reg file" can run: a writable database with a Registry table.
    bool CanImportRegFile();

private:
    // The folders of the Directory table the node had at construction (none without one); they follow
    // the table's events and relabel the node.
    std::shared_ptr<ComponentFolders> folders_;
};

#pragma once
// A Component row of the Components tree: labelled with its target folder, which follows edits of the
// Directory table, and offering the registry-file import.
#include "views/tree/RowElementNode.h"

class ComponentNode : public RowElementNode, public EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>
{
public:
    using TableEngine = EventEngine<MsiTable*, MsiFile::TableEventArg>;

    ComponentNode(EditableMsiFileTab* tab, const std::wstring& table_name, RowIterator row);
    ~ComponentNode() override;

    int GetIconId() override { return 1008; }
    // The key, four spaces and the target path of the component's directory.
    std::wstring MakeLabel() override;
    // Menu 133: the row commands and "&Import .reg file".
    void OnContextMenu(int x, int y) override;
    void OnCommand(UINT id) override;
    // Whether "&Import .reg file" can run: a writable database with a Registry table.
    bool CanImportRegFile();

protected:
    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, TableEngine& engine) override;
    using RowElementNode::notify;

private:
    // The Directory table watched; null once it was dropped.
    MsiTable* directory_ = nullptr;
};

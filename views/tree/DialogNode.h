#pragma once
// A Dialog row of the Dialogs tree. Its only command previews the dialog as the installer shows it.
#include "views/tree/RowElementNode.h"

class DialogNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1004; }
    // Menu 131: "&Preview" only; the row commands are not offered on dialogs.
    void OnContextMenu(int x, int y) override;
    void OnCommand(UINT id) override;
    // Previews the dialog over the main window until the preview window is closed.
    void Preview();
};

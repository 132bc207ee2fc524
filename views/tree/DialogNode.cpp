#include "views/tree/DialogNode.h"

#include "foundation/PopupMenu.h"
#include "resources/TreesIds.h"
#include "views/tree/DialogPreview.h"
#include "views/tree/TreeView.h"

void DialogNode::OnContextMenu(int x, int y)
{
    UINT command = TrackResourceMenu(IDR_DIALOG_NODE_MENU, POINT{x, y}, tab_->DialogOwner());
    if (command)
        OnCommand(command);
}

void DialogNode::OnCommand(UINT id)
{
    if (id == ID_NODE_PREVIEW)
        Preview();
    else
        RowElementNode::OnCommand(id);
}

void DialogNode::Preview()
{
    if (!HasRow())
        return;
    HWND owner = tab_->DialogOwner();
    // The key names the dialog; the label may be cut.
    PreviewInstallerDialog(GetFile().handle(), GetTable()->RowKeyText(*GetRow()), owner);
}

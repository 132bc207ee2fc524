#include "views/tree/DialogNode.h"

#include "resources/TreesIds.h"
#include "shell/MainWindow.h"
#include "views/tree/DialogPreview.h"
#include "views/tree/TreeView.h"

void DialogNode::OnContextMenu(int x, int y)
{
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DIALOG_NODE_MENU));
    if (!menu)
        tfc::throw_last_error(L"LoadMenu");
    MainWindow* frame = tab_->GetMainWindow();
    HWND owner = frame ? frame->GetWindowHandle() : tab_->GetWindowHandle();
    UINT command = static_cast<UINT>(
        TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, owner, nullptr));
    DestroyMenu(menu);
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
    MainWindow* frame = tab_->GetMainWindow();
    HWND owner = frame ? frame->GetWindowHandle() : tab_->GetWindowHandle();
    // The key names the dialog; the label may be cut.
    PreviewInstallerDialog(GetFile().handle(), GetTable()->RowKeyText(*GetRow()), owner);
}

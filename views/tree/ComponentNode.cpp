#include "views/tree/ComponentNode.h"

#include "foundation/PopupMenu.h"
#include "resources/NodesIds.h"
#include "resources/TreesIds.h"
#include "views/tree/ComponentFolders.h"
#include "views/tree/ImportRegFile.h"
#include "views/tree/TreeView.h"

ComponentNode::ComponentNode(TableViewsTab* tab, const std::wstring& table_name, RowIterator row)
    : RowElementNode(tab, table_name, row)
{
    if (MsiTable* directory = GetFile().FindTable(L"Directory").get()) {
        folders_ = ComponentFolders::For(GetFile(), *directory);
        folders_->Join(this);
    }
}

ComponentNode::~ComponentNode()
{
    if (folders_)
        folders_->Leave(this);
}

std::wstring ComponentNode::MakeLabel()
{
    if (!HasRow())
        return std::wstring();
    std::wstring text = GetTable()->RowKeyText(*GetRow());
    const MsiRow& row = *GetRow();
    std::wstring path;
    if (folders_ && folders_->HasTable() && row.size() > 2 && !row[2]->is_null())
        path = folders_->Resolve(row[2]->string());
    return CutLabel(text + L"    " + path);
}

bool ComponentNode::CanImportRegFile()
{
    return !tab_->IsReadOnly() && !GetFile().read_only() && tab_->GetTableLookup(L"Registry") != nullptr;
}

void ComponentNode::OnContextMenu(int x, int y)
{
    bool read_only = tab_->IsReadOnly(), imports = CanImportRegFile();
    UINT command = TrackResourceMenu(
        IDR_COMPONENT_NODE_MENU, POINT{x, y}, tab_->DialogOwner(), [read_only, imports](HMENU popup) {
            if (read_only)
                EnableMenuItem(popup, ID_ROW_DELETE, MF_BYCOMMAND | MF_GRAYED);
            if (!imports)
                EnableMenuItem(popup, ID_NODE_IMPORT_REG_FILE, MF_BYCOMMAND | MF_GRAYED);
        });
    if (command)
        OnCommand(command);
}

void ComponentNode::OnCommand(UINT id)
{
    if (id != ID_NODE_IMPORT_REG_FILE) {
        RowElementNode::OnCommand(id);
        return;
    }
    if (!CanImportRegFile() || !HasRow())
        return;
    HWND owner = GetTree() ? GetTree()->GetWindow() : tab_->GetWindowHandle();
    ImportRegFile(*tab_, owner, GetTable()->RowKeyText(*GetRow()));
}

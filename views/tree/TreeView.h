#pragma once
// One tree-view control whose items stand for nodes: inserts nodes and routes the control's
// notifications to them. The owner creates the control and hands every WM_NOTIFY and WM_CONTEXTMENU
// from it to OnNotify and OnContextMenu. A tree with check boxes needs TVS_CHECKBOXES before the first
// item is inserted: Wine gives items inserted earlier no check box.
#include "foundation/Errors.h"
#include "foundation/RefCounted.h"
#include "views/tree/StaticNode.h"

#include <windows.h>
#include <commctrl.h>

class ObjectWindow;

class TreeView
{
public:
    TreeView();
    // Deletes the items while their nodes are still alive.
    ~TreeView();
    TreeView(const TreeView&) = delete;
    TreeView& operator=(const TreeView&) = delete;

    void SetWindow(HWND window) { window_ = window; }
    HWND GetWindow() const { return window_; }
    // The list that a selected node fills (none at first).
    void SetListView(ObjectWindow* list) { list_ = list; }
    ObjectWindow* GetListView() const { return list_; }

    // The invisible root: its children are the top-level items.
    ContainerNode* Root() const { return root_.get(); }

    // Failure throws Win32Error "TreeView_InsertItem". The item asks its node whether it has children, so
    // a node whose children have no items yet still shows its expand button. Without `invalidate` the
    // item's row is not redrawn (a parent that is collapsed shows nothing of it): Wine checks the item
    // asked for by a search through all items.
    HTREEITEM InsertNode(HTREEITEM parent, HTREEITEM insert_after, ContainerNode* node,
                         bool invalidate = true);
    ContainerNode* NodeFromItem(HTREEITEM item) const;
    ContainerNode* GetSelectedNode() const;
    // The last top-level node (where a backward search starts), or null.
    ContainerNode* GetLastNode() const;
    // Removes every top-level node with redrawing off.
    void Clear();

    LRESULT OnNotify(NMHDR* header);
    // TVM_GETITEMRECT: the item's text or whole row; false when it is not visible.
    static bool GetItemRect(HWND tree, HTREEITEM item, bool text_only, RECT& rect);
    LRESULT OnContextMenu(int x, int y);

private:
    LRESULT OnGetDispInfo(NMTVDISPINFOW* info);

    HWND window_ = nullptr;
    ObjectWindow* list_ = nullptr;
    tfc::RefersTo<StaticNode> root_;
};

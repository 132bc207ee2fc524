#include "views/tree/TreeView.h"
#include "foundation/NoRedraw.h"
#include "foundation/Errors.h"

#include <optional>
#include <cstring>
#include <vector>

namespace {

// The root is a StaticNode whose tree is set without inserting it.
class RootNode : public StaticNode
{
public:
    explicit RootNode(TreeView* tree) : StaticNode(L"") { SetTree(tree); }
};

// Keeps a node alive while a notification is handed to it: handlers may remove their own node.
using Held = tfc::RefersTo<ContainerNode>;

ContainerNode* node_of(LPARAM param)
{
    return reinterpret_cast<ContainerNode*>(param);
}

} // namespace

TreeView::TreeView() : root_(new RootNode(this)) {}

TreeView::~TreeView()
{
    if (window_ && IsWindow(window_))
        Clear();
    // Nodes held elsewhere must not reach a tree that is gone.
    window_ = nullptr;
}

HTREEITEM TreeView::InsertNode(HTREEITEM parent, HTREEITEM insert_after, ContainerNode* node, bool invalidate)
{
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = insert_after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = LPSTR_TEXTCALLBACKW;
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.cChildren = I_CHILDRENCALLBACK;
    insert.item.lParam = reinterpret_cast<LPARAM>(node);
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(window_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item)
        tfc::throw_last_error(L"TreeView_InsertItem");
    RECT rect = {};
    if (invalidate && GetItemRect(window_, item, false, rect))
        InvalidateRect(window_, &rect, FALSE);
    return item;
}

bool TreeView::GetItemRect(HWND tree, HTREEITEM item, bool text_only, RECT& rect)
{
    // The message takes the item in the rectangle's first bytes.
    std::memcpy(&rect, &item, sizeof(item));
    return SendMessageW(tree, TVM_GETITEMRECT, text_only, reinterpret_cast<LPARAM>(&rect)) != FALSE;
}

ContainerNode* TreeView::NodeFromItem(HTREEITEM item) const
{
    if (!item || !window_)
        return nullptr;
    TVITEMW info = {};
    info.mask = TVIF_PARAM;
    info.hItem = item;
    if (!SendMessageW(window_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&info)))
        return nullptr;
    return node_of(info.lParam);
}

ContainerNode* TreeView::GetSelectedNode() const
{
    if (!window_)
        return nullptr;
    return NodeFromItem(reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

ContainerNode* TreeView::GetLastNode() const
{
    if (!root_->HasChildren() || !window_)
        return nullptr;
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    while (item) {
        auto next = reinterpret_cast<HTREEITEM>(
            SendMessageW(window_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
        if (!next)
            break;
        item = next;
    }
    return NodeFromItem(item);
}

void TreeView::Clear()
{
    std::optional<NoRedraw> quiet;
    if (window_)
        quiet.emplace(window_);
    std::vector<Held> children;
    for (const auto& child : root_->GetChildren())
        children.push_back(child.node);
    for (const Held& child : children)
        root_->RemoveChild(child.get());
}

LRESULT TreeView::OnNotify(NMHDR* header)
{
    switch (header->code) {
    case TVN_SELCHANGEDW: {
        auto* change = reinterpret_cast<NMTREEVIEWW*>(header);
        // Wine reports no old item when the selected item was deleted.
        Held old_node(change->itemOld.hItem ? node_of(change->itemOld.lParam) : nullptr);
        Held new_node(change->itemNew.hItem ? node_of(change->itemNew.lParam) : nullptr);
        if (old_node)
            old_node->OnDeselected();
        if (new_node)
            new_node->OnSelected(list_);
        return 1;
    }
    case TVN_ITEMEXPANDINGW: {
        auto* expand = reinterpret_cast<NMTREEVIEWW*>(header);
        Held node(node_of(expand->itemNew.lParam));
        return node && node->OnExpanding() ? 1 : 0;
    }
    case TVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMTVDISPINFOW*>(header));
        return 1;
    case NM_CUSTOMDRAW: {
        auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
        Held node(draw->nmcd.dwDrawStage & CDDS_ITEM ? node_of(draw->nmcd.lItemlParam) : nullptr);
        if (node && node->GetItem() != TVI_ROOT)
            return node->OnCustomDraw(draw);
        return draw->nmcd.dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : 0;
    }
    }
    return 0;
}

LRESULT TreeView::OnGetDispInfo(NMTVDISPINFOW* info)
{
    ContainerNode* node = node_of(info->item.lParam);
    if (!node)
        return 0;
    if (info->item.mask & TVIF_TEXT)
        info->item.pszText = const_cast<wchar_t*>(node->GetLabel().c_str());
    if (info->item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
        int image = node->GetIconId() - 1000;
        if (info->item.mask & TVIF_IMAGE)
            info->item.iImage = image;
        if (info->item.mask & TVIF_SELECTEDIMAGE)
            info->item.iSelectedImage = image;
    }
    if (info->item.mask & TVIF_CHILDREN)
        info->item.cChildren = node->HasChildren() ? 1 : 0;
    return 0;
}

LRESULT TreeView::OnContextMenu(int x, int y)
{
    if (!window_)
        return 0;
    if (static_cast<short>(x) == -1 && static_cast<short>(y) == -1) {
        // From the keyboard: below the caret item's text.
        auto item = reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_GETNEXTITEM, TVGN_CARET, 0));
        Held node(NodeFromItem(item));
        if (!node)
            return 0;
        RECT rect = {};
        if (!GetItemRect(window_, item, true, rect))
            return 0;
        POINT point = {rect.right, rect.bottom};
        ClientToScreen(window_, &point);
        node->OnContextMenu(static_cast<short>(point.x), static_cast<short>(point.y));
        return 0;
    }
    TVHITTESTINFO hit = {};
    hit.pt = {x, y};
    ScreenToClient(window_, &hit.pt);
    auto item =
        reinterpret_cast<HTREEITEM>(SendMessageW(window_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    Held node(NodeFromItem(item));
    if (!node)
        return 0;
    SendMessageW(window_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    node->OnContextMenu(x, y);
    return 0;
}

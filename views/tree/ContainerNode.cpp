#include "views/tree/ContainerNode.h"
#include "views/tree/TreeView.h"

#include <map>

ContainerNode::~ContainerNode() = default;

void ContainerNode::OnContextMenu(int, int) {}
int ContainerNode::GetIconId()
{
    return 1000;
}
LRESULT ContainerNode::OnCustomDraw(NMTVCUSTOMDRAW*)
{
    return 0;
}
void ContainerNode::OnDeselected() {}
bool ContainerNode::OnExpanding()
{
    return false;
}

ContainerNode* ContainerNode::AddChild(ContainerNode* child)
{
    tfc::RefersTo<ContainerNode> held(child);
    auto position = children_.insert(Child{child->label_, held});
    child->position_ = position;
    child->parent_ = this;
    child->tree_ = tree_;
    try {
        child->item_ = InsertItemFor(position);
    } catch (...) {
        // No half-added child: the set, the node and the control agree again.
        children_.erase(position);
        child->parent_ = nullptr;
        child->item_ = TVI_ROOT;
        throw;
    }
    OnChildAdded(*child);
    return child;
}

HTREEITEM ContainerNode::InsertItemFor(Children::iterator position)
{
    // A removed branch has no items: inserting under TVI_ROOT would show the child at the top.
    if (IsDetached() || (item_ == TVI_ROOT && parent_))
        return TVI_ROOT;
    HTREEITEM after = TVI_FIRST;
    if (position != children_.begin())
        after = std::prev(position)->node->item_;
    return tree_->InsertNode(item_, after, position->node.get());
}

void ContainerNode::RemoveChild(ContainerNode* child)
{
    if (!child || child->parent_ != this)
        return;
    // Held until the end: the control may call back into it while its item is deleted.
    tfc::RefersTo<ContainerNode> held(child);
    if (child->item_ != TVI_ROOT && tree_ && tree_->GetWindow())
        SendMessageW(tree_->GetWindow(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child->item_));
    OnChildRemoved(*child);
    children_.erase(child->position_);
    child->parent_ = nullptr;
    // The control deleted the whole branch: a handle kept below would name a freed item.
    child->ForgetItems();
}

void ContainerNode::ForgetItems()
{
    item_ = TVI_ROOT;
    for (const Child& descendant : children_)
        descendant.node->ForgetItems();
}

bool ContainerNode::IsDetached() const
{
    return !parent_ && tree_ && tree_->Root() != this;
}

void ContainerNode::RemoveAllChildren()
{
    while (!children_.empty())
        RemoveChild(children_.begin()->node.get());
}

ContainerNode* ContainerNode::FindChild(const std::wstring& label) const
{
    auto range = children_.equal_range(Child{label, {}});
    for (auto it = range.first; it != range.second; ++it) {
        if (it->node->label_ == label)
            return it->node.get();
    }
    return nullptr;
}

void ContainerNode::SetLabel(std::wstring label)
{
    if (label == label_)
        return;
    label_ = std::move(label);
    if (!parent_)
        return;
    Children& siblings = parent_->children_;
    tfc::RefersTo<ContainerNode> held(this);
    siblings.erase(position_);
    position_ = siblings.insert(Child{label_, held});
    parent_->SortItemsOfChildren();
}

namespace {

int CALLBACK compare_by_rank(LPARAM a, LPARAM b, LPARAM ranks)
{
    const auto& rank = *reinterpret_cast<const std::map<LPARAM, int>*>(ranks);
    auto ra = rank.find(a), rb = rank.find(b);
    int left = ra == rank.end() ? 0 : ra->second, right = rb == rank.end() ? 0 : rb->second;
    return left < right ? -1 : (left > right ? 1 : 0);
}

} // namespace

// The control cannot move one item; sorting the parent's items by the set's order moves it with its
// subtree, selection and expansion intact.
void ContainerNode::SortItemsOfChildren()
{
    if (!tree_ || !tree_->GetWindow())
        return;
    std::map<LPARAM, int> rank;
    int index = 0;
    for (const Child& child : children_)
        rank[reinterpret_cast<LPARAM>(child.node.get())] = index++;
    TVSORTCB sort = {};
    sort.hParent = item_;
    sort.lpfnCompare = &compare_by_rank;
    sort.lParam = reinterpret_cast<LPARAM>(&rank);
    SendMessageW(tree_->GetWindow(), TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
    InvalidateRect(tree_->GetWindow(), nullptr, FALSE);
}

std::wstring ContainerNode::CutLabel(const std::wstring& text)
{
    if (text.size() <= 100)
        return text;
    return text.substr(0, 100) + L" ...";
}

int ContainerNode::Depth() const
{
    int depth = 0;
    for (const ContainerNode* node = parent_; node; node = node->parent_)
        ++depth;
    return depth;
}

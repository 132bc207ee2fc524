#include "views/tree/ContainerNode.h"
#include "views/tree/TreeView.h"

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

ContainerNode::~ContainerNode()
{
    // The children go in order of their addresses, not in the order the set's own teardown visits them:
    // what each leaves (subscriptions and indexes kept by address) is then visited in step, not at
    // random, which in a branch of 100,000 rows is most of the cost of its going.
    std::vector<tfc::RefersTo<ContainerNode>> going;
    going.reserve(children_.size());
    for (const Child& child : children_)
        going.push_back(child.node);
    children_.clear();
    std::sort(going.begin(), going.end(),
              [](const tfc::RefersTo<ContainerNode>& a, const tfc::RefersTo<ContainerNode>& b) {
                  return std::less<ContainerNode*>()(a.get(), b.get());
              });
    for (tfc::RefersTo<ContainerNode>& child : going)
        child.reset();
}

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

void ContainerNode::AddChildren(const std::vector<ContainerNode*>& children)
{
    if (!children_.empty() || !GivesItems()) {
        for (ContainerNode* child : children)
            AddChild(child);
        return;
    }
    for (ContainerNode* child : children) {
        tfc::RefersTo<ContainerNode> held(child);
        child->position_ = children_.insert(Child{child->label_, held});
        child->parent_ = this;
        child->tree_ = tree_;
    }
    try {
        for (const Child& child : children_)
            if (child.node->HasItem())
                child.node->item_ = tree_->InsertNode(item_, TVI_LAST, child.node.get(), false);
    } catch (...) {
        // No half-added children: the set, the nodes and the control agree again.
        std::vector<tfc::RefersTo<ContainerNode>> added;
        for (const Child& child : children_)
            added.push_back(child.node);
        for (const auto& child : added) {
            if (child->item_ != TVI_ROOT)
                SendMessageW(tree_->GetWindow(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child->item_));
            children_.erase(child->position_);
            child->parent_ = nullptr;
            child->item_ = TVI_ROOT;
        }
        throw;
    }
    for (ContainerNode* child : children)
        OnChildAdded(*child);
    if (!children.empty() && item_ != TVI_ROOT) {
        RECT rect = {};
        if (TreeView::GetItemRect(tree_->GetWindow(), item_, false, rect))
            InvalidateRect(tree_->GetWindow(), &rect, FALSE);
    }
}

bool ContainerNode::GivesItems() const
{
    // A removed branch has no items: inserting under TVI_ROOT would show the child at the top.
    return tree_ && !IsDetached() && !(item_ == TVI_ROOT && parent_);
}

HTREEITEM ContainerNode::InsertItemFor(Children::iterator position)
{
    if (!GivesItems() || !position->node->HasItem())
        return TVI_ROOT;
    HTREEITEM after = TVI_FIRST;
    for (auto before = position; before != children_.begin();) {
        --before;
        if (before->node->item_ != TVI_ROOT) {
            after = before->node->item_;
            break;
        }
    }
    return tree_->InsertNode(item_, after, position->node.get());
}

void ContainerNode::RemoveChild(ContainerNode* child)
{
    if (!child || child->parent_ != this)
        return;
    // Held until the end: the control may call back into it while its item is deleted.
    tfc::RefersTo<ContainerNode> held(child);
    if (child->item_ != TVI_ROOT && tree_ && tree_->GetWindow()) {
        SendMessageW(tree_->GetWindow(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(child->item_));
    } else if (item_ != TVI_ROOT && tree_ && tree_->GetWindow()) {
        // Nothing in the control went: its expand button may have to.
        RECT rect = {};
        if (TreeView::GetItemRect(tree_->GetWindow(), item_, false, rect))
            InvalidateRect(tree_->GetWindow(), &rect, FALSE);
    }
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

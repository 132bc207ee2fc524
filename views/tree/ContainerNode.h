#pragma once
// One item of a tree view: a reference-counted node that supplies its own text, image and children and
// decides what selecting, expanding, drawing or right-clicking it does.
#include "foundation/Errors.h"
#include "foundation/RefCounted.h"

#include <windows.h>
#include <commctrl.h>
#include <set>
#include <string>
#include <vector>

class ObjectWindow;
class TreeView;

class ContainerNode : public tfc::RefCounted
{
public:
    ContainerNode() = default;
    explicit ContainerNode(std::wstring label) : label_(std::move(label)) {}
    ContainerNode(const ContainerNode&) = delete;
    ContainerNode& operator=(const ContainerNode&) = delete;
    ~ContainerNode() override;

    virtual void OnContextMenu(int x, int y);
    virtual int GetIconId();
    virtual void OnSelected(ObjectWindow* list) = 0;
    virtual LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw);
    virtual void OnDeselected();
    // True refuses the expansion (or the collapse: both ask).
    virtual bool OnExpanding();
    // False for a node that stands in its parent's children without an item of its own (a placeholder
    // that only gives its parent an expand button, which the item asks its node for).
    virtual bool HasItem() const { return true; }

    // Puts the child under this node, in label order (equal labels keep insertion order), and inserts
    // its item into the control after its predecessor. This node must belong to a tree.
    ContainerNode* AddChild(ContainerNode* child);
    template <typename T> T* AddChild(T* child)
    {
        AddChild(static_cast<ContainerNode*>(child));
        return child;
    }
    // Adds each child as AddChild does. Into a node without children, the items are inserted in order,
    // each after the last: a fill of many children then costs Wine's control no search per item.
    void AddChildren(const std::vector<ContainerNode*>& children);
    // Deletes the child's item (and its descendants') and lets go of the child.
    void RemoveChild(ContainerNode* child);
    void RemoveAllChildren();
    // The child whose label is exactly `label`, or null.
    ContainerNode* FindChild(const std::wstring& label) const;

    const std::wstring& GetLabel() const { return label_; }
    // A new label also moves the node to its new place among its siblings, in the set and in the control.
    void SetLabel(std::wstring label);
    // Labels made from data: more than 100 characters become the first 100 and " ...".
    static std::wstring CutLabel(const std::wstring& text);

    TreeView* GetTree() const { return tree_; }
    HTREEITEM GetItem() const { return item_; }
    ContainerNode* GetParent() const { return parent_; }
    bool HasChildren() const { return !children_.empty(); }
    size_t ChildCount() const { return children_.size(); }
    // Parents up to a node without one.
    int Depth() const;

    // Children in label order. The key is the label at insertion (or at the last SetLabel), so the set
    // stays ordered whatever a node does to its text.
    struct Child
    {
        std::wstring key;
        tfc::RefersTo<ContainerNode> node;
    };
    struct ChildOrder
    {
        bool operator()(const Child& a, const Child& b) const { return a.key < b.key; }
    };
    using Children = std::multiset<Child, ChildOrder>;
    const Children& GetChildren() const { return children_; }

protected:
    // For a root node, which is never inserted: its item stays TVI_ROOT.
    void SetTree(TreeView* tree) { tree_ = tree; }
    // Told after a child joined the set and before one leaves it (not when this node itself dies), so
    // that a node can keep its own index of its children.
    virtual void OnChildAdded(ContainerNode&) {}
    virtual void OnChildRemoved(ContainerNode&) {}

private:
    // Null where the child gets no item: a node without one (removed, or the root's owner), or a child
    // without one of its own.
    bool GivesItems() const;
    HTREEITEM InsertItemFor(Children::iterator position);
    void ForgetItems();
    // Removed from its parent (or never added), as opposed to the tree's root.
    bool IsDetached() const;
    void SortItemsOfChildren();

    TreeView* tree_ = nullptr;
    HTREEITEM item_ = TVI_ROOT;
    std::wstring label_;
    Children children_;
    Children::iterator position_;
    ContainerNode* parent_ = nullptr;
};

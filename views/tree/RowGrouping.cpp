#include "views/tree/RowGrouping.h"
#include "foundation/NoRedraw.h"

#include "views/grid/ObjectWindow.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/RowElementNode.h"
#include "views/tree/RowNodeFactory.h"
#include "views/tree/TreeView.h"

#include <iterator>

RowGrouping::RowGrouping(const std::wstring& table_name, RowElementNode* owner, bool accept_all)
    : TableLookupProvider(owner->GetTab(), table_name), owner_(owner), accept_all_(accept_all),
      file_(&owner->GetFile())
{
    WatchAddedTable();
}

void RowGrouping::WatchAddedTable()
{
    if (watches_own_table_)
        return;
    if (MsiTable* table = file_->FindTable(table_name_).get()) {
        Watch(table);
        watches_own_table_ = true;
    }
}

RowGrouping::~RowGrouping()
{
    file_->table_events().Unsubscribe(this);
    RemoveNode();
}

void RowGrouping::Watch(MsiTable* table)
{
    file_->table_events().Subscribe(table, this);
}

bool RowGrouping::notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, TableEngine&)
{
    OnTableEvent(*table, std::get<0>(arg), std::get<1>(arg));
    return false;
}

bool RowGrouping::AcceptRow(MsiTable& table, RowIterator row)
{
    return accept_all_ || owner_->IsRelatedRow(table, row);
}

void RowGrouping::OnTableEvent(MsiTable& table, MsiFile::TableEvents code, RowIterator row)
{
    switch (code) {
    case MsiFile::TableDropped:
        // Destroys this grouping and its item; nothing may touch it afterwards.
        owner_->DestroyGrouping(this);
        return;
    case MsiFile::RowAdded:
        if (owner_->IsPopulated() && AcceptRow(table, row))
            AddRowNode(row);
        return;
    case MsiFile::RowModified: {
        if (!owner_->IsPopulated())
            return;
        RowElementNode* node = FindRowNode(row);
        bool accepted = AcceptRow(table, row);
        if (!accepted && node) {
            TreeView* tree = node->GetTree();
            if (tree && tree->GetSelectedNode() == node)
                node->SetPendingRemoval(true); // an edit of it is being committed: Refresh removes it
            else
                node_->RemoveChild(node);
        } else if (accepted && !node) {
            AddRowNode(row);
        } else if (accepted && node->IsPendingRemoval()) {
            node->SetPendingRemoval(false); // it belongs again before the Refresh came
        }
        RemoveNodeIfEmpty();
        return;
    }
    default:
        return;
    }
}

RowGroupingNode* RowGrouping::EnsureNode()
{
    return AddRowGroupingNode(this);
}

void RowGrouping::RemoveNode()
{
    RemoveRowGroupingNode(this);
}

void RowGrouping::RemoveNodeIfEmpty()
{
    if (node_ && !node_->HasChildren())
        RemoveNode();
}

RowElementNode* RowGrouping::FindRowNode(RowIterator row) const
{
    return node_ ? node_->FindRowNode(&*row) : nullptr;
}

RowElementNode* RowGrouping::AddRowNode(RowIterator row)
{
    RowGroupingNode* grouping_node = EnsureNode();
    if (!grouping_node)
        return nullptr;
    if (RowElementNode* existing = FindRowNode(row))
        return existing;
    tfc::RefersTo<RowElementNode> node = CreateRowElementNode(tab_, table_name_, row);
    grouping_node->AddChild(node.get());
    node->AddPlaceholderChild();
    if (TreeView* tree = grouping_node->GetTree())
        SendMessageW(tree->GetWindow(), TVM_EXPAND, TVE_EXPAND,
                     reinterpret_cast<LPARAM>(grouping_node->GetItem()));
    return node.get();
}

void RowGrouping::AddRowNodes(const std::vector<RowIterator>& rows)
{
    RowGroupingNode* grouping_node = EnsureNode();
    if (!grouping_node)
        return;
    std::vector<tfc::RefersTo<RowElementNode>> nodes;
    std::vector<ContainerNode*> children;
    for (RowIterator row : rows) {
        if (FindRowNode(row))
            continue;
        nodes.push_back(CreateRowElementNode(tab_, table_name_, row));
        children.push_back(nodes.back().get());
    }
    grouping_node->AddChildren(children);
    for (const auto& node : nodes)
        node->AddPlaceholderChild();
    if (TreeView* tree = grouping_node->GetTree())
        SendMessageW(tree->GetWindow(), TVM_EXPAND, TVE_EXPAND,
                     reinterpret_cast<LPARAM>(grouping_node->GetItem()));
}

RowGroupingNode::RowGroupingNode(RowGrouping* grouping)
    : NodePainter(CutLabel(grouping->GetName())), grouping_(grouping)
{
}

RowGroupingNode::~RowGroupingNode()
{
    if (grouping_ && grouping_->node_ == this)
        grouping_->node_ = nullptr;
}

RowElementNode* RowGroupingNode::FindRowNode(const MsiRow* row) const
{
    auto range = row_nodes_.equal_range(row);
    if (range.first == range.second)
        return nullptr;
    if (std::next(range.first) == range.second)
        return range.first->second;
    // Two nodes of one row: the first in label order, as a walk of the children finds it.
    for (const ContainerNode::Child& child : GetChildren()) {
        auto* node = dynamic_cast<RowElementNode*>(child.node.get());
        if (node && node->HasRow() && &*node->GetRow() == row)
            return node;
    }
    return nullptr;
}

void RowGroupingNode::OnChildAdded(ContainerNode& child)
{
    auto* node = dynamic_cast<RowElementNode*>(&child);
    if (node && node->HasRow())
        row_nodes_.emplace(&*node->GetRow(), node);
}

void RowGroupingNode::OnChildRemoved(ContainerNode& child)
{
    auto* node = dynamic_cast<RowElementNode*>(&child);
    if (!node || !node->HasRow())
        return;
    auto range = row_nodes_.equal_range(&*node->GetRow());
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == node) {
            row_nodes_.erase(it);
            return;
        }
    }
}

int RowGroupingNode::GetIconId()
{
    int icon = grouping_ ? grouping_->GetIconId() : 1001;
    return HasChildren() ? icon : icon + 38;
}

void RowGroupingNode::OnSelected(ObjectWindow* list)
{
    TreeView* tree = GetTree();
    if (!list || !tree || !tree->GetWindow() || !IsWindowVisible(tree->GetWindow()))
        return;
    NoRedraw quiet(list->GetWindowHandle());
    list->SetHandler(this, {}, 0, -1, 0);
    list->SetSelection({});

    // A grouping is no row: the pane shows none.
    if (RowLinksPane* pane = MsiTableNode::LinksPane(grouping_->GetTab()))
        pane->ShowRowLinks(nullptr, RowIterator());
}

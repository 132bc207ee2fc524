#include "views/tree/FeatureNodes.h"

#include "views/tree/RowNodeFactory.h"
#include "views/tree/TreeView.h"

#include <map>
#include <set>

namespace {

const wchar_t kComponents[] = L"Components";

SchemaRelationships::RowsByTable Without(const SchemaRelationships::RowsByTable& rows, const wchar_t* table)
{
    SchemaRelationships::RowsByTable rest;
    for (const auto& entry : rows) {
        if (entry.first->name() != table)
            rest.insert(entry);
    }
    return rest;
}

} // namespace

std::wstring FeatureNode::FeatureKey() const
{
    return HasRow() ? GetTable()->RowKeyText(*GetRow()) : std::wstring();
}

bool FeatureNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (table.name() != L"Component")
        return RowElementNode::IsRelatedRow(table, row);
    if (!FindGrouping(kComponents))
        return false;
    // No lookup for either table means no link.
    auto links = tab_->GetTableLookup(L"FeatureComponents");
    if (!links)
        return false;
    int position = links->FindEditableRow({FeatureKey(), table.RowKeyText(*row)}, 0);
    return position >= 0 && position < links->RowCount();
}

void FeatureNode::AddChildGroupings()
{
    if (GetFile().FindTable(L"Component").get() && GetFile().FindTable(L"FeatureComponents").get())
        AddRowGrouping(this, kComponents, false);
    AddRowGrouping(this, L"Feature", false);
}

void FeatureNode::AddReferencingRows(const RowsByTable& rows)
{
    RowGrouping* grouping = FindGrouping(kComponents);
    MsiTable* components = GetFile().FindTable(L"Component").get();
    if (!grouping || !components)
        return;
    for (const auto& entry : rows) {
        if (entry.first->name() != L"FeatureComponents")
            continue;
        for (const auto& link : entry.second) {
            const MsiRow& row = *link.row;
            if (row.size() < 2 || row[1]->is_null())
                continue;
            std::wstring key = row[1]->string();
            for (RowIterator component = components->rows().begin(); component != components->rows().end();
                 ++component) {
                if (components->RowKeyText(*component) == key) {
                    grouping->AddRowNode(component);
                    break;
                }
            }
        }
    }
}

bool FeatureComponentsNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (table.name() != L"Component")
        return RowElementNode::IsRelatedRow(table, row);
    for (const auto& entry : GetFile().relationships().GetReferencedRows(*GetTable(), GetRow(), &table)) {
        for (const auto& linked : entry.second) {
            if (&*linked.row != &*row)
                continue;
            // The link's own column, not a [$Component] in some text.
            for (const RelationshipDefPtr& relationship : linked.relationships) {
                if (relationship->kind() != RelationshipKind::Formatted)
                    return true;
            }
        }
    }
    return false;
}

void FeatureComponentsNode::AddChildGroupings()
{
    ContainerNode* parent = GetParent();
    ContainerNode* up = parent ? parent->GetParent() : nullptr;
    ContainerNode* top = up ? up->GetParent() : nullptr;
    if (top && top->GetLabel() == L"Feature")
        AddRowGrouping(this, L"Component", false);
}

void FeatureComponentsNode::AddReferencedRows(const RowsByTable& rows)
{
    AddRowNodes(Without(rows, L"Component"), static_cast<int>(RelationshipKind::IsOwnedBy));
}

bool FeaturesRowGrouping::AcceptRow(MsiTable&, RowIterator row)
{
    return row->size() > 1 && (*row)[1]->is_null();
}

ComponentsInFeatureRowGrouping::ComponentsInFeatureRowGrouping(const std::wstring&, RowElementNode* owner,
                                                               bool accept_all)
    : RowGroupingIcon<1008>(L"Component", owner, accept_all)
{
    if (MsiTable* links = owner->GetFile().FindTable(L"FeatureComponents").get())
        Watch(links);
}

void ComponentsInFeatureRowGrouping::OnTableEvent(MsiTable& table, MsiFile::TableEvents code, RowIterator row)
{
    if (!GetOwner()->IsPopulated())
        return;
    switch (code) {
    case MsiFile::TableDropped:
        GetOwner()->DestroyGrouping(this);
        return;
    case MsiFile::RowAdded:
    case MsiFile::RowModified:
        Synchronize(table.rows().end(), nullptr);
        return;
    case MsiFile::RowDeleted:
        // Told before the row goes: it no longer counts.
        Synchronize(row, &table);
        return;
    default:
        return;
    }
}

void ComponentsInFeatureRowGrouping::Synchronize(RowIterator leaving, MsiTable* leaving_table)
{
    auto* feature = dynamic_cast<FeatureNode*>(GetOwner());
    MsiFile& file = GetOwner()->GetFile();
    MsiTable* links = file.FindTable(L"FeatureComponents").get();
    MsiTable* components = file.FindTable(L"Component").get();
    if (!feature || !links || !components)
        return;
    std::wstring key = feature->FeatureKey();
    std::set<std::wstring> linked;
    for (RowIterator link = links->rows().begin(); link != links->rows().end(); ++link) {
        if (leaving_table == links && link == leaving)
            continue;
        const MsiRow& row = *link;
        if (row.size() > 1 && !row[0]->is_null() && !row[1]->is_null() && row[0]->string() == key)
            linked.insert(row[1]->string());
    }
    std::map<const MsiRow*, RowIterator> wanted;
    for (RowIterator component = components->rows().begin(); component != components->rows().end();
         ++component) {
        if (leaving_table == components && component == leaving)
            continue;
        if (linked.count(components->RowKeyText(*component)))
            wanted.emplace(&*component, component);
    }
    if (RowGroupingNode* node = GetNode()) {
        std::vector<RowElementNode*> extra;
        for (const ContainerNode::Child& child : node->GetChildren()) {
            auto* row_node = dynamic_cast<RowElementNode*>(child.node.get());
            if (!row_node || !row_node->HasRow())
                continue;
            if (!wanted.erase(&*row_node->GetRow()))
                extra.push_back(row_node);
        }
        for (RowElementNode* row_node : extra) {
            TreeView* tree = row_node->GetTree();
            if (tree && tree->GetSelectedNode() == row_node)
                row_node->SetPendingRemoval(true); // an edit of it is being committed: Refresh removes it
            else
                node->RemoveChild(row_node);
        }
    }
    for (const auto& entry : wanted)
        AddRowNode(entry.second);
    RemoveNodeIfEmpty();
}

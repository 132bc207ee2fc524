#include "views/tree/ClassNodes.h"

#include "views/tree/RowGrouping.h"
#include "views/tree/RowNodeFactory.h"

namespace {

using RowsByTable = SchemaRelationships::RowsByTable;

RowsByTable Only(const RowsByTable& rows, std::initializer_list<const wchar_t*> names, bool keep)
{
    RowsByTable result;
    for (const auto& entry : rows) {
        bool named = false;
        for (const wchar_t* name : names)
            named = named || entry.first->name() == name;
        if (named == keep)
            result.insert(entry);
    }
    return result;
}

// The related rows of a grouping's table go under that grouping, whatever the kind of their link: the
// groupings exist to show them.
void AddToGroupings(RowElementNode& node, const RowsByTable& rows)
{
    for (const auto& entry : rows) {
        if (RowGrouping* grouping = node.FindGrouping(entry.first->name())) {
            for (const auto& linked : entry.second)
                grouping->AddRowNode(linked.row);
        }
    }
}

bool RefersTo(RowElementNode& node, MsiTable& table, RowIterator row)
{
    return SchemaRelationships::Holds(
        node.GetFile().relationships().GetReferencedRows(*node.GetTable(), node.GetRow(), &table), row);
}

bool ReferredBy(RowElementNode& node, MsiTable& table, RowIterator row)
{
    return SchemaRelationships::Holds(
        node.GetFile().relationships().GetReferencingRows(*node.GetTable(), node.GetRow(), &table), row);
}

} // namespace

bool ClassNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (table.name() == L"ProgId")
        return ReferredBy(*this, table, row);
    if (table.name() == L"Icon")
        return RefersTo(*this, table, row);
    return RowElementNode::IsRelatedRow(table, row);
}

void ClassNode::AddChildGroupings()
{
    RowElementNode::AddChildGroupings();
    AddRowGrouping(this, L"Icon", false);
    AddRowGrouping(this, L"ProgId", false);
}

void ClassNode::AddReferencingRows(const RowsByTable& rows)
{
    AddRowNodes(Only(rows, {L"ProgId"}, false), static_cast<int>(RelationshipKind::References));
    AddToGroupings(*this, Only(rows, {L"ProgId"}, true));
}

void ClassNode::AddReferencedRows(const RowsByTable& rows)
{
    AddRowNodes(Only(rows, {L"ProgId", L"Icon"}, false), static_cast<int>(RelationshipKind::References));
    AddToGroupings(*this, Only(rows, {L"Icon"}, true));
    if (GetTable()->name() == L"Extension")
        AddToGroupings(*this, Only(rows, {L"ProgId"}, true));
}

bool ExtensionNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (table.name() == L"ProgId" || table.name() == L"Icon")
        return RefersTo(*this, table, row);
    return RowElementNode::IsRelatedRow(table, row);
}

bool ProgIdNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (table.name() == L"Icon")
        return RefersTo(*this, table, row);
    return RowElementNode::IsRelatedRow(table, row);
}

void ProgIdNode::AddChildGroupings()
{
    RowElementNode::AddChildGroupings();
    AddRowGrouping(this, L"Icon", false);
}

void ProgIdNode::AddReferencedRows(const RowsByTable& rows)
{
    AddRowNodes(Only(rows, {L"Icon"}, false), static_cast<int>(RelationshipKind::References));
    AddToGroupings(*this, Only(rows, {L"Icon"}, true));
}

void ShortcutNode::AddChildGroupings()
{
    RowElementNode::AddChildGroupings();
    AddRowGrouping(this, L"Icon", false);
    AddRowGrouping(this, L"ProgId", false);
}

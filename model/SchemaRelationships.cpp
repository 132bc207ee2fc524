#include "model/SchemaRelationships.h"
#include "model/MsiFile.h"

#include <boost/tuple/tuple.hpp>

void SchemaRelationships::TableRowRelationships::Insert(RowIterator referring, RowIterator referred,
                                                        const RelationshipSet& relationships)
{
    auto placed = links_.insert(Link{referring, referred, relationships});
    if (!placed.second)
        placed.first->relationships.insert(relationships.begin(), relationships.end());
}

void SchemaRelationships::TableRowRelationships::Insert(RowIterator referring, RowIterator referred,
                                                        const RelationshipDefPtr& relationship)
{
    auto placed = links_.emplace(referring, referred, RelationshipSet{relationship});
    if (!placed.second)
        placed.first->relationships.insert(relationship);
}

void SchemaRelationships::TableRowRelationships::EraseReferring(RowIterator referring)
{
    auto& index = links_.get<ByReferring>();
    auto range = index.equal_range(boost::make_tuple(static_cast<const MsiRow*>(&*referring)));
    index.erase(range.first, range.second);
}

void SchemaRelationships::TableRowRelationships::EraseReferred(RowIterator referred)
{
    links_.get<ByReferred>().erase(static_cast<const MsiRow*>(&*referred));
}

void SchemaRelationships::TableRowRelationships::EraseReferredThrough(
    RowIterator referred, const std::function<bool(const RelationshipDefPtr&)>& test)
{
    auto& index = links_.get<ByReferred>();
    auto range = index.equal_range(static_cast<const MsiRow*>(&*referred));
    for (auto it = range.first; it != range.second;) {
        for (auto relationship = it->relationships.begin(); relationship != it->relationships.end();) {
            if (test(*relationship))
                relationship = it->relationships.erase(relationship);
            else
                ++relationship;
        }
        if (it->relationships.empty())
            it = index.erase(it);
        else
            ++it;
    }
}

SchemaRelationships::TableRowRelationships& SchemaRelationships::MakePair(MsiTable& referring,
                                                                          MsiTable& referred)
{
    auto range = pairs_.get<ByReferringTable>().equal_range(&referring);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->referred == &referred)
            return *it->links;
    }
    auto links = std::make_shared<TableRowRelationships>();
    pairs_.insert(TablePair{&referring, &referred, links});
    return *links;
}

void SchemaRelationships::Build(MsiFile& file, const std::function<void(const std::wstring& text)>& progress)
{
    Clear();
    try {
        for (auto& entry : file.tables()) {
            MsiTable& table = *entry.second;
            for (const std::wstring& name : table.ReferencedTables()) {
                if (progress)
                    progress(L"Building relationships for tables: " + table.name() + L" -> " + name);
                MsiTableRef related = file.FindTable(name);
                if (!related)
                    continue;
                TableRowRelationships& links = MakePair(table, *related);
                indexes_.LinkReferred(
                    table, *related,
                    [&](RowIterator referring, RowIterator referred, const RelationshipDefPtr& relationship) {
                        links.Insert(referring, referred, relationship);
                    });
            }
        }
    } catch (...) {
        Clear();
        throw;
    }
    enabled_ = true;
}

void SchemaRelationships::Clear()
{
    pairs_.clear();
    indexes_.Clear();
    enabled_ = false;
}

void SchemaRelationships::UpdateForRowChange(MsiTable& table, bool remove, bool add,
                                             const MsiFieldDef* changed, RowIterator row)
{
    if (!enabled_)
        return;
    RelationshipSet through_changed;
    if (changed && changed->field_schema())
        through_changed.insert(changed->field_schema()->incoming.begin(),
                               changed->field_schema()->incoming.end());
    bool key_changed = changed && changed->column_index() == 0;
    indexes_.RowChanged(table, row, remove, add, changed);

    // Links into the row.
    auto referred = pairs_.get<ByReferredTable>().equal_range(&table);
    for (auto pair = referred.first; pair != referred.second; ++pair) {
        if (remove) {
            if (!changed) {
                pair->links->EraseReferred(row);
            } else {
                pair->links->EraseReferredThrough(row, [&](const RelationshipDefPtr& relationship) {
                    return (relationship->kind() == RelationshipKind::Formatted && key_changed) ||
                           through_changed.count(relationship) > 0;
                });
            }
        }
        if (!add)
            continue;
        bool recompute = !changed || (key_changed && table_relationships::NamedByText(table.name()));
        for (const RelationshipDefPtr& relationship : through_changed) {
            if (!relationship->pairs().empty() &&
                relationship->pairs().begin()->first->table() == pair->referring->name())
                recompute = true;
        }
        if (!recompute)
            continue;
        RelatedRows found;
        indexes_.FindReferring(found, *pair->referring, table, row, changed);
        for (const auto& link : found)
            pair->links->Insert(link.first.second, row, link.second);
    }

    // Links out of the row.
    auto referring = pairs_.get<ByReferringTable>().equal_range(&table);
    for (auto pair = referring.first; pair != referring.second; ++pair) {
        if (remove)
            pair->links->EraseReferring(row);
        if (!add)
            continue;
        RelatedRows found;
        indexes_.FindReferred(found, table, row, *pair->referred);
        for (const auto& link : found)
            pair->links->Insert(row, link.first.second, link.second);
    }
}

void SchemaRelationships::AddTable(MsiTable& table, MsiFile& file)
{
    // While tracking is off nothing is linked, so a new table must not start a partial tracking.
    if (!enabled_)
        return;
    for (auto& entry : file.tables()) {
        MsiTable& other = *entry.second;
        if (other.ReferencedTables().count(table.name()))
            MakePair(other, table);
        if (&other != &table)
            continue;
        for (const std::wstring& name : table.ReferencedTables()) {
            if (MsiTableRef referred = file.FindTable(name))
                MakePair(table, *referred);
        }
    }
}

void SchemaRelationships::RemoveTable(MsiTable& table)
{
    indexes_.RemoveTable(table);
    pairs_.get<ByReferringTable>().erase(&table);
    pairs_.get<ByReferredTable>().erase(&table);
}

SchemaRelationships::RowsByTable SchemaRelationships::GetReferencedRows(MsiTable& table, RowIterator row,
                                                                        MsiTable* only) const
{
    RowsByTable result;
    if (!enabled_)
        return result;
    auto range = pairs_.get<ByReferringTable>().equal_range(&table);
    for (auto pair = range.first; pair != range.second; ++pair) {
        if (only && pair->referred != only)
            continue;
        const auto& index = pair->links->links().get<TableRowRelationships::ByReferring>();
        auto links = index.equal_range(boost::make_tuple(static_cast<const MsiRow*>(&*row)));
        for (auto link = links.first; link != links.second; ++link)
            result[MsiTableRef(pair->referred)].push_back(LinkedRow{link->referred, link->relationships});
    }
    return result;
}

SchemaRelationships::RowsByTable SchemaRelationships::GetReferencingRows(MsiTable& table, RowIterator row,
                                                                         MsiTable* only) const
{
    RowsByTable result;
    if (!enabled_)
        return result;
    auto range = pairs_.get<ByReferredTable>().equal_range(&table);
    for (auto pair = range.first; pair != range.second; ++pair) {
        if (only && pair->referring != only)
            continue;
        const auto& index = pair->links->links().get<TableRowRelationships::ByReferred>();
        auto links = index.equal_range(static_cast<const MsiRow*>(&*row));
        for (auto link = links.first; link != links.second; ++link)
            result[MsiTableRef(pair->referring)].push_back(LinkedRow{link->referring, link->relationships});
    }
    return result;
}

bool SchemaRelationships::Holds(const RowsByTable& rows, RowIterator row)
{
    for (const auto& entry : rows) {
        for (const auto& linked : entry.second) {
            if (&*linked.row == &*row)
                return true;
        }
    }
    return false;
}

namespace {

bool HasKind(const RelationshipSet& relationships, RelationshipKind kind)
{
    for (const RelationshipDefPtr& relationship : relationships) {
        if (relationship->kind() == kind)
            return true;
    }
    return false;
}

} // namespace

void SchemaRelationships::ForEachOwnedRow(
    MsiTable& table, RowIterator row,
    const std::function<void(MsiTable& owned_table, RowIterator owned)>& visit) const
{
    if (!enabled_)
        return;
    const MsiRow* key = &*row;
    auto referring = pairs_.get<ByReferringTable>().equal_range(&table);
    for (auto pair = referring.first; pair != referring.second; ++pair) {
        const auto& index = pair->links->links().get<TableRowRelationships::ByReferring>();
        auto links = index.equal_range(boost::make_tuple(key));
        for (auto link = links.first; link != links.second; ++link) {
            if (HasKind(link->relationships, RelationshipKind::Owns))
                visit(*pair->referred, link->referred);
        }
    }
    auto referred = pairs_.get<ByReferredTable>().equal_range(&table);
    for (auto pair = referred.first; pair != referred.second; ++pair) {
        const auto& index = pair->links->links().get<TableRowRelationships::ByReferred>();
        auto links = index.equal_range(key);
        for (auto link = links.first; link != links.second; ++link) {
            if (HasKind(link->relationships, RelationshipKind::IsOwnedBy))
                visit(*pair->referring, link->referring);
        }
    }
}

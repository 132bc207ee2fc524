#include "model/RelatedRowIndexes.h"
#include "model/MsiSchema.h"
#include "model/TableRelationships.h"

#include <algorithm>

namespace {

// The row's values in the columns as one key; false when one holds no value (then it refers to nothing
// and nothing refers to it). Several values are each prefixed by their length, so no two lists meet.
bool ValuesKey(const MsiTable& table, const std::vector<int>& columns, const MsiRow& row, std::wstring& key)
{
    if (columns.size() == 1)
        return table_relationships::CellValue(*table.columns()[columns[0]], *row[columns[0]], key);
    key.clear();
    std::wstring value;
    for (int column : columns) {
        if (!table_relationships::CellValue(*table.columns()[column], *row[column], value))
            return false;
        key += std::to_wstring(value.size());
        key += L':';
        key += value;
    }
    return true;
}

bool HasTextColumns(const MsiTable& table)
{
    for (const MsiFieldDefRef& column : table.columns()) {
        if (table_relationships::HoldsText(*column))
            return true;
    }
    return false;
}

} // namespace

void RowValueIndex::Add(RowIterator row, Keys keys)
{
    Remove(*row);
    if (keys.empty())
        return;
    for (const std::wstring& key : keys)
        rows_[key].push_back(row);
    keys_.emplace(&*row, std::move(keys));
}

void RowValueIndex::Remove(const MsiRow& row)
{
    auto found = keys_.find(&row);
    if (found == keys_.end())
        return;
    for (const std::wstring& key : found->second) {
        auto entry = rows_.find(key);
        if (entry == rows_.end())
            continue;
        std::vector<RowIterator>& rows = entry->second;
        auto at = std::find_if(rows.begin(), rows.end(),
                               [&](const RowIterator& candidate) { return &*candidate == &row; });
        if (at != rows.end())
            rows.erase(at);
        if (rows.empty())
            rows_.erase(entry);
    }
    keys_.erase(found);
}

const std::vector<RowIterator>* RowValueIndex::Find(const std::wstring& key) const
{
    auto found = rows_.find(key);
    return found == rows_.end() ? nullptr : &found->second;
}

const RowValueIndex::Keys* RowValueIndex::KeysOf(const MsiRow& row) const
{
    auto found = keys_.find(&row);
    return found == keys_.end() ? nullptr : &found->second;
}

const std::vector<int>& RelatedRowIndexes::TextColumns()
{
    static const std::vector<int> text{-1};
    return text;
}

RowValueIndex::Keys RelatedRowIndexes::KeysFor(const MsiTable& table, const std::vector<int>& columns,
                                               const MsiRow& row)
{
    if (columns == TextColumns())
        return table_relationships::TextNames(table, row);
    RowValueIndex::Keys keys(1);
    if (!ValuesKey(table, columns, row, keys[0]))
        keys.clear();
    return keys;
}

const RelatedRowIndexes::Plan& RelatedRowIndexes::PlanFor(MsiTable& table, MsiTable& related)
{
    auto found = plans_.find(std::make_pair(&table, &related));
    if (found != plans_.end())
        return found->second;
    Plan plan;
    for (const RelationshipDefPtr& relationship :
         table_relationships::Between(table.name(), related.name())) {
        Route route{relationship, {}, {}};
        for (const table_relationships::ColumnPair& pair :
             table_relationships::ColumnPairs(*relationship, table, related)) {
            route.mine.push_back(pair.mine);
            route.theirs.push_back(pair.theirs);
        }
        if (!route.mine.empty())
            plan.routes.push_back(std::move(route));
    }
    plan.text = table_relationships::NamedByText(related.name()) && related.owner() == table.owner() &&
                !related.columns().empty() && HasTextColumns(table);
    return plans_.emplace(std::make_pair(&table, &related), std::move(plan)).first->second;
}

RowValueIndex& RelatedRowIndexes::IndexOf(MsiTable& table, const std::vector<int>& columns)
{
    auto key = std::make_pair(&table, columns);
    auto found = indexes_.find(key);
    if (found != indexes_.end())
        return found->second;
    RowValueIndex& index = indexes_[key];
    for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
        index.Add(row, KeysFor(table, columns, *row));
    return index;
}

void RelatedRowIndexes::FindReferred(RelatedRows& result, MsiTable& table, RowIterator row, MsiTable& related)
{
    const Plan& plan = PlanFor(table, related);
    std::wstring key;
    for (const Route& route : plan.routes) {
        if (!ValuesKey(table, route.mine, *row, key))
            continue;
        if (const std::vector<RowIterator>* rows = IndexOf(related, route.theirs).Find(key)) {
            for (const RowIterator& other : *rows)
                result[std::make_pair(&related, other)].insert(route.relationship);
        }
    }
    if (!plan.text)
        return;
    const RowValueIndex::Keys* names = IndexOf(table, TextColumns()).KeysOf(*row);
    if (!names)
        return;
    const RelationshipDefPtr& formatted = MsiSchema::Instance()->FormattedRelationship();
    wchar_t kind = table_relationships::TextNameKind(related.name());
    RowValueIndex& keys = IndexOf(related, std::vector<int>{0});
    for (const std::wstring& name : *names) {
        if (name[0] != kind)
            continue;
        if (const std::vector<RowIterator>* rows = keys.Find(name.substr(1))) {
            for (const RowIterator& other : *rows)
                result[std::make_pair(&related, other)].insert(formatted);
        }
    }
}

void RelatedRowIndexes::FindReferring(RelatedRows& result, MsiTable& referring, MsiTable& table,
                                      RowIterator row, const MsiFieldDef* changed)
{
    const Plan& plan = PlanFor(referring, table);
    std::wstring key;
    for (const Route& route : plan.routes) {
        if (changed && !table_relationships::ThroughColumn(*route.relationship, *changed))
            continue;
        if (!ValuesKey(table, route.theirs, *row, key))
            continue;
        if (const std::vector<RowIterator>* rows = IndexOf(referring, route.mine).Find(key)) {
            for (const RowIterator& other : *rows)
                result[std::make_pair(&referring, other)].insert(route.relationship);
        }
    }
    if (!plan.text || (changed && changed->column_index() != 0))
        return;
    if (!table_relationships::CellValue(*table.columns()[0], *(*row)[0], key))
        return;
    if (const std::vector<RowIterator>* rows =
            IndexOf(referring, TextColumns()).Find(table_relationships::TextNameKind(table.name()) + key)) {
        const RelationshipDefPtr& formatted = MsiSchema::Instance()->FormattedRelationship();
        for (const RowIterator& other : *rows)
            result[std::make_pair(&referring, other)].insert(formatted);
    }
}

void RelatedRowIndexes::RowChanged(MsiTable& table, RowIterator row, bool remove, bool add,
                                   const MsiFieldDef* changed)
{
    for (auto it = indexes_.lower_bound(std::make_pair(&table, std::vector<int>()));
         it != indexes_.end() && it->first.first == &table; ++it) {
        const std::vector<int>& columns = it->first.second;
        if (changed) {
            bool affected = columns == TextColumns() ? table_relationships::HoldsText(*changed)
                                                     : std::find(columns.begin(), columns.end(),
                                                                 changed->column_index()) != columns.end();
            if (!affected)
                continue;
        }
        if (remove)
            it->second.Remove(*row);
        if (add)
            it->second.Add(row, KeysFor(table, columns, *row));
    }
}

void RelatedRowIndexes::RemoveTable(MsiTable& table)
{
    for (auto it = plans_.begin(); it != plans_.end();) {
        if (it->first.first == &table || it->first.second == &table)
            it = plans_.erase(it);
        else
            ++it;
    }
    auto it = indexes_.lower_bound(std::make_pair(&table, std::vector<int>()));
    while (it != indexes_.end() && it->first.first == &table)
        it = indexes_.erase(it);
}

void RelatedRowIndexes::Clear()
{
    plans_.clear();
    indexes_.clear();
}

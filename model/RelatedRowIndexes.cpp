#include "model/RelatedRowIndexes.h"
#include "model/MsiSchema.h"
#include "model/TableRelationships.h"

#include <algorithm>

namespace {

bool HasTextColumns(const MsiTable& table)
{
    for (const MsiFieldDefRef& column : table.columns()) {
        if (table_relationships::HoldsText(*column))
            return true;
    }
    return false;
}

} // namespace

void RowNameIndex::Add(RowIterator row, Names names)
{
    Remove(*row);
    if (names.empty())
        return;
    for (const std::wstring& name : names)
        rows_[name].push_back(row);
    names_.emplace(&*row, std::move(names));
}

void RowNameIndex::Remove(const MsiRow& row)
{
    auto found = names_.find(&row);
    if (found == names_.end())
        return;
    for (const std::wstring& name : found->second) {
        auto entry = rows_.find(name);
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
    names_.erase(found);
}

const std::vector<RowIterator>* RowNameIndex::Find(const std::wstring& name) const
{
    auto found = rows_.find(name);
    return found == rows_.end() ? nullptr : &found->second;
}

const RowNameIndex::Names* RowNameIndex::NamesOf(const MsiRow& row) const
{
    auto found = names_.find(&row);
    return found == names_.end() ? nullptr : &found->second;
}

RelatedRowIndexes::Plan& RelatedRowIndexes::PlanFor(MsiTable& table, MsiTable& related)
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
        return *found->second;
    std::unique_ptr<RowValueIndex>& index = indexes_[key];
    index.reset(new RowValueIndex(table, columns));
    index->AddAll();
    return *index;
}

RowNameIndex& RelatedRowIndexes::NamesOf(MsiTable& table)
{
    auto found = names_.find(&table);
    if (found != names_.end())
        return found->second;
    RowNameIndex& index = names_[&table];
    for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
        index.Add(row, table_relationships::TextNames(table, *row));
    return index;
}

void RelatedRowIndexes::VisitReferred(Plan& plan, MsiTable& table, RowIterator row, MsiTable& related,
                                      const LinkSink& link)
{
    for (Route& route : plan.routes) {
        if (!key_.Read(table, route.mine, *row))
            continue;
        if (!route.referred)
            route.referred = &IndexOf(related, route.theirs);
        route.referred->ForEach(key_, [&](RowIterator other) { link(row, other, route.relationship); });
    }
    if (!plan.text)
        return;
    const RowNameIndex::Names* names = NamesOf(table).NamesOf(*row);
    if (!names)
        return;
    const RelationshipDefPtr& formatted = MsiSchema::Instance()->FormattedRelationship();
    wchar_t kind = table_relationships::TextNameKind(related.name());
    if (!plan.keys)
        plan.keys = &IndexOf(related, std::vector<int>{0});
    for (const std::wstring& name : *names) {
        if (name[0] != kind)
            continue;
        key_.Assign(std::wstring_view(name).substr(1));
        plan.keys->ForEach(key_, [&](RowIterator other) { link(row, other, formatted); });
    }
}

void RelatedRowIndexes::FindReferred(RelatedRows& result, MsiTable& table, RowIterator row, MsiTable& related)
{
    VisitReferred(PlanFor(table, related), table, row, related,
                  [&](RowIterator, RowIterator other, const RelationshipDefPtr& relationship) {
                      result[std::make_pair(&related, other)].insert(relationship);
                  });
}

void RelatedRowIndexes::LinkReferred(MsiTable& table, MsiTable& related, const LinkSink& link)
{
    Plan& plan = PlanFor(table, related);
    for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
        VisitReferred(plan, table, row, related, link);
}

void RelatedRowIndexes::FindReferring(RelatedRows& result, MsiTable& referring, MsiTable& table,
                                      RowIterator row, const MsiFieldDef* changed)
{
    Plan& plan = PlanFor(referring, table);
    for (Route& route : plan.routes) {
        if (changed && !table_relationships::ThroughColumn(*route.relationship, *changed))
            continue;
        if (!key_.Read(table, route.theirs, *row))
            continue;
        if (!route.referring)
            route.referring = &IndexOf(referring, route.mine);
        route.referring->ForEach(key_, [&](RowIterator other) {
            result[std::make_pair(&referring, other)].insert(route.relationship);
        });
    }
    if (!plan.text || (changed && changed->column_index() != 0))
        return;
    std::wstring key;
    if (!table_relationships::CellValue(*table.columns()[0], *(*row)[0], key))
        return;
    if (const std::vector<RowIterator>* rows =
            NamesOf(referring).Find(table_relationships::TextNameKind(table.name()) + key)) {
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
        if (changed && std::find(columns.begin(), columns.end(), changed->column_index()) == columns.end())
            continue;
        if (remove)
            it->second->Remove(*row);
        if (add)
            it->second->Add(row);
    }
    auto names = names_.find(&table);
    if (names == names_.end() || (changed && !table_relationships::HoldsText(*changed)))
        return;
    if (remove)
        names->second.Remove(*row);
    if (add)
        names->second.Add(row, table_relationships::TextNames(table, *row));
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
    names_.erase(&table);
}

void RelatedRowIndexes::Clear()
{
    plans_.clear();
    indexes_.clear();
    names_.clear();
}

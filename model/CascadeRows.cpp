#include "model/CascadeRows.h"

#include <unordered_set>

const CascadeRows::RowList& CascadeRows::OwnedBy(const SchemaRelationships& relationships, const Entry& entry)
{
    auto found = owned_.find(&*entry.row);
    if (found != owned_.end())
        return found->second;
    RowList& owned = owned_[&*entry.row];
    relationships.ForEachOwnedRow(*entry.table, entry.row, [&owned](MsiTable& table, RowIterator row) {
        owned.emplace_back(&table, row);
    });
    return owned;
}

bool CascadeRows::OnPath(int parent, const MsiRow* row) const
{
    for (int at = parent; at >= 0; at = entries_[static_cast<size_t>(at)].parent) {
        if (&*entries_[static_cast<size_t>(at)].row == row)
            return true;
    }
    return false;
}

bool CascadeRows::Collect(const SchemaRelationships& relationships, const RowList& roots,
                          const Progress& progress)
{
    entries_.clear();
    owned_.clear();
    // Rows still to visit, last first, each with its owner's entry.
    std::vector<Entry> pending;
    for (auto root = roots.rbegin(); root != roots.rend(); ++root)
        pending.push_back(Entry{root->first, root->second, -1});
    while (!pending.empty()) {
        Entry entry = pending.back();
        pending.pop_back();
        // A cycle ends at a row already on the path; rows compare by identity, never by text.
        if (entry.parent >= 0 && OnPath(entry.parent, &*entry.row))
            continue;
        entries_.push_back(entry);
        int at = static_cast<int>(entries_.size() - 1);
        const RowList& owned = OwnedBy(relationships, entry);
        for (auto child = owned.rbegin(); child != owned.rend(); ++child)
            pending.push_back(Entry{child->first, child->second, at});
        if (progress && entries_.size() % 1024 == 0 && !progress(entries_.size()))
            return false;
    }
    return true;
}

CascadeRows::RowList CascadeRows::DistinctRows() const
{
    RowList rows;
    std::unordered_set<const MsiRow*> seen;
    for (const Entry& entry : entries_) {
        if (seen.insert(&*entry.row).second)
            rows.emplace_back(entry.table, entry.row);
    }
    return rows;
}

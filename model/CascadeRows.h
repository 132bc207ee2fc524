#pragma once
// The rows a deletion takes with it, through row reference tracking: the rows each row to delete owns
// (SchemaRelationships::ForEachOwnedRow), the rows those own, and so on. schema.dat makes every required
// link owned-by, so deleting a row with everything it owns leaves no row naming a row that is gone.
//
// The result is the forest that "Cascaded Deletion" shows: under each row the rows it owns, depth first,
// leaving out a row already on the path so that a cycle ends; a row owned along several paths stands under
// each. Each row's owned rows are asked of the tracking once, however often the row is reached.
#include "model/SchemaRelationships.h"

#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

class CascadeRows
{
public:
    struct Entry
    {
        MsiTable* table;
        RowIterator row;
        int parent; // the owner's entry; -1 for a row asked for
    };
    using RowList = std::vector<std::pair<MsiTable*, RowIterator>>;
    // Told the number of entries collected so far, now and then; false stops the collection.
    using Progress = std::function<bool(size_t entries)>;

    // The entries in depth-first order (an owner before what it owns). False when progress stopped it.
    bool Collect(const SchemaRelationships& relationships, const RowList& roots,
                 const Progress& progress = nullptr);
    const std::vector<Entry>& entries() const { return entries_; }
    // Each row of the entries once, in the order first met.
    RowList DistinctRows() const;

private:
    const RowList& OwnedBy(const SchemaRelationships& relationships, const Entry& entry);
    bool OnPath(int parent, const MsiRow* row) const;

    std::vector<Entry> entries_;
    std::unordered_map<const MsiRow*, RowList> owned_;
};

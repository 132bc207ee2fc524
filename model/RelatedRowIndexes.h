#pragma once
// Indexes that answer the row reference questions of MsiTable (FindRelatedRows, MatchRelatedRows) without
// comparing a row with every row of the other table: the rows of a table by the values of some columns, and
// by the names their formatted text gives. Each index is made the first time it is asked for and is then
// kept current by the row changes that row reference tracking is told of, so a change costs what the
// rows concerned cost. The answers are the same as those of the MsiTable operations.
#include "model/MsiTable.h"

#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Rows of one table under keys; a row may stand under several keys, or none.
class RowValueIndex
{
public:
    using Keys = std::vector<std::wstring>;

    void Add(RowIterator row, Keys keys);
    void Remove(const MsiRow& row);
    // The rows under the key, or null.
    const std::vector<RowIterator>* Find(const std::wstring& key) const;
    // The keys the row stands under, or null.
    const Keys* KeysOf(const MsiRow& row) const;

private:
    std::unordered_map<std::wstring, std::vector<RowIterator>> rows_;
    std::unordered_map<const MsiRow*, Keys> keys_;
};

class RelatedRowIndexes
{
public:
    // Adds the rows of related that the row of table refers to: as table.FindRelatedRows.
    void FindReferred(RelatedRows& result, MsiTable& table, RowIterator row, MsiTable& related);
    // Adds the rows of referring that refer to the row of table through the changed column (null: through
    // any): as referring.MatchRelatedRows asked for every row of referring.
    void FindReferring(RelatedRows& result, MsiTable& referring, MsiTable& table, RowIterator row,
                       const MsiFieldDef* changed);
    // A row was added (add), is about to go (remove), or had the changed column changed (both).
    void RowChanged(MsiTable& table, RowIterator row, bool remove, bool add, const MsiFieldDef* changed);
    void RemoveTable(MsiTable& table);
    void Clear();

private:
    // The relationships from one table to another with the column pairs both have.
    struct Route
    {
        RelationshipDefPtr relationship;
        std::vector<int> mine;
        std::vector<int> theirs;
    };
    struct Plan
    {
        std::vector<Route> routes;
        bool text = false; // formatted text of the referring table may name rows of the other
    };
    // The text index stands under this column list.
    static const std::vector<int>& TextColumns();

    const Plan& PlanFor(MsiTable& table, MsiTable& related);
    RowValueIndex& IndexOf(MsiTable& table, const std::vector<int>& columns);
    static RowValueIndex::Keys KeysFor(const MsiTable& table, const std::vector<int>& columns,
                                       const MsiRow& row);

    std::map<std::pair<MsiTable*, MsiTable*>, Plan> plans_;
    std::map<std::pair<MsiTable*, std::vector<int>>, RowValueIndex> indexes_;
};

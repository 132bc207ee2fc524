#pragma once
// Indexes that answer the row reference questions of MsiTable (FindRelatedRows, MatchRelatedRows) without
// comparing a row with every row of the other table: the rows of a table by the values of some columns, and
// by the names their formatted text gives. Each index is made the first time it is asked for and is then
// kept current by the row changes that row reference tracking is told of, so a change costs what the
// rows concerned cost. The answers are the same as those of the MsiTable operations.
#include "model/MsiTable.h"
#include "model/RowValueIndex.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// Rows of one table under the names their formatted text gives; a row may stand under several, or none.
class RowNameIndex
{
public:
    using Names = std::vector<std::wstring>;

    void Add(RowIterator row, Names names);
    void Remove(const MsiRow& row);
    // The rows under the name, or null.
    const std::vector<RowIterator>* Find(const std::wstring& name) const;
    // The names the row stands under, or null.
    const Names* NamesOf(const MsiRow& row) const;

private:
    std::unordered_map<std::wstring, std::vector<RowIterator>> rows_;
    std::unordered_map<const MsiRow*, Names> names_;
};

class RelatedRowIndexes
{
public:
    // Told of one link: the referring row, the referred row and one relationship between them.
    using LinkSink = std::function<void(RowIterator referring, RowIterator referred,
                                        const RelationshipDefPtr& relationship)>;

    // Adds the rows of related that the row of table refers to: as table.FindRelatedRows.
    void FindReferred(RelatedRows& result, MsiTable& table, RowIterator row, MsiTable& related);
    // The same for every row of table in turn, each link told as found.
    void LinkReferred(MsiTable& table, MsiTable& related, const LinkSink& link);
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
        // The indexes over mine and theirs, once asked for.
        RowValueIndex* referring = nullptr;
        RowValueIndex* referred = nullptr;
    };
    struct Plan
    {
        std::vector<Route> routes;
        bool text = false;             // formatted text of the referring table may name rows of the other
        RowValueIndex* keys = nullptr; // of the other table by its first column, once asked for
    };

    Plan& PlanFor(MsiTable& table, MsiTable& related);
    RowValueIndex& IndexOf(MsiTable& table, const std::vector<int>& columns);
    RowNameIndex& NamesOf(MsiTable& table);
    // Tells link of the rows of related that the row of table refers to, in the plan's order.
    void VisitReferred(Plan& plan, MsiTable& table, RowIterator row, MsiTable& related, const LinkSink& link);

    std::map<std::pair<MsiTable*, MsiTable*>, Plan> plans_;
    // Node maps: plans keep pointers to the indexes until the table goes.
    std::map<std::pair<MsiTable*, std::vector<int>>, std::unique_ptr<RowValueIndex>> indexes_;
    std::map<MsiTable*, RowNameIndex> names_;
    RowKey key_;
};

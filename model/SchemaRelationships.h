#pragma once
// Row reference tracking for one open database: which rows a row refers to and which rows refer to it,
// through the relationships of "schema.dat" and [..] references in formatted text. Built for the whole
// database on demand, then kept current by the row operations of MsiFile; off until built. Links hold
// rows by iterator, so a row's links go before the row does, and a table's pairs before the table.
#include "model/RelatedRowIndexes.h"
#include "model/TableRelationships.h"

#include <boost/multi_index/composite_key.hpp>
#include <boost/multi_index/member.hpp>
#include <boost/multi_index/ordered_index.hpp>
#include <boost/multi_index_container.hpp>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MsiFile;

class SchemaRelationships
{
public:
    // The links between the rows of one referring and one referred table.
    class TableRowRelationships
    {
    public:
        struct Link
        {
            Link(RowIterator referring, RowIterator referred, RelationshipSet relationships)
                : referring(referring), referred(referred), relationships(std::move(relationships))
            {
            }
            RowIterator referring;
            RowIterator referred;
            mutable RelationshipSet relationships;
        };
        struct ReferringRow
        {
            using result_type = const MsiRow*;
            const MsiRow* operator()(const Link& link) const { return &*link.referring; }
        };
        struct ReferredRow
        {
            using result_type = const MsiRow*;
            const MsiRow* operator()(const Link& link) const { return &*link.referred; }
        };
        struct ByReferring
        {
        };
        struct ByReferred
        {
        };
        // One link per (referring row, referred row); found by either row.
        using Links = boost::multi_index_container<
            Link,
            boost::multi_index::indexed_by<
                boost::multi_index::ordered_unique<
                    boost::multi_index::tag<ByReferring>,
                    boost::multi_index::composite_key<Link, ReferringRow, ReferredRow>>,
                boost::multi_index::ordered_non_unique<boost::multi_index::tag<ByReferred>, ReferredRow>>>;

        // Adds the relationships to the link of the two rows, made when missing.
        void Insert(RowIterator referring, RowIterator referred, const RelationshipSet& relationships);
        void Insert(RowIterator referring, RowIterator referred, const RelationshipDefPtr& relationship);
        void EraseReferring(RowIterator referring);
        void EraseReferred(RowIterator referred);
        // Takes the relationships that pass the test out of the links to the row; links left with none go.
        void EraseReferredThrough(RowIterator referred,
                                  const std::function<bool(const RelationshipDefPtr&)>& test);
        const Links& links() const { return links_; }

    private:
        Links links_;
    };

    // A row linked to the asked one, with the relationships that link the two.
    struct LinkedRow
    {
        RowIterator row;
        RelationshipSet relationships;
    };
    // Linked rows by their table, in link order within each table.
    using RowsByTable = std::map<MsiTableRef, std::vector<LinkedRow>>;

    SchemaRelationships() = default;
    SchemaRelationships(const SchemaRelationships&) = delete;
    SchemaRelationships& operator=(const SchemaRelationships&) = delete;

    // Tracking is on from Build until Clear: an explicit state, since tables added while it is off get no
    // pairs and an empty database has none either.
    bool IsEnabled() const { return enabled_; }
    // Builds every pair and link of the file and turns tracking on; progress (may be empty) is told which
    // pair of tables is being linked. A failure leaves tracking off.
    void Build(MsiFile& file, const std::function<void(const std::wstring& text)>& progress = nullptr);
    // Build with a status bar (SetStatusParts, SetStatusText), such as the document's.
    template <typename StatusSink> void Build(MsiFile& file, StatusSink* status);
    // Drops every pair and link: tracking is off.
    void Clear();

    // A row of table was added (add), deleted (remove, before it goes) or had the column changed changed
    // (both). changed is null for added and deleted rows.
    void UpdateForRowChange(MsiTable& table, bool remove, bool add, const MsiFieldDef* changed,
                            RowIterator row);
    // Pairs for a table just added to the file, before its rows come.
    void AddTable(MsiTable& table, MsiFile& file);
    // Every pair in which the table refers or is referred to, before the table goes.
    void RemoveTable(MsiTable& table);

    // The rows the row refers to, of only that table when only is given.
    RowsByTable GetReferencedRows(MsiTable& table, RowIterator row, MsiTable* only = nullptr) const;
    // The rows that refer to the row, of only that table when only is given.
    RowsByTable GetReferencingRows(MsiTable& table, RowIterator row, MsiTable* only = nullptr) const;
    // Whether the row is among the linked rows.
    static bool Holds(const RowsByTable& rows, RowIterator row);
    // The rows the row owns: those linked to it by an owned-by relationship of theirs and those it links to
    // by an owns relationship of its own, each with its table. Copies nothing.
    void ForEachOwnedRow(MsiTable& table, RowIterator row,
                         const std::function<void(MsiTable& owned_table, RowIterator owned)>& visit) const;

private:
    struct TablePair
    {
        MsiTable* referring;
        MsiTable* referred;
        std::shared_ptr<TableRowRelationships> links;
    };
    struct ByReferringTable
    {
    };
    struct ByReferredTable
    {
    };
    using Pairs = boost::multi_index_container<
        TablePair, boost::multi_index::indexed_by<
                       boost::multi_index::ordered_non_unique<
                           boost::multi_index::tag<ByReferringTable>,
                           boost::multi_index::member<TablePair, MsiTable*, &TablePair::referring>>,
                       boost::multi_index::ordered_non_unique<
                           boost::multi_index::tag<ByReferredTable>,
                           boost::multi_index::member<TablePair, MsiTable*, &TablePair::referred>>>>;

    // The pair's links, made when the pair is new.
    TableRowRelationships& MakePair(MsiTable& referring, MsiTable& referred);

    Pairs pairs_;
    // Found through indexes rather than by comparing every row with every row.
    RelatedRowIndexes indexes_;
    bool enabled_ = false;
};

template <typename StatusSink> void SchemaRelationships::Build(MsiFile& file, StatusSink* status)
{
    if (!status) {
        Build(file);
        return;
    }
    status->SetStatusParts(std::vector<int>{100});
    Build(file, [status](const std::wstring& text) { status->SetStatusText(text, 0); });
}

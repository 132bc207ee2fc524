#pragma once
// A grouping collects, under a row node (its owner), the related rows of one table, shown as a grouping
// item (RowGroupingNode) labelled with its name. It follows its table's events: rows that come to belong
// get nodes, rows that stop belonging lose theirs, and a dropped table takes the grouping with it.
#include "model/EventEngine.h"
#include "model/MsiFile.h"
#include "views/grid/ObjectBase.h"
#include "views/tree/NodePainter.h"
#include "views/tree/TableLookupProvider.h"

#include <string>
#include <unordered_map>
#include <vector>

class RowElementNode;
class RowGrouping;
class RowGroupingNode;

RowGroupingNode* AddRowGroupingNode(RowGrouping* grouping);
void RemoveRowGroupingNode(RowGrouping* grouping);

class RowGrouping : public EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>,
                    public TableLookupProvider
{
public:
    using TableEngine = EventEngine<MsiTable*, MsiFile::TableEventArg>;

    // Subscribes to the events of its table (none when the database lacks it).
    RowGrouping(const std::wstring& table_name, RowElementNode* owner, bool accept_all);
    // Unsubscribes and removes its tree item.
    ~RowGrouping() override;

    virtual void OnTableEvent(MsiTable& table, MsiFile::TableEvents code, RowIterator row);
    virtual std::wstring GetName() { return table_name_; }
    virtual int GetIconId() { return 1001; }
    virtual bool AcceptRow(MsiTable& table, RowIterator row);

    RowElementNode* GetOwner() const { return owner_; }
    bool AcceptsAll() const { return accept_all_; }
    RowGroupingNode* GetNode() const { return node_; }
    // The grouping's item, made (and expanded) when missing.
    RowGroupingNode* EnsureNode();
    void RemoveNode();
    // The row node under the grouping item for that row, or null.
    RowElementNode* FindRowNode(RowIterator row) const;
    // A node for the row under the grouping item (made when missing), with its placeholder.
    RowElementNode* AddRowNode(RowIterator row);
    // The same for many rows at once (a page's fill): one expansion of the grouping item at the end.
    void AddRowNodes(const std::vector<RowIterator>& rows);
    // The grouping item goes when it has no rows left.
    void RemoveNodeIfEmpty();
    // Subscribes to another table's events too (groupings that follow a second table).
    void Watch(MsiTable* table);
    // A grouping made before the database had its table (one the tree knows by name) follows the table
    // once it is added.
    void WatchAddedTable();

protected:
    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, TableEngine& engine) override;

private:
    friend class RowGroupingNode;
    friend RowGroupingNode* AddRowGroupingNode(RowGrouping* grouping);
    friend void RemoveRowGroupingNode(RowGrouping* grouping);
    RowElementNode* owner_;
    bool accept_all_;
    RowGroupingNode* node_ = nullptr;
    MsiFile* file_;
    bool watches_own_table_ = false;
};

template <int IconId, typename Base = RowGrouping> class RowGroupingIcon : public Base
{
public:
    using Base::Base;
    int GetIconId() override { return IconId; }
};

// The tree item of a grouping.
class RowGroupingNode : public NodePainter, public ObjectBase
{
public:
    explicit RowGroupingNode(RowGrouping* grouping);
    ~RowGroupingNode() override;

    // The grouping's icon, or its empty-grouping image (38 further on) while it has no rows.
    int GetIconId() override;
    void OnSelected(ObjectWindow* list) override;
    bool OnExpanding() override { return false; }
    RowGrouping* GetGrouping() const { return grouping_; }
    // The first child, in label order, that is the node of that row; null when none is.
    RowElementNode* FindRowNode(const MsiRow* row) const;

protected:
    void OnChildAdded(ContainerNode& child) override;
    void OnChildRemoved(ContainerNode& child) override;

private:
    friend class RowGrouping;
    friend void RemoveRowGroupingNode(RowGrouping* grouping);
    RowGrouping* grouping_;
    // Row nodes among the children by their row: filling a grouping with many rows stays linear.
    std::unordered_multimap<const MsiRow*, RowElementNode*> row_nodes_;
};

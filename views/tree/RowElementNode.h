#pragma once
// A row of a row tree (Dialogs, Components, Features). Under it, one grouping item per related table
// collects the rows related to it, each again a row node. Children are built on the first expansion from
// the row references; until then a "Dummy" child gives the item its expand button. The node follows its
// row's events (modified, deleted) and the file's (a table added); its groupings follow their tables'.
// Selected, it shows its one row in the list, editable like a table row.
#include "model/EventEngine.h"
#include "model/MsiFile.h"
#include "model/SchemaRelationships.h"
#include "model/lookups/EditHandler.h"
#include "views/grid/ObjectBase.h"
#include "views/tree/NodePainter.h"
#include "views/tree/TableLookupProvider.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>

class RowGrouping;
class TreeView;

class RowElementNode : public NodePainter,
                       public EventEngineSubscriber<RowIterator, MsiTable::RowEvents, RowIteratorLess>,
                       public EventEngineSubscriber<MsiFile*, MsiTable*>,
                       public ObjectBase,
                       public EditHandler,
                       public TableLookupProvider
{
public:
    using RowsByTable = SchemaRelationships::RowsByTable;
    using RowEngine = EventEngine<RowIterator, MsiTable::RowEvents, RowIteratorLess>;
    using FileEngine = EventEngine<MsiFile*, MsiTable*>;
    // Groupings by name; a node has at most one of each name.
    using Groupings = std::map<std::wstring, std::unique_ptr<RowGrouping>>;

    // A node for a row of the table. Its label is set by UpdateLabel (CreateRowElementNode calls it, so
    // that the classes that override MakeLabel get theirs).
    RowElementNode(TableViewsTab* tab, const std::wstring& table_name, RowIterator row);
    // A root owner: no row, never inserted, the invisible owner of a tree's top-level groupings.
    RowElementNode(TableViewsTab* tab, const std::wstring& table_name, TreeView* tree);
    ~RowElementNode() override;

    // ContainerNode.
    void OnContextMenu(int x, int y) override;
    int GetIconId() override { return 1001; }
    void OnSelected(ObjectWindow* list) override;
    bool OnExpanding() override;

    virtual void AddPlaceholderChild();
    // The label the row should have: its key text, cut to 100 characters.
    virtual std::wstring MakeLabel();
    virtual bool IsRelatedRow(MsiTable& table, RowIterator row);
    // One grouping per table that this row owns or is owned by.
    virtual void AddChildGroupings();
    virtual void AddReferencingRows(const RowsByTable& rows);
    virtual void AddReferencedRows(const RowsByTable& rows);
    // Commands of the row menu: jump to the table, delete, expand all.
    virtual void OnCommand(UINT id);

    // ObjectBase.
    LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info) override;
    LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw) override;
    InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column) override;
    using NodePainter::OnCustomDraw;

    // EditHandler: after an edit through the list.
    void Refresh(bool row_count_changed) override;

    // Sets the label from MakeLabel.
    void UpdateLabel();
    // Not exactly one child labelled "Dummy".
    bool IsPopulated() const;
    // Builds the children (groupings and related rows) once; no tracking check, no message.
    void Populate();
    // Expands this node and, depth first, everything below it; a row already expanded on the path is not
    // expanded again, so rows that own each other end.
    void ExpandAll();

    bool IsRootOwner() const { return !has_row_; }
    bool HasRow() const { return has_row_; }
    RowIterator GetRow() const { return row_; }
    MsiTable* GetTable() const { return table_.get(); }
    MsiFile& GetFile() const { return *file_; }
    bool IsPendingRemoval() const { return pending_removal_; }
    // Marks (or clears) this node and its row nodes below for removal by the next Refresh.
    void SetPendingRemoval(bool pending);
    Groupings& GetGroupings() { return groupings_; }
    RowGrouping* FindGrouping(const std::wstring& name) const;
    // Puts the grouping into the set (replacing none: an existing one of the name stays); the one kept.
    RowGrouping* AddGrouping(std::unique_ptr<RowGrouping> grouping);
    // Takes the grouping out of the set and destroys it, which removes its tree item.
    void DestroyGrouping(RowGrouping* grouping);
    // For each table with a grouping here, the rows related through a relationship of `kind` get nodes.
    void AddRowNodes(const RowsByTable& rows, int kind);
    // The row's key values as the lookups name it.
    std::vector<std::wstring> GetKeyValues() const;
    // Where the node's grouping items go: the node, or the tree's root for a root owner.
    ContainerNode* GroupingParent();

    static bool IsExpandAllRunning() { return expand_all_running_; }

protected:
    bool notify(const RowIterator& row, const MsiTable::RowEvents& code, RowEngine& engine) override;
    bool notify(MsiFile* const& file, MsiTable* const& table, FileEngine& engine) override;
    // The row's position in its table's lookup, or -1.
    int RowPosition();
    bool TrackingOn() const;
    void ShowInLinksPane();
    void DeleteWithReferencingRows();

private:
    void ExpandAll(std::set<std::pair<MsiTable*, std::wstring>>& path);
    void Subscribe();
    void Unsubscribe();

    // Kept from construction: the destructor must not ask a tab that is itself being destroyed.
    MsiFile* file_;
    MsiTableRef table_;
    RowIterator row_;
    bool has_row_ = false;
    bool pending_removal_ = false;
    Groupings groupings_;
    static bool expand_all_running_;
};

// A row node whose rows are never expanded: no placeholder, so no expand button.
class NoDependenciesRowElementNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    bool OnExpanding() override { return false; }
    void AddPlaceholderChild() override {}
};

// A row node class that only fixes its icon.
template <int IconId, typename Base> class ElementNodeIcon : public Base
{
public:
    using Base::Base;
    int GetIconId() override { return IconId; }
};

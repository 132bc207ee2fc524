#pragma once
// A table in the Tables tree. Selected, it makes the tab's list show the table through its lookup (columns,
// sort arrow, item count, cell texts, colours, tips, editors) and remembers the widths, sort column and
// current cell for the next time. It is the lookup's edit handler and owner node, and carries the row
// clipboard commands, adding, deleting and the search of the find command.
#include "model/lookups/EditHandler.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "model/lookups/TableLookupOwner.h"
#include "views/grid/ObjectBase.h"
#include "views/tree/ContainerNode.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TableViewsTab;
class ObjectWindow;
class RowLinksPane;
struct FindPattern;

class MsiTableNode : public ContainerNode, public ObjectBase, public EditHandler, public TableLookupOwner
{
public:
    // Whether a cell's display text matches the find pattern; may throw for a pattern too complex to run.
    using CellMatcher = std::function<bool(const std::wstring& text)>;

    MsiTableNode(TableViewsTab* tab, std::shared_ptr<MsiTableLookupBase> lookup);
    ~MsiTableNode() override;

    // ContainerNode.
    void OnContextMenu(int x, int y) override { OnTreeContextMenu(x, y); }
    int GetIconId() override;
    void OnSelected(ObjectWindow* list) override;
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw) override;
    void OnDeselected() override;
    bool OnExpanding() override { return false; }
    virtual void OnTreeContextMenu(int x, int y);
    // The tip of a cell: its schema's named values and description.
    virtual void GetFieldTip(std::wstring& text, int item, int column);

    // ObjectBase.
    void GetToolTipText(NMTTDISPINFOW* info) override;
    LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info) override;
    LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw) override;
    LRESULT OnClick(ObjectWindow& list, NMITEMACTIVATE* click) override;
    LRESULT OnKeyDown(ObjectWindow& list, NMLVKEYDOWN* key) override;
    LRESULT OnItemChanged(ObjectWindow& list, NMLISTVIEW* change) override;
    LRESULT OnContextMenu(ObjectWindow& list, HWND window, int x, int y) override;
    void Sort(int old_column, int new_column, bool ascending) override;
    InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column) override;

    // EditHandler.
    void Refresh(bool row_count_changed) override;

    // TableLookupOwner.
    std::wstring GetOwnerPath() override;
    HWND GetOwnerWindow() override;
    EditHandler* GetOwnerEditHandler() override { return this; }
    int GetListSortColumn() override;
    bool SelectTable(const FindCriteria& location) override;
    bool SelectRow(const FindCriteria& location) override;
    void Reload() override;
    bool ConfirmReferencingRows(MsiTable& table, RowIterator row, int column, const MsiFieldDataRef& value,
                                std::unique_ptr<ReferencingRowsUpdate>& update) override;

    // Status bar: "Rows: %i" and the column's description.
    void UpdateLabel(int column);
    // The focused row in the row-relationship pane, or an empty pane.
    void ShowRowLinks(ObjectWindow& list);
    // The next cell after `start` (or from the first or last cell) whose text matches, within the filters'
    // table and column (criteria's names, empty: any); the location carries criteria.text first. Past the
    // last cell of this table there is nothing more here: the caller goes on to the next table.
    FindCriteria Find(const FindCriteria& criteria, const CellMatcher& matches, const FindCriteria& start,
                      bool upward, bool step_past_start);
    // The same with the Find dialog's pattern and filters.
    FindCriteria Find(const FindPattern& pattern, const FindCriteria& start, bool upward,
                      bool step_past_start);

    // Row commands (keys and list menu).
    void CopyRows();
    void CopyField();
    void CutRows();
    void DeleteSelectedRows();
    void AddRow();
    void NewGuidForField();
    void PasteField();
    void PasteRows();
    // The validation messages of the cell at a screen point.
    void ShowValidationErrors(POINT screen_point);
    // A command of the list menu; false when it is not one of this node's.
    virtual bool OnListCommand(UINT id, POINT point);

    const std::shared_ptr<MsiTableLookupBase>& GetLookup() const { return lookup_; }
    TableViewsTab* GetTab() const { return tab_; }
    bool IsModified() const { return modified_; }
    const std::vector<int>& GetSavedWidths() const { return widths_; }
    int GetSavedSortColumn() const { return sort_column_; }
    const FindCriteria& GetSavedLocation() const { return location_; }

    // The row-relationship pane of the tab's main window, or null.
    static RowLinksPane* LinksPane(TableViewsTab* tab);

protected:
    // The tab's list, whether this node shows in it or not.
    ObjectWindow* List() const;
    bool IsReadOnly() const;
    // The list sort column of a list that shows this node (0 when none is set).
    int SortColumn() const;
    // Whether the cell's row is one of the edited table (a comparison view also shows base-only rows).
    bool RowExists(int position);
    // Loads menu `id` and tracks its first popup over the main window; the chosen command or 0.
    UINT TrackMenu(int id, POINT point, const std::function<void(HMENU popup)>& prepare);
    // The point of a list context menu: from the keyboard the current cell's corner, else the mouse point
    // (whose column becomes current).
    POINT ListMenuPoint(ObjectWindow& list, int x, int y);
    void SetEditingItemsState(HMENU popup, bool grey);
    // A cell as the validation messages name it: the tab's path, table, column and the row's keys.
    FindCriteria RowLocation(int position, const std::wstring& column);

private:
    void SaveLocation(ObjectWindow& list);
    // Adds what the clipboard holds as rows; the clipboard is closed before the first row is added.
    void AddPastedRows(const std::wstring& text);
    void ShowRowInLinksPane(MsiTable* table, RowIterator row);
    bool RunCascadeDeletion(const std::vector<RowIterator>& rows);

    TableViewsTab* tab_;
    std::shared_ptr<MsiTableLookupBase> lookup_;
    bool modified_ = false;
    std::vector<int> widths_;
    int sort_column_ = 0;
    FindCriteria location_;
};

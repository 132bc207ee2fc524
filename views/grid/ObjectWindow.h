#pragma once
// The owner-data table list with a handler: a NavigableListView that routes what it shows to an
// ObjectBase (a tree node, the new-row dialog), keeps the sort column and its header arrow, and pops up
// field tips that the handler supplies.
#include "foundation/ToolTip.h"
#include "views/grid/NavigableListView.h"

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

class ObjectBase;

class ObjectWindow : public NavigableListView, private ToolTip::Sink
{
public:
    // The timer that pops up a field tip after the mouse rests.
    static const UINT_PTR kFieldTipTimer = 12;

    ObjectWindow();
    ~ObjectWindow() override;

    // Once per list: the tooltip control with the list as its one tool, texts from the handler.
    void AddToolTip();
    HWND GetToolTipWindow() const { return tooltip_.control(); }

    // Stores the handler (null: nothing shown), deletes all items, replaces the columns, sets the sort arrow
    // (direction 0 none, 1 up, 2 down) and the item count.
    void SetHandler(ObjectBase* handler, const std::vector<std::wstring>& columns, int item_count,
                    int sort_column, int direction);
    ObjectBase* GetHandler() const { return handler_; }
    void SetItemCount(int count);

    // Remembers the sort column and puts the arrow of `direction` on it alone.
    void SetSortArrow(int column, int direction);
    int GetSortColumn() const { return sort_column_; }
    bool IsAscending() const { return ascending_; }

    LRESULT OnContextMenu(int x, int y);

protected:
    // Mouse messages go to the tooltip too (the list is a relayed tool).
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    LRESULT OnMouseMove(WPARAM wparam, LPARAM lparam) override;
    LRESULT OnTimer(WPARAM timer) override;
    LRESULT OnClick(NMITEMACTIVATE* click) override;
    LRESULT OnKeyDown(NMLVKEYDOWN* key) override;
    InPlaceEditorPtr CreateEditor(int item, int column) override;
    LRESULT OnGetDispInfo(NMLVDISPINFOW* info) override;
    LRESULT OnColumnClick(NMLISTVIEW* view) override;
    LRESULT OnItemChanged(NMLISTVIEW* view) override;
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw) override;

private:
    friend class ObjectBase;
    // Called by a dying handler: the list forgets it and shows nothing.
    void DetachHandler(ObjectBase* handler);
    void GetToolTipText(NMTTDISPINFOW* info) override;

    ObjectBase* handler_ = nullptr;
    // The handler's painting threw once: reported already.
    bool paint_failed_ = false;
    int sort_column_ = -1;
    bool ascending_ = true;
    ToolTip tooltip_;
};

// The list of the new-row dialog: the same list over the dialog template's control (AttachControl), with
// the dialog as its handler.
class NewRowList : public ObjectWindow
{
};

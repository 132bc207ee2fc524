#pragma once
// A report list view in owner-data mode with a cell cursor: a current column, drawn as a highlighted cell
// in the focused row, moved with Left and Right, and the cell that Enter, F2, a second click or a double
// click edits in place. The control is subclassed; what it reports to its owner comes back through
// OnNotify. A plain NavigableListView never edits: CreateEditor gives no editor.
#include "foundation/Window.h"
#include "views/grid/InPlaceEditor.h"

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>

class NavigableListView : public tfc::Window
{
public:
    NavigableListView();
    // Releases the open editor, then destroys the control.
    ~NavigableListView() override;

    // The "SysListView32" child (owner data, report, full-row select, header drag and drop) at 10,10,
    // 400 x 500; the owner lays it out.
    void Create(HWND parent, HIMAGELIST images);
    // Takes over a list control made elsewhere (a dialog template's) with the same settings.
    void AttachControl(HWND list, HIMAGELIST images);
    HWND GetWindowHandle() const { return window_; }

    int GetCurrentColumn() const { return current_column_; }
    void SetCurrentColumn(int column) { current_column_ = column; }

    // Deletes every column, then one column per caption, 100 pixels wide each; no captions hide the header.
    void SetColumns(const std::vector<std::wstring>& captions);
    int GetColumnCount() const;
    // Column indices in the header's display order.
    std::vector<int> GetColumnOrder() const;
    std::vector<int> GetColumnWidths() const;
    // Applies to the first min(widths, columns) columns.
    void SetColumnWidths(const std::vector<int>& widths);
    // Each column to its contents and header, none wider than 500, and shared out to fit the client width.
    void AutoFitColumns();

    int GetItemCount() const;
    // Ascending indices of the selected items.
    std::vector<int> GetSelectedItems() const;
    // Exactly these items selected, drawn once at the end.
    void SetSelection(const std::vector<int>& items);
    void SelectAll();
    int GetFocusedItem() const;
    // Focus, make visible, selection mark; the item that had the focus is repainted.
    void FocusItem(int item);
    void RedrawItem(int item);
    // Scrolls so that the cell of (item, column) is in view.
    void EnsureSubItemVisible(int item, int column);

    // Asks CreateEditor for an editor of the cell and opens it over the cell's label rectangle. An empty
    // holder means the cell is not editable and nothing happens.
    void BeginEdit(int item, int column);
    const InPlaceEditorPtr& GetEditor() const { return editor_; }

    // For handlers, at the sub-item stage of custom draw: draws the current cell of the focused row by hand.
    // Returns whether the item is selected (an unselected item is the caller's); `result` becomes
    // CDRF_SKIPDEFAULT when the cell was drawn here, else CDRF_DODEFAULT.
    bool DrawCellHighlight(NMLVCUSTOMDRAW* draw, LRESULT& result);

    // Every WM_NOTIFY from the list, from the owner window's procedure.
    LRESULT OnNotify(NMHDR* header);

    // The cursor logic with the modifier and the point given, as the notifications use them.
    // Returns true when the key was one of the cursor's.
    bool HandleKey(WORD key, bool control_down);
    void HandleClick(POINT client_point);
    void HandleDoubleClick(POINT client_point);
    // The flag a button press records: did the item under `client_point` have the focus before.
    void RecordButtonDown(POINT client_point);

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

protected:
    virtual LRESULT OnLButtonDown(HWND window, WPARAM wparam, LPARAM lparam);
    virtual LRESULT OnMouseMove(WPARAM wparam, LPARAM lparam);
    // Non-zero: the control gets the timer message too.
    virtual LRESULT OnTimer(WPARAM timer);
    virtual LRESULT OnClick(NMITEMACTIVATE* click);
    virtual LRESULT OnDoubleClick(NMITEMACTIVATE* click);
    virtual LRESULT OnKeyDown(NMLVKEYDOWN* key);
    virtual InPlaceEditorPtr CreateEditor(int item, int column);
    // The notifications a plain list leaves to the default; ObjectWindow gives them to its handler.
    virtual LRESULT OnGetDispInfo(NMLVDISPINFOW* info);
    virtual LRESULT OnColumnClick(NMLISTVIEW* view);
    virtual LRESULT OnItemChanged(NMLISTVIEW* view);
    virtual LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw);

    // Releases the open editor, then destroys the control; a subclass that must clean up before the
    // control goes calls it from its own destructor.
    void DestroyControl();
    // The item and column at a point of the client area; item -1 when none.
    LVHITTESTINFO HitTest(POINT client_point) const;
    bool IsFocusedAndSelected(int item) const;

    HWND window_ = nullptr;

private:
    void configure(HIMAGELIST images);
    POINT click_point(const NMITEMACTIVATE* click) const;
    POINT message_point() const;
    // The rows whose texts in the column come out widest by the list font's advance widths, at most
    // `keep` of them, in ascending order.
    std::vector<int> WidestRows(int column, int rows, size_t keep);

    // Shift with a cursor key extends the selection from the selection mark to the item the key reaches.
    // The control does it item by item over the whole new range, asking the owner about each; when the
    // selection is the range from the mark to the focus (as the last extension left it, or as the
    // control's search finds), only the items between the old and the new end change here. False: the
    // control does it (and what it leaves is recorded).
    bool ExtendSelection(WORD key);
    void RecordExtent(int focused_before);
    // A cursor key without Shift or Control selects only the item it moves the focus to. The control
    // clears the old selection by setting every item of the list, however few are selected; here it is
    // cleared in one go (ClearSelection) and the target selected and focused, and the owner hears what
    // the control tells it. False: the control does it.
    bool MoveSelection(WORD key);
    // Clears the whole selection without visiting the items: the owner-data control drops the selection
    // past a shortened item count at once. The focus goes too; the top row is kept. The owner hears of it
    // as of the control's own clearing of every item: one LVN_ITEMCHANGED for item -1, then one for the
    // focused item losing the focus; none when nothing was selected (the focus then stays).
    void ClearSelection();
    bool IsMultiSelectReport() const;
    // A plain click on an item outside a selection of several items selects only that item: the control
    // clears the others one by one, telling the owner of each. They are cleared in one go first
    // (ClearSelection).
    void ClearBeforeClick(POINT point);
    void NotifyKeyDown(WORD key);
    void NotifyItemChanged(int item, UINT old_state, UINT new_state);
    // The item a cursor key moves the focus to in the report view, as the control moves it; -1 for none.
    int KeyTarget(WORD key, int focused) const;
    void SetItemSelected(int item, bool selected);

    struct Extent
    {
        bool valid = false;
        int mark = -1;
        int focus = -1;
        int items = 0;
    };
    // The selection is exactly [mark, focus] (either order) while valid; anything else that may change
    // the selection makes it invalid.
    Extent extent_;
    // Set while this class changes item states itself: their change notifications are not passed on,
    // as the control passes on none of a range it selects.
    bool extending_ = false;

    // The most of a text the control takes to measure it.
    static const int kFitTextLength = 259;
    // While a long list is fitted: the rows the control is shown, by the item it asks for.
    std::vector<int> fit_rows_;
    // SetColumns hid the header of a list left without columns.
    bool header_hidden_ = false;

    int current_column_ = -1;
    bool clicked_item_was_focused_ = false;
    InPlaceEditorPtr editor_;
};

#pragma once
// The "Row Relationships" pane of the bottom strip: for one row, every row it refers to (image 6) and every
// row that refers to it (image 5), with the relationships between them; the check box that turns row
// reference tracking on and off for the active database; Enter or a double click shows the listed row.
// FieldRowLinksWindow is the same list without the check box, listing the rows that refer to one field,
// for "Update Referencing Rows".
#include "foundation/Window.h"
#include "model/MsiTable.h"
#include "frame/FrameWindow.h"
#include "frame/LogTabWindow.h"

#include <windows.h>
#include <commctrl.h>
#include <functional>
#include <string>
#include <vector>

class EditableMsiFileTab;
class TableViewsTab;
class MsiFile;

class RowLinksWindow : public tfc::Window, public LogTabWindow, public RowLinksPane
{
public:
    // The active database tab, or null: the pane asks it for the row references and shows rows in it.
    using ActiveTabSource = std::function<TableViewsTab*()>;

    static const int kReferredImage = 6;
    static const int kReferringImage = 5;

    RowLinksWindow();
    ~RowLinksWindow() override;

    // The pane as a visible child with WS_EX_CONTROLPARENT; images is the main window's image list.
    void Create(HWND parent, const RECT& rect, HIMAGELIST images, ActiveTabSource active_tab);
    HWND GetWindowHandle() override { return window_; }
    HWND GetListWindow() const { return list_; }
    HWND GetCheckBox() const { return check_box_; }

    // Fills the pane for one row; a null table empties it. Nothing is listed while tracking is off.
    void ShowRowLinks(MsiTable* table, RowIterator row) override;
    // Shows the remembered row again, or empties the pane when that row or its table is gone.
    void Refresh();
    // Told after the check box's command turned the active database's tracking on or off (the document
    // then refreshes what it built from the row references).
    using TrackingChanged = std::function<void(EditableMsiFileTab& tab, bool on)>;
    void SetTrackingChangedHandler(TrackingChanged handler) { tracking_changed_ = std::move(handler); }
    // The check box's command: builds or drops the active database's row references.
    void ToggleTracking();
    // Sets the check box from the active database's tracking state (after a tab switch).
    void UpdateTrackingCheck();
    // Sets the check box to the given state; off empties the list.
    void ShowTrackingState(bool on);

    int GetLineCount() const;
    // The text of a cell as the list shows it.
    std::wstring GetItemText(int line, int column) const;
    // The key texts of the row of a line, as they were when listed.
    std::vector<std::wstring> GetItemKey(int line) const;
    // The active tab shows the row of the line, and its window gets the focus.
    void Jump(int line);
    // Header click: the same column again inverts the direction, another sorts ascending.
    void SortByColumn(int column);

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    // NM_DBLCLK, NM_RETURN, LVN_KEYDOWN and LVN_COLUMNCLICK of the list (a dialog holding the list passes
    // them on).
    LRESULT OnListNotify(NMHDR* header);

protected:
    // One line of the list; the item data is its index in lines_.
    struct Line
    {
        MsiTable* table = nullptr;
        std::wstring table_name;
        std::vector<std::wstring> key;
        std::wstring description;
        RelationshipDefPtr relationship; // FieldRowLinksWindow: the one relationship of the line
        int image = 0;
    };

    explicit RowLinksWindow(bool has_check_box);
    // Without the pane's own window class: the list goes in place of a dialog's placeholder control.
    void CreateInDialog(HWND dialog, HWND placeholder, HIMAGELIST images, DWORD extended_styles);
    void SetActiveTabSource(ActiveTabSource source) { active_tab_ = std::move(source); }
    void ClearLines();
    void AddLine(Line line);
    void FitColumns();
    const Line* LineOfItem(int item) const;
    TableViewsTab* ActiveTab() const { return active_tab_ ? active_tab_() : nullptr; }

    std::vector<Line> lines_;
    HWND list_ = nullptr;

private:
    void OnCreate(HWND window);
    void OnSize(int width, int height);
    void MakeList(HWND parent, const RECT& rect, DWORD extra_style);
    void SortLines();
    static int CALLBACK CompareLines(LPARAM a, LPARAM b, LPARAM self);

    bool has_check_box_;
    HWND window_ = nullptr;
    HWND check_box_ = nullptr;
    HIMAGELIST images_ = nullptr;
    ActiveTabSource active_tab_;
    TrackingChanged tracking_changed_;
    // The shown row, kept as names: a closed tab, a dropped table or a deleted row is noticed, never used.
    MsiFile* shown_file_ = nullptr;
    std::wstring shown_table_;
    std::vector<std::wstring> shown_key_;
    int sort_column_ = -1;
    bool ascending_ = true;
};

class FieldRowLinksWindow : public RowLinksWindow
{
public:
    FieldRowLinksWindow() : RowLinksWindow(false) {}
    // The list with check boxes in place of the dialog's placeholder control.
    void Create(HWND dialog, HWND placeholder, HIMAGELIST images, ActiveTabSource tab);
    // One line per (referring row, relationship through the column) of the row's references.
    void ShowFieldLinks(MsiFile& file, MsiTable& table, RowIterator row, int column);

    // State image 2 is a check, 1 an empty box; an item may have neither.
    bool IsChecked(int item) const;
    bool IsUnchecked(int item) const;
    void SetCheck(int item, bool checked);
    // The record of a list item (its table, key texts and relationship).
    struct Entry
    {
        MsiTable* table;
        std::wstring table_name;
        std::vector<std::wstring> key;
        RelationshipDefPtr relationship;
    };
    Entry GetEntry(int item) const;
};

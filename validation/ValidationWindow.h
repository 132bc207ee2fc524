#pragma once
// The "Validation Results" pane of the bottom strip: lists the messages of the validation runs, filters
// them to the active document, sorts and copies them, jumps to the cell a message names, and answers the
// table views' questions about row colours and field tips. The list holds no texts of its own (owner
// data): its rows are message numbers of the store, in the order shown, and sorting sorts those.
#include "foundation/TextWidths.h"
#include "foundation/Window.h"
#include "frame/LogTabWindow.h"
#include "frame/ValidationStore.h"

#include <windows.h>
#include <commctrl.h>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class DocumentTabs;
class MDIChild;

class ValidationWindow : public tfc::Window, public LogTabWindow
{
public:
    // Sent to the pane by AddMessage: wParam the message's number, lParam the store's count then.
    static const UINT kAddRowMessage = WM_APP + 20;
    enum Controls
    {
        kCheckBox = 1,
        kCopyButton = 2,
        kList = 3
    };

    ValidationWindow();
    ~ValidationWindow() override;

    // `tabs` are the frame's documents (may be null: no filter, no jumps).
    void Create(HWND parent, DocumentTabs* tabs = nullptr);
    HWND GetWindowHandle() override { return window_; }
    HWND GetListWindow() const { return list_; }
    HWND GetCheckBox() const { return check_box_; }
    ValidationStore& Store() { return store_; }

    // From any thread: stores the message, then lets the pane's thread list it.
    void AddMessage(const ValidationMessage& message);
    void Clear();
    void Refill();
    void RemoveFileMessages(MDIChild& document);
    void RemoveFileMessages(const std::wstring& path);
    unsigned GetRowValidationInfo(const FindCriteria& location) const
    {
        return store_.GetRowValidationInfo(location);
    }
    std::wstring GetFieldMessages(const FindCriteria& location) const
    {
        return store_.GetFieldMessages(location);
    }
    void CopySelectedResults();
    // Shows the location of the list row's message in its document tab.
    void GoToMessage(int row, bool focus);
    // The header click's sort, from the pane's own sort state.
    void SortByColumn(int column);
    // The number in the store of the message the list shows at row, or -1.
    ptrdiff_t MessageNumberAt(int row) const;

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnCreate(HWND window);
    void OnSize();
    LRESULT OnNotify(NMHDR* header);
    void OnCommand(WORD id, WORD code);
    // Whether the message belongs in the list under the current filter.
    bool Passes(const ValidationMessage& message) const;
    // Lists the message unless it is hidden or listed; true when it was. The columns are sized for the
    // store's count when asked (SizesColumnsAt); while a run's rows are due, with them (ShowNewRows).
    bool InsertMessageRow(size_t number, const ValidationMessage& message, size_t store_count,
                          bool size_columns = true);
    // Tells the list of rows appended since it last heard, and fits the columns if a fit fell due since.
    void ShowNewRows();
    // The rows are set anew: what was due is shown with them.
    void DropDueRows();
    void OnGetDispInfo(NMLVDISPINFOW* info);
    // Sets the rows (message numbers in the order shown); the messages selected and focused before stay
    // so where they are still listed, as they would with rows of their own.
    void SetRows(std::vector<size_t> rows, bool keep_selection);
    // While the store is small, and at every tenth message after.
    static bool SizesColumnsAt(size_t store_count);
    // Fits the columns whose widest text grew since they were fitted, or whose width was changed since.
    void SizeColumns();
    // Measures the rows appended since the last fit.
    void MeasureNewRows();
    // The rows were set anew: the next fit measures them all and fits every column.
    void ForgetFits();
    int DocumentCount() const;
    std::wstring ActivePath(bool& has_active) const;
    bool IsChecked() const;

    HWND window_ = nullptr;
    HWND check_box_ = nullptr;
    HWND button_ = nullptr;
    HWND list_ = nullptr;
    DocumentTabs* tabs_ = nullptr;
    ValidationStore store_;
    // By message number: whether the list holds its row. A run's row request may arrive after a refill
    // that listed the message already; this keeps it from being listed twice. User-interface thread only.
    std::vector<bool> listed_;
    // What the list shows: message numbers by row.
    std::vector<size_t> rows_;
    // The columns' fits, kept while rows are only appended, so that a run's fits measure each row once:
    // how many rows are measured, and per column the widest of them (by row) and what the last fit left.
    struct ColumnFit
    {
        explicit ColumnFit(size_t keep) : widest(keep) {}
        tfc::WidestIndexes widest;
        int fitted_text = -1;
        int fitted_width = -1;
    };
    size_t measured_rows_ = 0;
    std::vector<ColumnFit> fits_;
    std::unique_ptr<tfc::TextAdvances> advances_;
    // Rows a run added that the list has not been told of yet, and whether a fit fell due meanwhile: the
    // list takes a row count a few times a second, not at every message of a run on another thread.
    bool count_due_ = false;
    bool fit_due_ = false;
    // While the pane itself sets the selection: that is no user's choice of a message to jump to.
    bool restoring_ = false;
    int sort_column_ = -1;
    bool ascending_ = true;
};

#pragma once
// The small tool window that shows a job's progress rows and its Cancel button. Built when the first
// job starts and reused for later ones. Workers update the rows: positions are posted, texts are sent,
// so the user-interface thread must keep pumping messages while a worker runs.
#include "foundation/JobProgress.h"
#include "foundation/Task.h"
#include "foundation/Window.h"

#include <string>
#include <vector>

class ProgressWindow : public tfc::Window, public JobProgressDisplay
{
public:
    // One row of the job; the window only counts them.
    struct Row
    {
        std::wstring action;
        std::wstring detail;
        int position = 0;
    };

    ProgressWindow();
    ~ProgressWindow() override;

    // Shows the window with one action line, one detail line and one progress bar per row. The first
    // time it sits on the owner's lower right corner; later it keeps its place.
    void Show(JobCanceller* canceller, const std::vector<Row>& rows, HWND owner);
    void Hide();
    void ShowJobProgress(JobCanceller* canceller, HWND owner, int rows) override;
    void HideJobProgress() override { Hide(); }
    // From any thread; rows that do not exist are ignored.
    void SetPosition(size_t row, int position);
    void SetDetail(size_t row, const std::wstring& text);
    void SetAction(size_t row, const std::wstring& text);

    HWND GetWindowHandle() const { return window_; }
    HWND GetCancelButton() const { return cancel_; }
    HWND GetActionControl(size_t row) const { return row < actions_.size() ? actions_[row] : nullptr; }
    HWND GetDetailControl(size_t row) const { return row < details_.size() ? details_[row] : nullptr; }
    HWND GetProgressBar(size_t row) const { return bars_.size() > row ? bars_[row] : nullptr; }

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void DestroyRows();
    HWND MakeControl(const wchar_t* class_name, const wchar_t* text, DWORD style, int x, int y, int width,
                     int height);

    std::vector<HWND> actions_;
    std::vector<HWND> details_;
    std::vector<HWND> bars_;
    HWND cancel_ = nullptr;
    std::vector<Row> rows_;
    HWND window_ = nullptr;
    JobCanceller* canceller_ = nullptr;
};

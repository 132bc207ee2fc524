#pragma once
// Progress of work that the user-interface thread does itself: once it has gone on for a second, the
// program's progress window shows how far it is, and its Cancel button asks the work to stop. Only the
// progress window's own messages are handled meanwhile (its painting and its button), so nothing else
// can change under the work.
#include "foundation/ProgressWindow.h"

#include <windows.h>
#include <string>

class ForegroundProgress : private JobCanceller
{
public:
    // window may be null, and is left alone while a job shows it: then nothing is shown and nothing
    // cancels. action: the window's action line.
    ForegroundProgress(ProgressWindow* window, HWND owner, std::wstring action);
    ~ForegroundProgress() override;
    ForegroundProgress(const ForegroundProgress&) = delete;
    ForegroundProgress& operator=(const ForegroundProgress&) = delete;

    // done of total (a total of 0 moves no bar); detail: the window's detail line. False once the user
    // has cancelled.
    bool Step(size_t done, size_t total, const std::wstring& detail);
    bool Cancelled() const { return cancelled_; }
    bool Shown() const { return shown_; }

private:
    void Cancel() override { cancelled_ = true; }

    ProgressWindow* window_;
    HWND owner_;
    std::wstring action_;
    ULONGLONG start_;
    ULONGLONG last_ = 0;
    bool shown_ = false;
    bool cancelled_ = false;
};

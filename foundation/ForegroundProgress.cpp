#include "foundation/ForegroundProgress.h"

#include <commctrl.h>

namespace {

const ULONGLONG kShowAfterMs = 1000;
const ULONGLONG kUpdateEveryMs = 100;

} // namespace

ForegroundProgress::ForegroundProgress(ProgressWindow* window, HWND owner, std::wstring action)
    : window_(window), owner_(owner), action_(std::move(action)), start_(GetTickCount64())
{
    // A job's rows are not ours to take over.
    if (window_ && window_->GetWindowHandle() && IsWindowVisible(window_->GetWindowHandle()))
        window_ = nullptr;
}

ForegroundProgress::~ForegroundProgress()
{
    if (shown_)
        window_->Hide();
}

bool ForegroundProgress::Step(size_t done, size_t total, const std::wstring& detail)
{
    if (!window_ || cancelled_)
        return !cancelled_;
    ULONGLONG now = GetTickCount64();
    if (now - start_ < kShowAfterMs || (shown_ && now - last_ < kUpdateEveryMs))
        return true;
    if (!shown_) {
        window_->Show(this, {ProgressWindow::Row{}}, owner_);
        window_->SetAction(0, action_);
        shown_ = true;
    }
    last_ = now;
    window_->SetDetail(0, detail);
    if (total > 0)
        window_->SetPosition(
            0, static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)));
    MSG message;
    HWND progress = window_->GetWindowHandle();
    while (PeekMessageW(&message, progress, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return !cancelled_;
}

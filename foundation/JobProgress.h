#pragma once
// What a job needs of the window that shows its progress: shown when a job starts, hidden when it ends or
// is refused. The shell's progress window implements it.
#include "foundation/Task.h"

#include <windows.h>

class JobProgressDisplay
{
public:
    virtual ~JobProgressDisplay() = default;
    // Shows `rows` progress rows near `owner`; the Cancel button calls `canceller`.
    virtual void ShowJobProgress(JobCanceller* canceller, HWND owner, int rows) = 0;
    virtual void HideJobProgress() = 0;
};

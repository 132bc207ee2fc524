#pragma once
// The frame window's side of running jobs, kept out of the frame itself: refuses a second job, shows and
// hides the progress display, cancels, and reports the end of a job on the user-interface thread.
//
//     JobControl jobs(runner, progress_window);
//     jobs.SetFrame(frame);                                // after the frame window exists
//     jobs.RunTasks(tasks, &jobs, threaded);               // the subscriber: usually the JobControl
//     case JobControl::kJobsFinished: return jobs.OnJobsFinished(lparam);   // in the frame's window_proc
//
// A worker's JobsFinished sends kJobsFinished to the frame and waits until the frame has handled it, so
// the frame's thread must keep pumping messages while a job runs (it never waits for a worker).
#include "foundation/JobProgress.h"
#include "foundation/JobRunner.h"

#include <windows.h>

class JobControl : public JobNotificationSubscriber, public JobCanceller
{
public:
    // The frame's private message for the end of a job; lParam is the runner.
    static constexpr UINT kJobsFinished = WM_APP + 1;

    JobControl(JobRunner& runner, JobProgressDisplay& progress);

    void SetFrame(HWND frame) { frame_ = frame; }
    JobRunner& Runner() { return runner_; }

    // Starts a job with two progress rows. While a job runs: the message "There is already a task running."
    // and false. An exception from starting or from an inline task hides the progress (unless workers
    // already started still run) and reaches the caller.
    bool RunTasks(const JobRunner::Tasks& tasks, JobNotificationSubscriber* subscriber, bool threaded);

    // JobNotificationSubscriber: sends kJobsFinished to the frame and returns when it was handled.
    void JobsFinished(JobRunner& runner) override;
    // JobCanceller: every task of the current job gets its cancel flag.
    void Cancel() override;

    // The frame's handler of kJobsFinished: hides the progress and shows the tasks' error texts, if any,
    // in the error dialog. Returns 0.
    LRESULT OnJobsFinished(LPARAM lparam);

private:
    void refuse();

    JobRunner& runner_;
    JobProgressDisplay& progress_;
    HWND frame_ = nullptr;
};

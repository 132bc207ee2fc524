#include "foundation/JobControl.h"
#include "foundation/ErrorDialog.h"
#include "foundation/Prompt.h"

JobControl::JobControl(JobRunner& runner, JobProgressDisplay& progress) : runner_(runner), progress_(progress)
{
}

bool JobControl::RunTasks(const JobRunner::Tasks& tasks, JobNotificationSubscriber* subscriber, bool threaded)
{
    if (runner_.IsRunning()) {
        refuse();
        return false;
    }
    progress_.ShowJobProgress(this, frame_, 2);
    bool started = false;
    try {
        started = threaded ? runner_.StartThreads(tasks, subscriber) : runner_.RunInline(tasks, subscriber);
    } catch (...) {
        if (!runner_.IsRunning())
            progress_.HideJobProgress();
        throw;
    }
    if (!started) {
        progress_.HideJobProgress();
        refuse();
    }
    return started;
}

void JobControl::refuse()
{
    ShowMessageBox(frame_, L"There is already a task running.", L"", MB_OK);
}

void JobControl::JobsFinished(JobRunner& runner)
{
    SendMessageW(frame_, kJobsFinished, 0, reinterpret_cast<LPARAM>(&runner));
}

void JobControl::Cancel()
{
    runner_.CancelAll();
}

LRESULT JobControl::OnJobsFinished(LPARAM lparam)
{
    progress_.HideJobProgress();
    JobRunner& runner = lparam ? *reinterpret_cast<JobRunner*>(lparam) : runner_;
    std::wstring text = runner.JoinedErrorTexts();
    if (!text.empty())
        ShowErrorDialog(frame_, text);
    return 0;
}

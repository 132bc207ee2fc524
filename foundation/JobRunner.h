#pragma once
// Runs a job (a list of tasks) either each task on a worker thread of its own, or one after the other on
// the calling thread. One job at a time; the end of a job is reported exactly once.
#include "foundation/Task.h"

#include <windows.h>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

class JobRunner;

// One worker: its thread and its task.
class JobThread
{
public:
    JobThread(std::shared_ptr<Task> task, JobRunner* runner) : task(std::move(task)), runner(runner) {}
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;

    HANDLE handle = nullptr;
    std::shared_ptr<Task> task;
    JobRunner* runner;
};

class JobRunner
{
public:
    using Tasks = std::vector<std::shared_ptr<Task>>;

    JobRunner() = default;
    // Cancels a running job and waits for its workers, answering the messages they send meanwhile: a
    // worker must never call into a runner that is gone.
    virtual ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // True from the start of a job until its end has been reported (the subscriber's JobsFinished returned).
    bool IsRunning() const;
    // Starts a worker per task; false (nothing done) while a job runs. A thread that cannot be started
    // throws Win32Error "CreateThread": the workers already started go on and their end is reported as
    // usual; when none started, the runner is idle again.
    bool StartThreads(const Tasks& tasks, JobNotificationSubscriber* subscriber);
    // Runs the tasks in order on this thread; false while a job runs. A task's exception ends the job
    // without a report and reaches the caller; the runner is idle again.
    bool RunInline(const Tasks& tasks, JobNotificationSubscriber* subscriber);
    // Sets every task's cancel flag.
    void CancelAll();
    size_t TaskCount() const { return tasks_.size(); }
    // The tasks of the current (or last) job, kept until the next job starts.
    const Tasks& GetTasks() const { return tasks_; }
    // Every non-empty error text of the job's tasks, each followed by "\r\n".
    std::wstring JoinedErrorTexts() const;

protected:
    // CreateThread; tests replace it to make a start fail.
    virtual HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE start, void* parameter);

private:
    static DWORD WINAPI worker_proc(void* parameter);
    static void run_task(Task& task) noexcept;
    void worker_finished() noexcept;
    void report_end() noexcept;

    Tasks tasks_;
    std::vector<std::shared_ptr<JobThread>> workers_;
    JobNotificationSubscriber* subscriber_ = nullptr;
    std::atomic<bool> inline_running_{false};
    // Unfinished workers plus one for the end report: the worker that brings it to 1 is the last one and
    // reports; the report done, it goes to 0 and the job has ended.
    std::atomic<size_t> pending_{0};
};

#pragma once
// A unit of work for the job runner, and the two parties that hear of a job: who is told of its end and
// who cancels it.
#include <atomic>
#include <string>

class JobRunner;

// A task's cancel flag: the runner sets it, the task's own loops read it (the runner stops no thread).
class CancellableTask
{
public:
    virtual ~CancellableTask() = default;
    bool IsCancelled() const { return cancelled_.load(); }
    void SetCancelled() { cancelled_.store(true); }

private:
    std::atomic<bool> cancelled_{false};
};

class Task : public CancellableTask
{
public:
    // The work itself. An exception ends only this task; on a worker thread its text is kept in ErrorText.
    virtual void Run() = 0;

    // Written by the worker when Run failed, read after the job's end was reported.
    const std::wstring& ErrorText() const { return error_text_; }
    void SetErrorText(std::wstring text) { error_text_ = std::move(text); }

private:
    std::wstring error_text_;
};

// A task that also writes a log file; the log is its deriving class's own business.
class LoggingTask : public Task
{
};

// Told once when a job has ended: on the thread of the last worker, or on the calling thread after an
// inline run. The job counts as running until this returns.
class JobNotificationSubscriber
{
public:
    virtual ~JobNotificationSubscriber() = default;
    virtual void JobsFinished(JobRunner& runner) = 0;
};

// What the Cancel button of a job's progress calls.
class JobCanceller
{
public:
    virtual ~JobCanceller() = default;
    virtual void Cancel() = 0;
};

#include "foundation/JobRunner.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/MessageTrail.h"

JobThread::~JobThread()
{
    if (handle && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

JobRunner::~JobRunner()
{
    CancelAll();
    for (const auto& worker : workers_) {
        if (!worker->handle || worker->handle == INVALID_HANDLE_VALUE)
            continue;
        // The last worker reports the end with a sent message to this thread: keep answering them.
        while (MsgWaitForMultipleObjects(1, &worker->handle, FALSE, INFINITE, QS_SENDMESSAGE) ==
               WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
}

bool JobRunner::IsRunning() const
{
    return inline_running_.load() || pending_.load() != 0;
}

bool JobRunner::StartThreads(const Tasks& tasks, JobNotificationSubscriber* subscriber)
{
    if (IsRunning())
        return false;
    subscriber_ = subscriber;
    tasks_ = tasks;
    workers_.clear();
    // Workers not yet started count as running, so an early one cannot think itself the last.
    pending_.store(tasks_.size() + 1);
    for (size_t i = 0; i < tasks_.size(); ++i) {
        auto worker = std::make_shared<JobThread>(tasks_[i], this);
        workers_.push_back(worker);
        // The thread holds its worker itself: it must not depend on the runner's list.
        auto* parameter = new std::shared_ptr<JobThread>(worker);
        HANDLE handle = CreateWorkerThread(&worker_proc, parameter);
        if (handle) {
            worker->handle = handle;
            continue;
        }
        DWORD error = GetLastError();
        delete parameter;
        workers_.pop_back();
        size_t unstarted = tasks_.size() - i;
        if (i == 0) {
            // Nothing runs: the job never was.
            pending_.store(0);
            tasks_.clear();
            subscriber_ = nullptr;
        } else if (pending_.fetch_sub(unstarted) == unstarted + 1) {
            // The started workers have all ended already, each leaving the report to a later one.
            report_end();
        }
        throw tfc::Win32Error(error, L"CreateThread");
    }
    if (tasks_.empty())
        report_end();
    return true;
}

bool JobRunner::RunInline(const Tasks& tasks, JobNotificationSubscriber* subscriber)
{
    if (IsRunning())
        return false;
    inline_running_.store(true);
    struct Idle
    {
        std::atomic<bool>& flag;
        ~Idle() { flag.store(false); }
    } idle{inline_running_};
    subscriber_ = subscriber;
    tasks_ = tasks;
    workers_.clear();
    for (const auto& task : tasks_)
        task->Run();
    if (subscriber_)
        subscriber_->JobsFinished(*this);
    return true;
}

void JobRunner::CancelAll()
{
    for (const auto& task : tasks_)
        task->SetCancelled();
}

std::wstring JobRunner::JoinedErrorTexts() const
{
    std::wstring text;
    for (const auto& task : tasks_)
        if (!task->ErrorText().empty())
            text += task->ErrorText() + L"\r\n";
    return text;
}

HANDLE JobRunner::CreateWorkerThread(LPTHREAD_START_ROUTINE start, void* parameter)
{
    return CreateThread(nullptr, 0, start, parameter, 0, nullptr);
}

void JobRunner::run_task(Task& task) noexcept
{
    try {
        std::wstring text;
        bool explained_in_trail = false;
        try {
            task.Run();
        } catch (const tfc::ManageableError& error) {
            text = error.message;
        } catch (const tfc::Win32Error& error) {
            tfc::Format(L"JobThread caught unexpected error");
            text = error.description();
        } catch (const tfc::NullError&) {
            // The explanation is the trail: a failure that must not pass for success.
            explained_in_trail = true;
        } catch (const std::exception& error) {
            tfc::Format(L"JobThread caught unexpected error");
            text = tfc::NarrowToWide(error.what());
            if (text.empty())
                text = L"Unexpected error";
        } catch (...) {
            tfc::Format(L"JobThread caught unexpected error");
            text = L"Unexpected error";
        }
        if (text.empty() && !explained_in_trail)
            return;
        tfc::Format(L"");
        bool first = text.empty();
        for (const std::wstring& line : tfc::thread_messages()) {
            if (!first)
                text += L"\r\n";
            first = false;
            text += line;
        }
        task.SetErrorText(text.empty() ? L"Unexpected error" : std::move(text));
    } catch (...) {
        // Out of memory while building the text: the task ends without one.
    }
}

DWORD WINAPI JobRunner::worker_proc(void* parameter)
{
    JobRunner* runner = nullptr;
    try {
        std::unique_ptr<std::shared_ptr<JobThread>> owned(
            static_cast<std::shared_ptr<JobThread>*>(parameter));
        std::shared_ptr<JobThread> worker = std::move(*owned);
        runner = worker->runner;
        run_task(*worker->task);
    } catch (...) {
    }
    // The text is copied: the trail goes, since thread ids are reused.
    try {
        tfc::erase_thread_messages();
    } catch (...) {
    }
    // From here on neither the worker nor its task is touched: a new job may replace them.
    if (runner)
        runner->worker_finished();
    return 0;
}

void JobRunner::worker_finished() noexcept
{
    if (pending_.fetch_sub(1) == 2)
        report_end();
}

void JobRunner::report_end() noexcept
{
    try {
        if (subscriber_)
            subscriber_->JobsFinished(*this);
    } catch (...) {
        // A subscriber on a worker thread has nowhere to send an exception.
    }
    pending_.store(0);
}

#include "support/WindowTesting.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/JobControl.h"
#include "foundation/MessageTrail.h"
#include "foundation/Window.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <vector>

using namespace tamblewick_foundation_classes_v1_0;
using window_testing::PumpUntil;

namespace {

// A task made of a function; it remembers the thread it ran on.
class FunctionTask : public Task
{
public:
    explicit FunctionTask(std::function<void(FunctionTask&)> work) : work_(std::move(work)) {}
    void Run() override
    {
        thread = GetCurrentThreadId();
        ran = true;
        work_(*this);
    }
    std::atomic<DWORD> thread{0};
    std::atomic<bool> ran{false};

private:
    std::function<void(FunctionTask&)> work_;
};

std::shared_ptr<FunctionTask> task(std::function<void(FunctionTask&)> work)
{
    return std::make_shared<FunctionTask>(std::move(work));
}

// A manual-reset event that holds tasks back until the test releases them all at once.
class Gate
{
public:
    Gate() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Gate() { CloseHandle(event_); }
    void wait() const { WaitForSingleObject(event_, 10000); }
    void open() const { SetEvent(event_); }

private:
    HANDLE event_;
};

class FakeProgress : public JobProgressDisplay
{
public:
    void ShowJobProgress(JobCanceller* canceller_, HWND owner_, int rows_) override
    {
        ++shown;
        canceller = canceller_;
        owner = owner_;
        rows = rows_;
        visible = true;
    }
    void HideJobProgress() override
    {
        ++hidden;
        visible = false;
    }
    int shown = 0;
    int hidden = 0;
    int rows = 0;
    bool visible = false;
    JobCanceller* canceller = nullptr;
    HWND owner = nullptr;
};

// A runner whose n-th thread start fails.
class FailingRunner : public JobRunner
{
public:
    explicit FailingRunner(int fail_at) : fail_at_(fail_at) {}
    std::vector<HANDLE> started;
    // Before failing, wait until the workers started so far have ended.
    bool wait_for_started = false;

protected:
    HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE start, void* parameter) override
    {
        if (++calls_ == fail_at_) {
            if (wait_for_started)
                for (HANDLE handle : started)
                    WaitForSingleObject(handle, 10000);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        HANDLE handle = JobRunner::CreateWorkerThread(start, parameter);
        started.push_back(handle);
        return handle;
    }

private:
    int fail_at_;
    int calls_ = 0;
};

// The frame: hands the end of a job to its JobControl, as the main window does.
class FrameWindow : public Window
{
public:
    explicit FrameWindow(JobControl& jobs) : Window(L"MainWindow"), jobs_(jobs)
    {
        window_ = create_window(0, window_testing::TestClassName(), L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                200, nullptr);
        jobs_.SetFrame(window_);
    }
    ~FrameWindow() override { destroy_window(window_); }
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        if (message == JobControl::kJobsFinished) {
            ++ends;
            running_during_end = jobs_.Runner().IsRunning();
            return jobs_.OnJobsFinished(lparam);
        }
        return call_previous_proc(window, message, wparam, lparam);
    }
    HWND window_ = nullptr;
    int ends = 0;
    bool running_during_end = false;

private:
    JobControl& jobs_;
};

class Jobs : public ::testing::Test
{
protected:
    bool wait_until_idle(JobRunner& runner)
    {
        return PumpUntil([&] { return !runner.IsRunning(); }, 20000);
    }
};

const wchar_t kCaughtLine[] = L"\r\nJobThread caught unexpected error\r\n";

} // namespace

TEST_F(Jobs, WorkersEndOnceWithTheCollectedErrorTexts)
{
    JobRunner runner;
    FakeProgress progress;
    JobControl jobs(runner, progress);
    FrameWindow frame(jobs);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);

    Gate gate;
    JobRunner::Tasks tasks;
    std::vector<std::shared_ptr<FunctionTask>> all;
    for (int i = 0; i < 8; ++i) {
        auto t = task([&gate, i](FunctionTask&) {
            gate.wait();
            if (i == 3)
                throw Win32Error(5, L"CopyFile");
            if (i == 5) {
                // Explained in the trail alone: still a failure, in its own words.
                Format(L"merging %s") << L"y";
                throw NullError();
            }
            if (i == 6) {
                Format(L"reading %s") << L"x";
                throw ManageableError(L"plain message", L"caption");
            }
        });
        all.push_back(t);
        tasks.push_back(t);
    }
    ASSERT_TRUE(jobs.RunTasks(tasks, &jobs, true));
    EXPECT_EQ(progress.shown, 1);
    EXPECT_EQ(progress.rows, 2);
    EXPECT_EQ(progress.canceller, &jobs);
    EXPECT_EQ(progress.owner, frame.window_);
    EXPECT_TRUE(runner.IsRunning());
    gate.open();
    ASSERT_TRUE(wait_until_idle(runner));

    EXPECT_EQ(frame.ends, 1);
    EXPECT_TRUE(frame.running_during_end);
    EXPECT_EQ(progress.hidden, 1);
    std::wstring copy_failed = Win32Error(5, L"CopyFile").description() + kCaughtLine;
    EXPECT_EQ(all[3]->ErrorText(), copy_failed);
    EXPECT_EQ(all[5]->ErrorText(), L"merging y\r\n");
    EXPECT_EQ(all[6]->ErrorText(), L"plain message\r\nreading x\r\n");
    EXPECT_TRUE(all[0]->ErrorText().empty());
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::ErrorDialog);
    // Each text with its separator, then the error dialog's own closing line.
    EXPECT_EQ(prompts.asked()[0].text,
              copy_failed + L"\r\n" + L"merging y\r\n\r\n" + L"plain message\r\nreading x\r\n\r\n\r\n");
    for (const auto& t : all) {
        EXPECT_NE(t->thread.load(), GetCurrentThreadId());
        EXPECT_FALSE(has_thread_messages(t->thread.load())) << "an ended worker left its trail";
    }
}

TEST_F(Jobs, ManyJobsOfWorkersReleasedTogetherEachEndExactlyOnce)
{
    struct Counter : JobNotificationSubscriber
    {
        void JobsFinished(JobRunner& runner) override
        {
            ++count;
            if (!runner.IsRunning())
                ++idle_during_end;
        }
        std::atomic<int> count{0};
        std::atomic<int> idle_during_end{0};
    } counter;
    JobRunner runner;
    const int kJobs = 200;
    int waited_out = 0;
    for (int job = 0; job < kJobs; ++job) {
        Gate gate;
        JobRunner::Tasks tasks;
        for (int i = 0; i < 2 + job % 7; ++i)
            tasks.push_back(task([&gate](FunctionTask&) { gate.wait(); }));
        ASSERT_TRUE(runner.StartThreads(tasks, &counter));
        gate.open();
        DWORD start = GetTickCount();
        while (runner.IsRunning() && GetTickCount() - start < 10000)
            Sleep(1);
        if (runner.IsRunning())
            ++waited_out;
        ASSERT_EQ(counter.count.load(), job + 1) << "job " << job;
    }
    EXPECT_EQ(waited_out, 0);
    EXPECT_EQ(counter.idle_during_end.load(), 0);
}

TEST_F(Jobs, CancelStopsTheTasksLoopsAndASecondJobIsRefused)
{
    JobRunner runner;
    FakeProgress progress;
    JobControl jobs(runner, progress);
    FrameWindow frame(jobs);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);

    JobRunner::Tasks tasks;
    for (int i = 0; i < 3; ++i)
        tasks.push_back(task([](FunctionTask& self) {
            while (!self.IsCancelled())
                Sleep(1);
        }));
    ASSERT_TRUE(jobs.RunTasks(tasks, &jobs, true));

    EXPECT_FALSE(jobs.RunTasks({task([](FunctionTask&) {})}, &jobs, true));
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::MessageBox);
    EXPECT_EQ(prompts.asked()[0].text, L"There is already a task running.");
    EXPECT_EQ(prompts.asked()[0].caption, L"");
    EXPECT_EQ(prompts.asked()[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(runner.TaskCount(), 3u); // the refused job replaced nothing
    EXPECT_TRUE(progress.visible);

    progress.canceller->Cancel(); // the progress window's Cancel button
    ASSERT_TRUE(wait_until_idle(runner));
    EXPECT_EQ(frame.ends, 1);
    EXPECT_FALSE(progress.visible);
    EXPECT_EQ(prompts.asked().size(), 1u); // no errors, no dialog

    // The next job is accepted.
    ASSERT_TRUE(jobs.RunTasks({task([](FunctionTask&) {})}, &jobs, true));
    ASSERT_TRUE(wait_until_idle(runner));
    EXPECT_EQ(frame.ends, 2);
}

TEST_F(Jobs, FailedThreadStartEndsTheJobCleanly)
{
    FakeProgress progress;
    {
        // The second start fails while the first worker still runs: that worker reports the end.
        FailingRunner runner(2);
        JobControl jobs(runner, progress);
        FrameWindow frame(jobs);
        Gate gate;
        JobRunner::Tasks tasks = {task([&gate](FunctionTask&) { gate.wait(); }), task([](FunctionTask&) {}),
                                  task([](FunctionTask&) {})};
        try {
            jobs.RunTasks(tasks, &jobs, true);
            FAIL() << "no exception";
        } catch (const Win32Error& error) {
            EXPECT_EQ(error.function(), L"CreateThread");
            EXPECT_EQ(error.code(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
        }
        EXPECT_TRUE(runner.IsRunning()); // and no exception from asking
        EXPECT_TRUE(progress.visible);
        gate.open();
        ASSERT_TRUE(wait_until_idle(runner));
        EXPECT_EQ(frame.ends, 1);
        EXPECT_FALSE(progress.visible);
        EXPECT_FALSE(tasks[1]->IsCancelled());
        EXPECT_FALSE(static_cast<FunctionTask&>(*tasks[1]).ran.load());
    }
    {
        // The started worker has ended before the failure: the runner reports the end itself.
        FailingRunner runner(3);
        runner.wait_for_started = true;
        JobControl jobs(runner, progress);
        FrameWindow frame(jobs);
        JobRunner::Tasks tasks = {task([](FunctionTask&) {}), task([](FunctionTask&) {}),
                                  task([](FunctionTask&) {})};
        EXPECT_THROW(jobs.RunTasks(tasks, &jobs, true), Win32Error);
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_EQ(frame.ends, 1);
        EXPECT_FALSE(progress.visible);
    }
    {
        // Nothing started: no end to report, the runner is idle and takes the next job.
        FailingRunner runner(1);
        JobControl jobs(runner, progress);
        FrameWindow frame(jobs);
        EXPECT_THROW(jobs.RunTasks({task([](FunctionTask&) {})}, &jobs, true), Win32Error);
        EXPECT_FALSE(runner.IsRunning());
        EXPECT_FALSE(progress.visible);
        EXPECT_EQ(frame.ends, 0);
        ASSERT_TRUE(jobs.RunTasks({task([](FunctionTask&) {})}, &jobs, true));
        ASSERT_TRUE(wait_until_idle(runner));
        EXPECT_EQ(frame.ends, 1);
    }
}

TEST_F(Jobs, InlineRuns)
{
    JobRunner runner;
    FakeProgress progress;
    JobControl jobs(runner, progress);
    FrameWindow frame(jobs);
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDOK);

    // A task's exception: no further task, progress hidden, the exception reaches the caller.
    auto second = task([](FunctionTask&) {});
    JobRunner::Tasks failing = {task([](FunctionTask&) { throw Win32Error(2, L"CreateFile"); }), second};
    EXPECT_THROW(jobs.RunTasks(failing, &jobs, false), Win32Error);
    EXPECT_FALSE(second->ran.load());
    EXPECT_FALSE(progress.visible);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(frame.ends, 0);

    // While an inline job runs, another is refused; the job then ends with one notice.
    bool nested = true;
    JobRunner::Tasks tasks = {task([&](FunctionTask& self) {
        EXPECT_EQ(self.thread.load(), GetCurrentThreadId());
        nested = jobs.RunTasks({task([](FunctionTask&) {})}, &jobs, false);
    })};
    EXPECT_TRUE(jobs.RunTasks(tasks, &jobs, false));
    EXPECT_FALSE(nested);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"There is already a task running.");
    EXPECT_EQ(frame.ends, 1);
    EXPECT_TRUE(frame.running_during_end);
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_FALSE(progress.visible);
}

TEST_F(Jobs, ARunnerGoingAwayCancelsAndWaitsForItsWorkers)
{
    struct Counter : JobNotificationSubscriber
    {
        void JobsFinished(JobRunner&) override { ++count; }
        std::atomic<int> count{0};
    } counter;
    std::atomic<int> ended{0};
    {
        JobRunner runner;
        JobRunner::Tasks tasks;
        for (int i = 0; i < 3; ++i)
            tasks.push_back(task([&ended](FunctionTask& self) {
                while (!self.IsCancelled())
                    Sleep(1);
                ++ended;
            }));
        ASSERT_TRUE(runner.StartThreads(tasks, &counter));
    }
    EXPECT_EQ(ended.load(), 3);
    EXPECT_EQ(counter.count.load(), 1);
}

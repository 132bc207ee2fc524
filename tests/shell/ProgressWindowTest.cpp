// The progress window: geometry, texts from workers, Cancel.
#include "ShellTesting.h"

#include "foundation/ProgressWindow.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace shell_testing;

namespace {

class CountingCanceller : public JobCanceller
{
public:
    void Cancel() override { ++calls; }
    int calls = 0;
};

std::wstring Text(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

RECT ClientRectOf(HWND parent, HWND child)
{
    RECT rect = {};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class Owner
{
public:
    Owner()
    {
        window = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 700, 500,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~Owner() { DestroyWindow(window); }
    HWND window;
};

// Reports from its worker, then waits until cancelled.
class ReportingTask : public Task
{
public:
    explicit ReportingTask(ProgressWindow& progress) : progress_(progress) {}
    void Run() override
    {
        progress_.SetAction(0, L"Checking");
        progress_.SetDetail(1, L"row 7");
        progress_.SetPosition(0, 40);
        progress_.SetDetail(5, L"no such row");
        for (int i = 0; i < 500 && !IsCancelled(); ++i)
            Sleep(10);
    }

private:
    ProgressWindow& progress_;
};

} // namespace

TEST(ProgressWindowTest, TwoRowsMakeAWindow182HighWithCancelAt133)
{
    Owner owner;
    ProgressWindow progress;
    CountingCanceller canceller;
    progress.Show(&canceller, std::vector<ProgressWindow::Row>(2), owner.window);
    HWND window = progress.GetWindowHandle();
    RECT rect = {}, owner_rect = {};
    GetWindowRect(window, &rect);
    GetWindowRect(owner.window, &owner_rect);
    EXPECT_EQ(rect.right - rect.left, 301);
    EXPECT_EQ(rect.bottom - rect.top, 182);
    EXPECT_EQ(rect.right, owner_rect.right);
    EXPECT_EQ(rect.bottom, owner_rect.bottom);
    RECT cancel = ClientRectOf(window, progress.GetCancelButton());
    EXPECT_EQ(cancel.left, 7);
    EXPECT_EQ(cancel.top, 133);
    EXPECT_EQ(ClientRectOf(window, progress.GetProgressBar(1)).top, 63 + 49);
    EXPECT_EQ(Text(progress.GetActionControl(1)), L"Action");

    // Moved by the user, then a one-row job: same place, 119 high.
    SetWindowPos(window, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    progress.Show(&canceller, std::vector<ProgressWindow::Row>(1), owner.window);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 20);
    EXPECT_EQ(rect.top, 30);
    EXPECT_EQ(rect.bottom - rect.top, 119);
    EXPECT_EQ(progress.GetProgressBar(1), nullptr);
}

TEST(ProgressWindowTest, CancelCallsTheCancellerOnceAndCloseIsIgnored)
{
    Owner owner;
    ProgressWindow progress;
    CountingCanceller canceller;
    progress.Show(&canceller, std::vector<ProgressWindow::Row>(2), owner.window);
    HWND cancel = progress.GetCancelButton();
    SendMessageW(cancel, BM_CLICK, 0, 0);
    EXPECT_EQ(canceller.calls, 1);
    EXPECT_FALSE(IsWindowEnabled(cancel));
    SendMessageW(cancel, BM_CLICK, 0, 0);
    EXPECT_EQ(canceller.calls, 1);
    SendMessageW(progress.GetWindowHandle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(progress.GetWindowHandle()));
    // The next job has a live button again.
    progress.Show(&canceller, std::vector<ProgressWindow::Row>(2), owner.window);
    EXPECT_TRUE(IsWindowEnabled(progress.GetCancelButton()));
}

TEST(ProgressWindowTest, AWorkerReportsItsProgressAndIsCancelledFromTheButton)
{
    TestFrame frame;
    ProgressWindow& progress = frame->GetProgressWindow();
    auto task = std::make_shared<ReportingTask>(progress);
    ASSERT_TRUE(frame->RunTasks({task}, &frame.frame(), true));
    EXPECT_TRUE(IsWindowVisible(progress.GetWindowHandle()));
    ASSERT_TRUE(PumpUntil([&] { return Text(progress.GetDetailControl(1)) == L"\trow 7"; }));
    EXPECT_EQ(Text(progress.GetActionControl(0)), L"Action: Checking");
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(progress.GetProgressBar(0), PBM_GETPOS, 0, 0) == 40; }));
    EXPECT_EQ(Text(progress.GetDetailControl(0)), L"Detail");

    SendMessageW(progress.GetCancelButton(), BM_CLICK, 0, 0);
    EXPECT_TRUE(task->IsCancelled());
    EXPECT_TRUE(PumpUntil([&] { return !frame->GetJobRunner().IsRunning(); }));
    EXPECT_FALSE(IsWindowVisible(progress.GetWindowHandle()));
}

TEST(ProgressWindowTest, AFailingCancelReachesTheErrorDialog)
{
    struct ThrowingCanceller : JobCanceller
    {
        void Cancel() override { throw std::runtime_error("cancel failed"); }
    } canceller;
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    Owner owner;
    ProgressWindow progress;
    progress.Show(&canceller, std::vector<ProgressWindow::Row>(1), owner.window);
    SendMessageW(progress.GetCancelButton(), BM_CLICK, 0, 0);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::ErrorDialog);
    EXPECT_NE(prompts.asked()[0].text.find(L"cancel failed"), std::wstring::npos);
    EXPECT_NE(prompts.asked()[0].text.find(L"ProgressWindow failed to process message"), std::wstring::npos);
}

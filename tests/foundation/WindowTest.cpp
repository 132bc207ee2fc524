#include "support/WindowTesting.h"
#include "foundation/Errors.h"
#include "foundation/MessageTrail.h"
#include "foundation/Window.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace tamblewick_foundation_classes_v1_0;
using window_testing::TestClassName;

namespace {

// Records what reaches it; an optional action runs for every message first.
class RecordingWindow : public Window
{
public:
    explicit RecordingWindow(const wchar_t* name = L"TestWindow",
                             ErrorHandling handling = ErrorHandling::Full)
        : Window(name, handling)
    {
    }
    ~RecordingWindow() override { destroy_window(window_); }

    HWND Create(HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW)
    {
        window_ = create_window(0, TestClassName(), L"test", style, 0, 0, 200, 150, parent);
        return window_;
    }
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override
    {
        messages.push_back(message);
        if (action)
            action(window, message, wparam, lparam);
        return call_previous_proc(window, message, wparam, lparam);
    }
    using Window::destroy_window;

    HWND window_ = nullptr;
    std::vector<UINT> messages;
    std::function<void(HWND, UINT, WPARAM, LPARAM)> action;

    bool got(UINT message) const
    {
        for (UINT m : messages)
            if (m == message)
                return true;
        return false;
    }
};

constexpr UINT kThrowMessage = WM_COMMAND;

LRESULT CALLBACK pass_on_subclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                  DWORD_PTR)
{
    return DefSubclassProc(window, message, wparam, lparam);
}

// Throws `error` when the window gets kThrowMessage.
template <typename E> std::function<void(HWND, UINT, WPARAM, LPARAM)> thrower(E error)
{
    return [error](HWND, UINT message, WPARAM, LPARAM) {
        if (message == kThrowMessage)
            throw error;
    };
}

} // namespace

TEST(WindowBinding, CreatedWindowIsBoundBeforeItsFirstMessages)
{
    RecordingWindow object;
    HWND window = object.Create();
    ASSERT_TRUE(window);
    EXPECT_TRUE(object.got(WM_NCCREATE));
    EXPECT_TRUE(object.got(WM_CREATE));
    // A top-level window's first message comes before WM_NCCREATE.
    EXPECT_TRUE(object.got(WM_GETMINMAXINFO));
    EXPECT_EQ(Window::window_object(window), &object);

    object.messages.clear();
    SetWindowTextW(window, L"changed");
    EXPECT_TRUE(object.got(WM_SETTEXT));
    wchar_t text[32] = {};
    GetWindowTextW(window, text, 32);
    EXPECT_STREQ(text, L"changed"); // passed on to the previous procedure
}

TEST(WindowBinding, FailedCreationLeavesNoPendingBinding)
{
    RecordingWindow failed;
    try {
        failed.create_window(0, L"NoSuchClassAnywhere", L"", WS_POPUP, 0, 0, 10, 10, nullptr);
        FAIL() << "created a window of an unregistered class";
    } catch (const Win32Error& error) {
        EXPECT_EQ(error.function(), L"CreateWindowEx");
    }
    // A plain creation right after is not bound to the failed object.
    HWND plain = CreateWindowExW(0, TestClassName(), L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(plain);
    EXPECT_EQ(GetWindowLongPtrW(plain, GWLP_USERDATA), 0);
    EXPECT_TRUE(failed.messages.empty());
    DestroyWindow(plain);

    RecordingWindow next;
    HWND window = next.Create();
    EXPECT_EQ(Window::window_object(window), &next);
    EXPECT_TRUE(failed.messages.empty());
}

TEST(WindowBinding, CommonControlCreatedThroughTheHookIsBoundBeforeWmNcCreate)
{
    RecordingWindow parent(L"Parent");
    HWND frame = parent.Create();
    RecordingWindow tabs(L"MainTabCtrl");
    HWND control = tabs.create_window(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE, 0, 0,
                                      200, 100, frame);
    EXPECT_TRUE(tabs.got(WM_NCCREATE));
    EXPECT_EQ(Window::window_object(control), &tabs);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Tables");
    EXPECT_EQ(SendMessageW(control, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)), 0);
    EXPECT_EQ(SendMessageW(control, TCM_GETITEMCOUNT, 0, 0), 1); // the control's own procedure works
    tabs.destroy_window(control);
}

TEST(WindowBinding, NestedCreationBindsEachObject)
{
    RecordingWindow child(L"Child");
    RecordingWindow parent(L"Parent");
    parent.action = [&](HWND window, UINT message, WPARAM, LPARAM) {
        if (message == WM_CREATE)
            child.Create(window, WS_CHILD | WS_VISIBLE);
    };
    HWND window = parent.Create();
    ASSERT_TRUE(child.window_);
    EXPECT_EQ(Window::window_object(window), &parent);
    EXPECT_EQ(Window::window_object(child.window_), &child);
    EXPECT_TRUE(child.got(WM_NCCREATE));
    EXPECT_EQ(GetParent(child.window_), window);
}

TEST(WindowBinding, AttachKeepsTheFirstPreviousProcedureAndDetachRestoresIt)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit);
    LONG_PTR original = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    {
        RecordingWindow object;
        object.attach(edit);
        object.attach(edit); // must not make the object call itself
        SetWindowTextW(edit, L"abc");
        wchar_t text[16] = {};
        GetWindowTextW(edit, text, 16);
        EXPECT_STREQ(text, L"abc");
        EXPECT_TRUE(object.got(WM_SETTEXT));
        object.detach(edit);
        EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
        EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_USERDATA), 0);
        object.messages.clear();
        SetWindowTextW(edit, L"def");
        EXPECT_TRUE(object.messages.empty());
    }
    DestroyWindow(edit);
}

TEST(WindowBinding, DetachUnderAnotherSubclassStillReachesTheControl)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit);
    RecordingWindow object;
    object.attach(edit);
    // A tooltip's TTF_SUBCLASS puts a subclass like this one above ours.
    SUBCLASSPROC above = &pass_on_subclass;
    ASSERT_TRUE(SetWindowSubclass(edit, above, 1, 0));
    object.detach(edit);
    object.messages.clear();
    SetWindowTextW(edit, L"still an edit");
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"still an edit");
    EXPECT_TRUE(object.messages.empty());
    RemoveWindowSubclass(edit, above, 1);
    DestroyWindow(edit);
}

TEST(WindowBinding, ObjectDestroyedBeforeItsWindowLeavesNoDanglingBinding)
{
    HWND window = nullptr;
    {
        RecordingWindow object;
        window = object.Create();
        object.window_ = nullptr; // the owner forgets to destroy it
    }
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 0);
    SetWindowTextW(window, L"after"); // reaches DefWindowProcW, not the dead object
    EXPECT_THROW(Window::window_object(window), std::runtime_error);
    DestroyWindow(window);
}

TEST(WindowErrors, Win32ErrorAddsTheTrailLineAndShowsTheErrorDialog)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDCONTINUE);
    RecordingWindow object;
    HWND window = object.Create();
    object.action = thrower(Win32Error(5, L"CopyFile"));
    LRESULT result = SendMessageW(window, kThrowMessage, 40029, -5);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(prompts.asked().size(), 1u);
    const PromptRequest& request = prompts.asked()[0];
    EXPECT_EQ(request.kind, PromptKind::ErrorDialog);
    EXPECT_EQ(request.owner, window);
    const std::wstring& text = request.text;
    EXPECT_EQ(text.rfind(L"CopyFile reported error 5:\r\n  ", 0), 0u) << text;
    EXPECT_NE(text.find(L"\r\nTestWindow failed to process message 273 with params 40029, -5\r\n"),
              std::wstring::npos)
        << text;
    EXPECT_TRUE(thread_messages().empty());
    EXPECT_TRUE(IsWindow(window)); // Continue goes on
}

TEST(WindowErrors, EachKindOfExceptionHasItsOwnText)
{
    RecordingWindow object;
    HWND window = object.Create();
    {
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDOK);
        object.action = thrower(ManageableError(L"This table is a schema table.", L"Cannot delete row"));
        EXPECT_EQ(SendMessageW(window, kThrowMessage, 0, 0), 0);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].kind, PromptKind::MessageBox);
        EXPECT_EQ(prompts.asked()[0].text, L"This table is a schema table.");
        EXPECT_EQ(prompts.asked()[0].caption, L"Cannot delete row");
        EXPECT_TRUE(thread_messages().empty());
    }
    {
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDCONTINUE);
        object.action = thrower(std::runtime_error("plain failure"));
        // A wParam above 2^31 prints unsigned.
        SendMessageW(window, kThrowMessage, 0x80000001u, 7);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].text,
                  L"plain failure\r\nTestWindow failed to process message 273 with params 2147483649, 7\r\n");
    }
    {
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDCONTINUE);
        object.action = thrower(42);
        SendMessageW(window, kThrowMessage, 1, 2);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].text,
                  L"Unexpected error\r\nTestWindow failed to process message 273 with params 1, 2\r\n");
    }
}

TEST(WindowErrors, HandlingVariants)
{
    {
        // A ManageableError where the class has no handler of its own for it.
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDCONTINUE);
        RecordingWindow object(L"RowLinksWindow", ErrorHandling::NoManageable);
        HWND window = object.Create();
        object.action = thrower(ManageableError(L"m", L"c"));
        SendMessageW(window, kThrowMessage, 3, 4);
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(prompts.asked()[0].kind, PromptKind::ErrorDialog);
        EXPECT_EQ(prompts.asked()[0].text,
                  L"Unexpected error\r\nRowLinksWindow failed to process message 273 with params 3, 4\r\n");
    }
    {
        // Quiet: no prompt at all (TestMain fails the test on an unexpected one).
        RecordingWindow object(L"ErrorDialog", ErrorHandling::Quiet);
        HWND window = object.Create();
        object.action = thrower(Win32Error(5, L"X"));
        EXPECT_EQ(SendMessageW(window, kThrowMessage, 0, 0), 0);
        EXPECT_TRUE(IsWindow(window));
    }
}

TEST(WindowErrors, AbortClosesTheTopLevelWindowNotTheChild)
{
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDABORT);
    RecordingWindow top(L"Top");
    HWND frame = top.Create();
    RecordingWindow pane(L"Pane");
    HWND child = pane.Create(frame, WS_CHILD | WS_VISIBLE);
    bool frame_closed = false;
    top.action = [&](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_CLOSE)
            frame_closed = true;
    };
    pane.action = thrower(Win32Error(1, L"Y"));
    SendMessageW(child, kThrowMessage, 0, 0);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_TRUE(frame_closed);
    EXPECT_FALSE(pane.got(WM_CLOSE));
    // The frame's default WM_CLOSE destroyed it, and the pane with it: nothing is left half alive.
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_FALSE(IsWindow(child));
    top.window_ = nullptr;
    pane.window_ = nullptr;
}

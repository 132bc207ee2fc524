#pragma once
// Window objects bound to their window handles.
//
// A subclass overrides `window_proc`, handles the messages it wants and passes the rest on with
// `call_previous_proc`:
//
//     class PaneWindow : public tfc::Window {
//     public:
//         PaneWindow() : Window(L"PaneWindow") {}
//         ~PaneWindow() override { destroy_window(window_); }
//         void Create(HWND parent) {
//             tfc::register_window_class(L"PaneWindow");
//             window_ = create_window(0, L"PaneWindow", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent);
//         }
//         LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override {
//             switch (message) {
//             case WM_SIZE: return on_size(window, LOWORD(lparam), HIWORD(lparam));
//             }
//             return call_previous_proc(window, message, wparam, lparam);
//         }
//     private:
//         HWND window_ = nullptr;
//     };
//
// `create_window` binds the object before WM_NCCREATE; `attach` subclasses a window made elsewhere (a
// control). An exception thrown by `window_proc` is caught in one place and shown as the constructor's
// ErrorHandling says, with the constructor's name in the trail line; the message then counts as handled
// and the procedure returns 0. The object must outlive its window: destroy it with `destroy_window`, which
// detaches first, so that no message reaches a half-destroyed object.
#include "foundation/Errors.h" // also the tfc alias
#include "foundation/ProcedureErrors.h"

#include <windows.h>

namespace tamblewick_foundation_classes_v1_0 {

class WindowBase
{
public:
    virtual ~WindowBase() = default;
    virtual void attach(HWND window) = 0;
};

class Window : public WindowBase
{
public:
    // `name` goes in front of "failed to process message ..." trail lines; it must be a literal.
    explicit Window(const wchar_t* name, ErrorHandling handling = ErrorHandling::Full);
    // Detaches a window that is still bound to this object (it is not destroyed).
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Binds the window to this object: its procedure becomes the class library's, the one it replaced
    // is kept as the previous procedure (attaching twice keeps the first one).
    void attach(HWND window) override;
    // Puts the previous procedure back and unbinds the window.
    virtual void detach(HWND window);
    virtual LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) = 0;

    // CreateWindowExW with the new window bound to this object before its first message; WM_NCCREATE and
    // WM_CREATE have reached `window_proc` when it returns. A null `instance` means the program's module.
    // Failure throws Win32Error "CreateWindowEx".
    HWND create_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* title, DWORD style, int x,
                       int y, int width, int height, HWND parent, HMENU menu = nullptr,
                       HINSTANCE instance = nullptr, void* param = nullptr);

    // The object bound to a window; throws std::runtime_error when there is none.
    static Window* window_object(HWND window);

    const wchar_t* error_name() const { return name_; }
    ErrorHandling error_handling() const { return handling_; }

protected:
    // What `window_proc` returns for messages it leaves alone.
    LRESULT call_previous_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // Detaches, then DestroyWindow; the handle becomes null. A null handle is ignored.
    void destroy_window(HWND& window);
    // Binds the next window that this thread creates whose class is `class_name` (null: any window).
    // create_window does this itself; it is for windows made by other calls.
    void install_creation_hook(const wchar_t* class_name = nullptr);
    // Drops this thread's pending binding, if any is left.
    static void remove_creation_hook();

private:
    static LRESULT CALLBACK static_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    static LRESULT CALLBACK window_creation_hook(int code, WPARAM wparam, LPARAM lparam);

    WNDPROC previous_proc_ = nullptr;
    HWND attached_ = nullptr; // the last window bound, for the destructor's safety net
    const wchar_t* name_;
    ErrorHandling handling_;
};

// A window class with DefWindowProcW as its procedure, the program's module, the COLOR_BTNFACE brush and
// the given cursor and icon. Returns 0 when registration fails (a second registration does); callers that
// register on every creation ignore that.
ATOM register_window_class(const wchar_t* class_name, const wchar_t* cursor = IDC_ARROW, HICON icon = nullptr,
                           UINT style = 0);

} // namespace tamblewick_foundation_classes_v1_0

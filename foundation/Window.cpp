#include "foundation/Window.h"
#include "foundation/Errors.h"

#include <cwchar>
#include <stdexcept>

namespace tamblewick_foundation_classes_v1_0 {
namespace {

// The binding a thread asked for and has not yet seen created. Only its own thread touches it.
struct PendingWindow
{
    HHOOK hook;
    Window* object;
    const wchar_t* class_name;
};
thread_local PendingWindow t_pending = {nullptr, nullptr, nullptr};

// The procedure a bound window had before; kept on the window too, so that a window detached while
// another subclass sits above ours still reaches its own procedure.
const wchar_t kPreviousProcProperty[] = L"tfc_previous_proc";

// The creation the request was made for. A thread's first top-level window also brings the default IME
// window into being, and other creations may come first; the class name tells them apart.
bool is_requested_class(const wchar_t* wanted, const CBT_CREATEWNDW* creation)
{
    const wchar_t* created = creation && creation->lpcs ? creation->lpcs->lpszClass : nullptr;
    if (!wanted || !created)
        return true;
    if (IS_INTRESOURCE(wanted) || IS_INTRESOURCE(created))
        return !IS_INTRESOURCE(wanted) || !IS_INTRESOURCE(created) || wanted == created;
    if (lstrcmpiW(wanted, created) == 0)
        return true;
    // A class of a side-by-side library may come with its version in front: "6.0.2600.0!SysTabControl32".
    const wchar_t* bang = wcsrchr(created, L'!');
    return bang && lstrcmpiW(wanted, bang + 1) == 0;
}

} // namespace

Window::Window(const wchar_t* name, ErrorHandling handling) : name_(name), handling_(handling) {}

Window::~Window()
{
    if (t_pending.object == this)
        remove_creation_hook();
    if (attached_ && IsWindow(attached_) &&
        GetWindowLongPtrW(attached_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        Window::detach(attached_);
}

void Window::attach(HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    auto replaced = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&static_window_proc)));
    if (replaced != &static_window_proc) {
        previous_proc_ = replaced;
        SetPropW(window, kPreviousProcProperty, reinterpret_cast<HANDLE>(replaced));
    } else if (!previous_proc_) {
        // Bound to another object before: take over its previous procedure.
        previous_proc_ = reinterpret_cast<WNDPROC>(GetPropW(window, kPreviousProcProperty));
    }
    attached_ = window;
}

void Window::detach(HWND window)
{
    if (!window)
        return;
    auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (current == &static_window_proc && previous_proc_) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_proc_));
        RemovePropW(window, kPreviousProcProperty);
    }
    // Otherwise a later subclass still calls ours: it finds no object and goes on to the property.
    if (GetWindowLongPtrW(window, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (attached_ == window)
        attached_ = nullptr;
}

HWND Window::create_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* title, DWORD style,
                           int x, int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                           void* param)
{
    if (!instance)
        instance = GetModuleHandleW(nullptr);
    install_creation_hook(class_name);
    HWND window = CreateWindowExW(ex_style, class_name, title, style, x, y, width, height, parent, menu,
                                  instance, param);
    DWORD error = GetLastError();
    // A creation that failed before the hook saw it leaves the request behind; the next window made on
    // this thread (often the error dialog that reports this failure) must not be bound to this object.
    remove_creation_hook();
    if (!window)
        throw Win32Error(error, L"CreateWindowEx");
    // Should the hook not have recognised the creation, bind late rather than leave the window unbound.
    if (GetWindowLongPtrW(window, GWLP_USERDATA) != reinterpret_cast<LONG_PTR>(this))
        attach(window);
    return window;
}

Window* Window::window_object(HWND window)
{
    auto* object = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object)
        throw std::runtime_error("Window::window_object: Invalid pointer attached to window");
    return object;
}

LRESULT Window::call_previous_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (!previous_proc_)
        return DefWindowProcW(window, message, wparam, lparam);
    return CallWindowProcW(previous_proc_, window, message, wparam, lparam);
}

void Window::destroy_window(HWND& window)
{
    HWND doomed = window;
    window = nullptr;
    if (!doomed)
        return;
    detach(doomed);
    DestroyWindow(doomed);
}

void Window::install_creation_hook(const wchar_t* class_name)
{
    remove_creation_hook();
    HHOOK hook = SetWindowsHookExW(WH_CBT, &window_creation_hook, nullptr, GetCurrentThreadId());
    if (!hook)
        throw_last_error(L"SetWindowsHookEx");
    t_pending = {hook, this, class_name};
}

void Window::remove_creation_hook()
{
    HHOOK hook = t_pending.hook;
    t_pending = {nullptr, nullptr, nullptr};
    if (hook)
        UnhookWindowsHookEx(hook);
}

LRESULT CALLBACK Window::window_creation_hook(int code, WPARAM wparam, LPARAM lparam)
{
    PendingWindow pending = t_pending;
    if (!pending.object)
        return CallNextHookEx(nullptr, code, wparam, lparam);
    if (code == HCBT_CREATEWND &&
        is_requested_class(pending.class_name, reinterpret_cast<CBT_CREATEWNDW*>(lparam))) {
        // Consumed before attach: a window created from inside this creation makes its own request.
        t_pending = {nullptr, nullptr, nullptr};
        UnhookWindowsHookEx(pending.hook);
        try {
            pending.object->attach(reinterpret_cast<HWND>(wparam));
        } catch (...) {
            // Unbound, the window would reach no object: refuse its creation, so create_window throws.
            return 1;
        }
    }
    return CallNextHookEx(pending.hook, code, wparam, lparam);
}

LRESULT CALLBACK Window::static_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* object = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object) {
        auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kPreviousProcProperty));
        if (message == WM_NCDESTROY)
            RemovePropW(window, kPreviousProcProperty);
        if (previous && previous != &static_window_proc)
            return CallWindowProcW(previous, window, message, wparam, lparam);
        return DefWindowProcW(window, message, wparam, lparam);
    }
    if (message == WM_NCDESTROY)
        RemovePropW(window, kPreviousProcProperty);
    try {
        return object->window_proc(window, message, wparam, lparam);
    } catch (...) {
        report_procedure_error(window, object->name_, object->handling_, message, wparam, lparam);
        return 0;
    }
}

ATOM register_window_class(const wchar_t* class_name, const wchar_t* cursor, HICON icon, UINT style)
{
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.style = style;
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = icon;
    window_class.hCursor = cursor ? LoadCursorW(nullptr, cursor) : nullptr;
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = class_name;
    return RegisterClassExW(&window_class);
}

} // namespace tamblewick_foundation_classes_v1_0

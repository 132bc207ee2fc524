#include "GridTesting.h"

#include <gtest/gtest.h>
#include <msiquery.h>
#include <vector>

namespace grid_testing {
namespace {

std::function<bool()> g_step;
bool g_finished = false;

void CALLBACK Drive(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_finished || !g_step)
        return;
    // The step may open nested loops of its own; it must not run again inside them.
    auto step = g_step;
    g_finished = true;
    g_finished = step();
}

INPUT KeyInput(WORD key, bool up)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

} // namespace

void PumpPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

ListHost::ListHost()
{
    static ATOM atom = [] {
        WNDCLASSEXW window_class = {};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &ListHost::HostProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        window_class.lpszClassName = L"GridTestHost";
        return RegisterClassExW(&window_class);
    }();
    (void)atom;
    window_ = CreateWindowExW(0, L"GridTestHost", L"Grid test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              600, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    list_ = std::make_unique<ObjectWindow>();
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(list_.get()));
    list_->Create(window_, nullptr);
    RECT client = {};
    GetClientRect(window_, &client);
    MoveWindow(list_->GetWindowHandle(), 0, 0, client.right, client.bottom, TRUE);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    Activate();
}

ListHost::~ListHost()
{
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    list_.reset();
    DestroyWindow(window_);
    PumpPending();
}

void ListHost::Activate()
{
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
    SetFocus(list_->GetWindowHandle());
    PumpPending();
}

LRESULT CALLBACK ListHost::HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    auto* list = reinterpret_cast<ObjectWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (list && message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == list->GetWindowHandle()) {
            try {
                return list->OnNotify(header);
            } catch (const std::exception& error) {
                ADD_FAILURE() << "OnNotify threw: " << error.what();
            } catch (...) {
                ADD_FAILURE() << "OnNotify threw";
            }
            return 0;
        }
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

ModalDriver::ModalDriver(std::function<bool()> step)
{
    g_step = std::move(step);
    g_finished = false;
    timer_ = SetTimer(nullptr, 0, 30, &Drive);
}

ModalDriver::~ModalDriver()
{
    KillTimer(nullptr, timer_);
    g_step = nullptr;
}

bool ModalDriver::finished() const
{
    return g_finished;
}

void PressKey(WORD key, bool control, bool shift)
{
    std::vector<INPUT> inputs;
    if (control)
        inputs.push_back(KeyInput(VK_CONTROL, false));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(key, false));
    inputs.push_back(KeyInput(key, true));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, true));
    if (control)
        inputs.push_back(KeyInput(VK_CONTROL, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    PumpPending();
}

void TypeText(const std::wstring& text)
{
    std::vector<INPUT> inputs;
    for (wchar_t c : text) {
        for (bool up : {false, true}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    PumpPending();
}

void ClickAt(HWND window, POINT client_point, bool twice)
{
    POINT screen = client_point;
    ClientToScreen(window, &screen);
    int width = GetSystemMetrics(SM_CXSCREEN) - 1;
    int height = GetSystemMetrics(SM_CYSCREEN) - 1;
    std::vector<INPUT> inputs;
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = screen.x * 65535 / width;
    move.mi.dy = screen.y * 65535 / height;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs.push_back(move);
    for (int i = 0; i < (twice ? 2 : 1); ++i) {
        INPUT down = move;
        down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
        INPUT up = move;
        up.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
        inputs.push_back(down);
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    PumpPending();
}

OpenPackage::OpenPackage(const std::wstring& name, bool read_only) : read_only_(read_only)
{
    std::wstring source = testing_support::TestDataPath(name);
    if (source.empty())
        return;
    path_ = folder_.copy_in(source, name);
    file_ = std::make_unique<MsiFile>();
    file_->Open(path_, read_only ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
}

MsiTable& OpenPackage::table(const std::wstring& name)
{
    MsiTableRef table = file_->FindTable(name);
    if (!table)
        throw std::runtime_error("no such table in the test package");
    return *table;
}

void OpenPackage::SaveAndReopen()
{
    file_->SaveInPlace(false, std::wstring());
    file_.reset();
    file_ = std::make_unique<MsiFile>();
    file_->Open(path_, read_only_ ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
}

RowIterator FindRowByKey(MsiTable& table, const std::wstring& key)
{
    for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
        if (table.RowKeyText(*row) == key)
            return row;
    }
    return table.rows().end();
}

} // namespace grid_testing

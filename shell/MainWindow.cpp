#include "shell/MainWindow.h"

#include "foundation/Dpi.h"
#include "foundation/CmdLine.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/ErrorDialog.h"
#include "foundation/MessageTrail.h"
#include "foundation/Prompt.h"
#include "foundation/SettingsKey.h"
#include "resources/ShellIds.h"
#include "shell/SaveNames.h"
#include "shell/TreeImages.h"
#include "validation/ValidationWindow.h"

#include <set>
#include <shellapi.h>
#include <stdexcept>

namespace {

const wchar_t kFrameClass[] = L"Tamblewick_MainWindow";
const wchar_t kAppTitle[] = L"Dravnetta - Varnock";
const wchar_t kPlacementValue[] = L"WindowPlacement";

} // namespace

// jobs_ only keeps a reference to runner_, which is made after it.
MainWindow::MainWindow()
    : Window(L"MainWindow"), tabs_(this), splitter_(false), find_(*this), jobs_(runner_, progress_)
{
    mru_key_.create(HKEY_CURRENT_USER, SettingsKeyPath() + L"\\MRU", REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS);
}

MainWindow::~MainWindow()
{
    find_.Destroy();
    if (frame_ && IsWindow(frame_))
        destroy_window(frame_);
    for (auto& entry : accelerators_)
        DestroyAcceleratorTable(entry.second);
    if (images_)
        ImageList_Destroy(images_);
}

int MainWindow::Run()
{
    Create();
    return MessageLoop();
}

void MainWindow::Create()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszMenuName = MAKEINTRESOURCEW(IDR_MAIN_MENU);
    window_class.lpszClassName = kFrameClass;
    // A frame made again in the same run (tests) finds its class there.
    if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        tfc::throw_last_error(L"RegisterClassEx");
    // Held until the command line is open: an open it began and nobody took is closed then.
    std::shared_ptr<void> prepared = PrepareCommandLineDocument();
    create_window(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, kFrameClass, kAppTitle,
                  WS_OVERLAPPEDWINDOW, 100, 100, 800, 600, nullptr);
    if (maximise_after_create_)
        ShowWindow(frame_, SW_SHOWMAXIMIZED);
    maximise_after_create_ = false;
    if (!accelerators_.count(frame_))
        accelerators_[frame_] = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
}

void MainWindow::SetCommandLine(const std::wstring& command_line)
{
    command_line_ = command_line;
    has_command_line_ = true;
}

std::shared_ptr<void> MainWindow::PrepareCommandLineDocument()
{
    if (!document_preparer_)
        return nullptr;
    std::vector<std::wstring> paths =
        CommandLinePaths(has_command_line_ ? command_line_.c_str() : GetCommandLineW());
    // Transforms ask for their base and patches for a folder first; several files open one by one.
    if (paths.size() != 1 || HasExtension(paths[0], L".mst") || HasExtension(paths[0], L".msp"))
        return nullptr;
    try {
        // The name the tab will open it by.
        return document_preparer_(FullPathOf(paths[0]));
    } catch (const tfc::Win32Error&) {
        return nullptr; // opened the ordinary way, which reports the failure
    }
}

std::vector<std::wstring> MainWindow::CommandLinePaths(const wchar_t* command_line)
{
    ::CmdLine parser;
    parser.parse(command_line, true);
    return parser.paths;
}

LRESULT MainWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_SIZE:
        OnSize(static_cast<UINT>(wparam), LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_ACTIVATE:
        if (OnActivate(LOWORD(wparam)))
            return 0;
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == log_tabs_.GetWindowHandle() && header->code == TCN_SELCHANGE) {
            log_tabs_.OnSelectionChange();
            return 0;
        }
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (wparam == VK_CONTROL && tabs_.IsCycling())
            tabs_.CommitTabOrder();
        break;
    case WM_COMMAND:
        if (HIWORD(wparam) == 0 || HIWORD(wparam) == 1) {
            OnCommand(LOWORD(wparam));
            return 0;
        }
        break;
    case WM_INITMENU:
        OnInitMenu(reinterpret_cast<HMENU>(wparam));
        return 0;
    case WM_MENUCOMMAND:
        OnMenuCommand(reinterpret_cast<HMENU>(lparam), static_cast<UINT>(wparam));
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wparam));
        return 0;
    case JobControl::kJobsFinished:
        return jobs_.OnJobsFinished(lparam);
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void MainWindow::OnCreate(HWND window)
{
    frame_ = window;
    jobs_.SetFrame(frame_);
    BuildImageList();
    RECT client = {};
    GetClientRect(frame_, &client);
    int width = client.right, height = client.bottom;
    auto px = [this](int value) { return tfc::scale_for(frame_, value); };
    int split = (4 * height - px(60)) / 5;
    tabs_.Create(frame_, px(5), px(5), width - px(15), split - px(10));
    log_tabs_.Create(this, frame_, px(5), split, width - px(10), height - px(5) - split);
    // Row trees hold nodes made from the row references: turning tracking off rebuilds them without.
    log_tabs_.RowLinksPane().SetTrackingChangedHandler(
        [](EditableMsiFileTab& tab, bool on) { tab.RebuildRelationTrees(on); });
    splitter_.Create(frame_, {tabs_.GetWindowHandle()}, {log_tabs_.GetWindowHandle()});
    status_bar_ =
        CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_TOOLTIPS | SBARS_SIZEGRIP, 0,
                        0, 0, 0, frame_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!status_bar_)
        tfc::throw_last_error(L"CreateWindowEx");
    find_dialog_ = find_.Create(frame_);

    MENUINFO menu_info = {};
    menu_info.cbSize = sizeof(menu_info);
    menu_info.fMask = MIM_APPLYTOSUBMENUS | MIM_STYLE | MIM_MENUDATA;
    menu_info.dwStyle = MNS_NOTIFYBYPOS;
    menu_info.dwMenuData = 0;
    if (!SetMenuInfo(GetMenu(frame_), &menu_info))
        tfc::throw_last_error(L"SetMenuInfo");
    DragAcceptFiles(frame_, TRUE);
    std::vector<std::wstring> paths =
        CommandLinePaths(has_command_line_ ? command_line_.c_str() : GetCommandLineW());
    SetFocus(log_tabs_.GetWindowHandle());
    RestorePlacement();
    // Before the files: an opened document's path and table count stay on show.
    SetStatusParts({});
    OpenFiles(paths, false);
}

std::vector<FindableDocument*> MainWindow::GetFindDocuments()
{
    std::vector<FindableDocument*> documents;
    for (const std::shared_ptr<MDIChild>& document : tabs_.Documents())
        documents.push_back(dynamic_cast<FindableDocument*>(document.get()));
    return documents;
}

int MainWindow::GetActiveFindDocument()
{
    return tabs_.IndexOfDocument(tabs_.CurrentTab());
}

void MainWindow::SelectFindDocument(int index)
{
    tabs_.SelectTab(index);
}

void MainWindow::BuildImageList()
{
    images_ = CreateTreeImageList(GetModuleHandleW(nullptr), IDI_TREE_FIRST, IDI_TREE_COUNT, 16);
}

void MainWindow::RestorePlacement()
{
    WINDOWPLACEMENT placement = {};
    DWORD size = sizeof(placement);
    bool valid = false;
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr, 0, KEY_READ,
                                  nullptr, &key, nullptr);
    tfc::check_status(status, L"RegCreateKeyEx");
    DWORD type = 0;
    valid = RegQueryValueExW(key, kPlacementValue, nullptr, &type, reinterpret_cast<BYTE*>(&placement),
                             &size) == ERROR_SUCCESS &&
            type == REG_BINARY && size == sizeof(placement);
    RegCloseKey(key);
    if (!valid) {
        ShowWindow(frame_, SW_SHOW);
        return;
    }
    placement.length = sizeof(placement);
    placement.flags = WPF_RESTORETOMAXIMIZED;
    // A frame never starts minimised or hidden. A maximised one is put on its normal rectangle while
    // hidden and maximised once creation is over: maximised during WM_CREATE, the creation maximises it
    // again and takes the maximised rectangle for the normal one, so restoring would not shrink it.
    bool maximised = placement.showCmd == SW_SHOWMAXIMIZED;
    placement.showCmd = maximised ? SW_HIDE : SW_SHOWNORMAL;
    if (!SetWindowPlacement(frame_, &placement))
        ShowWindow(frame_, SW_SHOW);
    else
        maximise_after_create_ = maximised;
}

void MainWindow::SavePlacement()
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, nullptr, 0,
                                  KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    tfc::check_status(status, L"RegCreateKeyEx");
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof(placement);
    if (GetWindowPlacement(frame_, &placement))
        RegSetValueExW(key, kPlacementValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&placement),
                       sizeof(placement));
    RegCloseKey(key);
}

void MainWindow::Layout(int width, int status_top, int split)
{
    auto px = [this](int value) { return tfc::scale_for(frame_, value); };
    MoveWindow(tabs_.GetWindowHandle(), px(5), px(5), width - px(15), split - px(10), TRUE);
    MoveWindow(log_tabs_.GetWindowHandle(), px(5), split, width - px(10), status_top - px(5) - split, TRUE);
    MoveWindow(splitter_.bar(), px(5), split - px(5), width - px(15), px(5), TRUE);
}

void MainWindow::OnSize(UINT kind, int width, int height)
{
    if (!status_bar_)
        return;
    SendMessageW(status_bar_, WM_SIZE, kind, MAKELPARAM(width, height));
    RECT status = {};
    GetWindowRect(status_bar_, &status);
    MapWindowPoints(nullptr, frame_, reinterpret_cast<POINT*>(&status), 2);
    InvalidateRect(status_bar_, nullptr, TRUE);
    int status_height = status.bottom - status.top;
    int split = (4 * (height - status_height) - tfc::scale_for(frame_, 60)) / 5;
    Layout(width, status.top, split);
    // The parts keep their percentages; a minimised frame has no width to share out.
    if (kind != SIZE_MINIMIZED && width > 0)
        ApplyStatusParts();
}

bool MainWindow::OnActivate(WORD state)
{
    if (state == WA_INACTIVE) {
        last_focus_ = GetFocus();
        return false;
    }
    if (!last_focus_)
        return false;
    SetFocus(IsWindow(last_focus_) ? last_focus_ : log_tabs_.GetWindowHandle());
    return true;
}

void MainWindow::SetTitle(const std::wstring& document_title)
{
    std::wstring title = document_title.empty() ? kAppTitle : document_title + L" - " + kAppTitle;
    SetWindowTextW(frame_, title.c_str());
}

void MainWindow::SetStatusText(const std::wstring& text, int part)
{
    SendMessageW(status_bar_, SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(status_bar_, SB_SETTIPTEXTW, part, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::SetStatusParts(const std::vector<int>& percentages)
{
    status_parts_ = percentages.empty() ? std::vector<int>{100} : percentages;
    ApplyStatusParts();
}

void MainWindow::ApplyStatusParts()
{
    RECT client = {};
    GetClientRect(frame_, &client);
    std::vector<int> edges;
    int edge = 0;
    for (int percentage : status_parts_) {
        edge += client.right * percentage / 100;
        edges.push_back(edge);
    }
    SendMessageW(status_bar_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void MainWindow::SetDocumentAccelerators(HWND window, HACCEL table)
{
    // The loader may hand every document the same table (one handle per resource): the other windows'
    // entries go whatever their table, a table is destroyed only when it is not the one coming in.
    std::set<HACCEL> destroyed;
    for (auto it = accelerators_.begin(); it != accelerators_.end();) {
        if (it->first == frame_) {
            ++it;
            continue;
        }
        if (it->second && it->second != table && destroyed.insert(it->second).second)
            DestroyAcceleratorTable(it->second);
        it = accelerators_.erase(it);
    }
    accelerators_[window] = table;
}

int MainWindow::MessageLoop()
{
    if (!accelerators_.count(frame_))
        accelerators_[frame_] =
            LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    MSG message;
    BOOL result;
    // -1 is an error, not a message: only a positive result goes on.
    while ((result = GetMessageW(&message, nullptr, 0, 0)) > 0)
        ProcessMessage(message);
    return result;
}

void MainWindow::ProcessMessage(MSG& message)
{
    if ((message.message == WM_KEYUP || message.message == WM_SYSKEYUP) && message.wParam == VK_CONTROL &&
        frame_)
        SendMessageW(frame_, message.message, message.wParam, message.lParam);
    for (const auto& entry : accelerators_) {
        if (entry.second && TranslateAcceleratorW(entry.first, entry.second, &message))
            return;
    }
    if (find_dialog_ && IsDialogMessageW(find_dialog_, &message))
        return;
    bool enter_or_escape =
        message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
    // A menu key sent to a hidden control makes the dialog manager search the visible controls for the
    // way back to it, forever: such a message goes its plain way.
    bool hidden = message.hwnd && !IsWindowVisible(message.hwnd);
    if (!enter_or_escape && !hidden && frame_ && IsDialogMessageW(frame_, &message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void MainWindow::OnClose()
{
    if (!tabs_.CanCloseAll())
        return;
    if (IsWindowVisible(frame_))
        SavePlacement();
    PostQuitMessage(0);
    destroy_window(frame_);
}

const ValidationStore* MainWindow::GetValidationResults()
{
    if (!log_tabs_.GetWindowHandle())
        return nullptr;
    ValidationWindow& pane = log_tabs_.Validation();
    return pane.GetWindowHandle() ? &pane.Store() : nullptr;
}

RowLinksPane* MainWindow::GetRowLinksPane()
{
    if (!log_tabs_.GetWindowHandle())
        return nullptr;
    RowLinksWindow& pane = log_tabs_.RowLinksPane();
    return pane.GetWindowHandle() ? &pane : nullptr;
}

bool MainWindow::RunTasks(const JobRunner::Tasks& tasks, JobNotificationSubscriber* subscriber, bool threaded)
{
    return jobs_.RunTasks(tasks, subscriber, threaded);
}

void MainWindow::JobsFinished(JobRunner& runner)
{
    jobs_.JobsFinished(runner);
}

void MainWindow::Cancel()
{
    jobs_.Cancel();
}

#include "shell/MsiFileTabBase.h"

#include "foundation/Dpi.h"
#include "foundation/FileUtil.h"
#include "foundation/Format.h"
#include "foundation/NoRedraw.h"
#include "foundation/Prompt.h"
#include "model/MsiFile.h"
#include "resources/ShellIds.h"
#include "shell/HelpPage.h"
#include "shell/MDITabsParent.h"
#include "shell/MainWindow.h"
#include "validation/ValidationWindow.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/RowTrees.h"

#include <algorithm>
#include <commctrl.h>

namespace {

const wchar_t kTabClass[] = L"MsiFileTabBase";

const wchar_t* const kPageTables[MainTabCtrl::PAGE_COUNT] = {L"", L"Dialog", L"Component", L"Feature"};

} // namespace

MsiFileTabBase::MsiFileTabBase(const wchar_t* error_name, MDITabsParent* owner, StatusBarManager* status,
                               bool read_only)
    : Window(error_name), TableViewsTab(read_only), owner_(owner), view_tabs_(this), status_(status),
      splitter_(true)
{
}

MsiFileTabBase::~MsiFileTabBase()
{
    // The tree items go while their nodes and the list they fill are alive.
    ClearTrees();
    destroy_window(window_);
}

void MsiFileTabBase::ClearTrees()
{
    closing_ = true;
    // The Tables tree too: a `_Streams` lookup unsubscribes from its tables when it goes, so it must go
    // while they are alive.
    for (int page = MainTabCtrl::PAGE_COUNT - 1; page >= 0; --page) {
        view_tabs_.GetPage(page).Clear();
        row_roots_[page] = tfc::RefersTo<RowElementNode>();
    }
}

void MsiFileTabBase::Create(HWND parent, int x, int y, int width, int height)
{
    // Registered for every tab; every registration after the first fails, which is fine.
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.hIcon = LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kTabClass;
    RegisterClassExW(&window_class);
    // Children clipped: erasing the tab's background must not wipe controls that are not repainted.
    create_window(WS_EX_CONTROLPARENT, kTabClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width,
                  height, parent);
}

LRESULT MsiFileTabBase::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        CreateControls(window);
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        if (header->hwndFrom == list_.GetWindowHandle())
            return list_.OnNotify(header);
        if (header->hwndFrom == view_tabs_.GetWindowHandle())
            return ShowView(header);
        break;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wparam) == list_.GetWindowHandle())
            return list_.OnContextMenu(static_cast<short>(LOWORD(lparam)),
                                       static_cast<short>(HIWORD(lparam)));
        break;
    case WM_COMMAND:
        if (HIWORD(wparam) == 0 || HIWORD(wparam) == 1) {
            if (lparam && reinterpret_cast<HWND>(lparam) == check_box_)
                OnShowEmptyTables();
            else
                OnCommand(nullptr, LOWORD(wparam));
            return 0;
        }
        break;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void MsiFileTabBase::CreateControls(HWND window)
{
    window_ = window;
    check_box_ = CreateWindowExW(0, WC_BUTTONW, L"Show empty tables",
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0, 0, 0, window,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!check_box_)
        tfc::throw_last_error(L"CreateWindowEx");
    SendMessageW(check_box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    view_tabs_.Create(window);
    MainWindow* frame = GetMainWindow();
    list_.Create(window, frame ? frame->GetImageList() : nullptr);
    Layout();
    splitter_.Create(window, {view_tabs_.GetWindowHandle()}, {list_.GetWindowHandle()});
    SetFocus(view_tabs_.GetPage(MainTabCtrl::TABLES).GetWindow());
}

void MsiFileTabBase::ShowFirstTable()
{
    HWND tree = view_tabs_.GetPage(MainTabCtrl::TABLES).GetWindow();
    if (!tree || SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0))
        return;
    if (auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)))
        SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(first));
}

void MsiFileTabBase::Layout()
{
    if (!window_)
        return;
    RECT client = {};
    GetClientRect(window_, &client);
    int width = client.right, height = client.bottom;
    auto px = [this](int value) { return tfc::scale_for(window_, value); };
    int tree_column = (width - px(15)) / 4;
    // No wider than twenty m's in the tree's font.
    HWND tree = view_tabs_.GetPage(MainTabCtrl::TABLES).GetWindow();
    if (HDC dc = GetDC(tree)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(tree, WM_GETFONT, 0, 0)));
        SIZE text = {};
        if (GetTextExtentPoint32W(dc, L"mmmmmmmmmmmmmmmmmmmm", 20, &text) && text.cx < tree_column)
            tree_column = text.cx;
        SelectObject(dc, old);
        ReleaseDC(tree, dc);
    }
    MoveWindow(view_tabs_.GetWindowHandle(), px(5), 0, tree_column - px(5), height - px(30), TRUE);
    MoveWindow(check_box_, px(5), height - px(25), CheckBoxWidth(), px(20), TRUE);
    MoveWindow(list_.GetWindowHandle(), tree_column + px(5), 0, width - px(5) - (tree_column + px(5)),
               height - px(5), TRUE);
    if (splitter_.bar())
        MoveWindow(splitter_.bar(), tree_column, 0, px(5), height, TRUE);
    // A list grown with the frame (maximised) and the moved check box are drawn whole at once, not only
    // when next clicked.
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

int MsiFileTabBase::CheckBoxWidth() const
{
    // Wide enough for its text in its font, besides the box itself.
    int width = tfc::scale_for(window_, 120);
    wchar_t text[128] = {};
    int length = GetWindowTextW(check_box_, text, 128);
    if (HDC dc = GetDC(check_box_)) {
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(check_box_, WM_GETFONT, 0, 0)));
        SIZE extent = {};
        if (GetTextExtentPoint32W(dc, text, length, &extent))
            width = std::max(width, static_cast<int>(extent.cx) + GetSystemMetrics(SM_CXMENUCHECK) +
                                        tfc::scale_for(window_, 12));
        SelectObject(dc, old);
        ReleaseDC(check_box_, dc);
    }
    return width;
}

LRESULT MsiFileTabBase::ShowView(NMHDR* header)
{
    if (header->code == TCN_SELCHANGING) {
        view_tabs_.HidePage(view_tabs_.CurrentPage());
        return FALSE;
    }
    if (header->code != TCN_SELCHANGE)
        return 0;
    int page = view_tabs_.CurrentPage();
    view_tabs_.ShowPage();
    ShowWindow(list_.GetWindowHandle(), SW_SHOW);
    ShowWindow(check_box_, page == MainTabCtrl::TABLES ? SW_SHOW : SW_HIDE);
    if (page > MainTabCtrl::TABLES && page < MainTabCtrl::PAGE_COUNT &&
        !view_tabs_.GetPage(page).Root()->HasChildren())
        FillTreeView(page, kPageTables[page]);
    if (page > MainTabCtrl::TABLES && page < MainTabCtrl::PAGE_COUNT) {
        // A row page with nothing selected shows nothing of what another page showed, and the status bar
        // goes back to the document's own text.
        if (!view_tabs_.GetPage(page).GetSelectedNode()) {
            list_.SetHandler(nullptr, {}, 0, -1, 0);
            // The header keeps drawing the columns it lost until it is painted again.
            RedrawWindow(list_.GetWindowHandle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            if (auto* pane = GetRowLinksPane())
                pane->ShowRowLinks(nullptr, RowIterator());
        }
        UpdateStatusBar();
    }
    return 0;
}

HWND MsiFileTabBase::MainControl()
{
    int page = view_tabs_.CurrentPage();
    if (page < 0 || page >= MainTabCtrl::PAGE_COUNT)
        page = MainTabCtrl::TABLES;
    return view_tabs_.GetPage(page).GetWindow();
}

void MsiFileTabBase::SelectView(int page)
{
    NMHDR header = {view_tabs_.GetWindowHandle(), 0, static_cast<UINT>(TCN_SELCHANGING)};
    ShowView(&header);
    view_tabs_.SetCurrentPage(page);
    header.code = TCN_SELCHANGE;
    ShowView(&header);
    SetFocus(view_tabs_.GetPage(page).GetWindow());
}

void MsiFileTabBase::FillTreeView(int page, const std::wstring& table_name)
{
    if (!FindTableNode(table_name) || !GetMsiFile().FindTable(table_name))
        return;
    TreeView& tree = view_tabs_.GetPage(page);
    {
        NoRedraw quiet(tree.GetWindow());
        row_roots_[page] = ::FillTreeView(*this, tree, table_name);
    }
    list_.SetItemCount(0);
}

void MsiFileTabBase::RebuildRelationTrees(bool tracking_on)
{
    if (tracking_on)
        return;
    int current = view_tabs_.CurrentPage();
    if (current != MainTabCtrl::TABLES)
        list_.SetHandler(nullptr, {}, 0, -1, 0);
    for (int page : {MainTabCtrl::COMPONENTS, MainTabCtrl::DIALOGS, MainTabCtrl::FEATURES}) {
        view_tabs_.GetPage(page).Root()->RemoveAllChildren();
        row_roots_[page] = tfc::RefersTo<RowElementNode>();
        if (page == current)
            FillTreeView(page, kPageTables[page]);
    }
}

std::wstring MsiFileTabBase::GetTitle()
{
    if (title_.empty()) {
        title_ = FileNameOf(GetPath());
        if (IsDirty())
            title_ += L"*";
        if (read_only_)
            title_ += L" (Read only)";
    }
    return title_;
}

void MsiFileTabBase::UpdateTabText()
{
    title_.clear();
    std::wstring title = GetTitle();
    if (owner_)
        owner_->SetTabText(this, title);
}

void MsiFileTabBase::SetDirty(bool dirty)
{
    // The title is rebuilt from the state rather than edited: a read-only suffix stays last.
    HasDirtyFlag::SetDirty(dirty);
    UpdateTabText();
}

bool MsiFileTabBase::CanClose()
{
    MainWindow* frame = GetMainWindow();
    if (frame && frame->GetJobRunner().IsRunning()) {
        ShowMessageBox(window_, L"You cannot close a file while a job is running.", L"", MB_ICONINFORMATION);
        return false;
    }
    if (!IsDirty())
        return true;
    // A long path would make the box wider than the screen, the file's own name out of sight.
    switch (ShowMessageBox(DialogOwner(), L"Save " + ShortenedPath(GetPath(), kShownPathLength),
                           LoadAppName(), MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDCANCEL:
        return false;
    case IDYES:
        Save();
        return true;
    default:
        return true;
    }
}

bool MsiFileTabBase::IsShowingObject(int page)
{
    if (closing_)
        return false;
    int current = view_tabs_.CurrentPage();
    return current >= 0 && current < MainTabCtrl::PAGE_COUNT && current == page;
}

MainWindow* MsiFileTabBase::GetMainWindow()
{
    return owner_ ? owner_->GetMainWindow() : nullptr;
}

void MsiFileTabBase::SetStatusText(const std::wstring& text, int part)
{
    if (status_)
        status_->SetStatusText(text, part);
}

void MsiFileTabBase::SetStatusParts(const std::vector<int>& percentages)
{
    if (status_)
        status_->SetStatusParts(percentages);
}

void MsiFileTabBase::UpdateStatusBar()
{
    SetStatusParts({80, 20});
    SetStatusText(GetPath(), 0);
    std::wstring tables;
    tfc::Format(L"Tables: %i", tables) << static_cast<long>(GetTablesTree()->Root()->ChildCount());
    SetStatusText(tables, 1);
}

bool MsiFileTabBase::ShowTableHelp()
{
    int page = view_tabs_.CurrentPage();
    if (page < 0 || page >= MainTabCtrl::PAGE_COUNT)
        return false;
    std::wstring table = HelpTableName(view_tabs_.GetPage(page).GetSelectedNode());
    if (table.empty())
        return false;
    OpenHelpPage(DialogOwner(), TableHelpLink(table));
    return true;
}

HACCEL MsiFileTabBase::LoadDocumentAccelerators()
{
    return ::LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DOCUMENT_ACCELERATORS));
}

void MsiFileTabBase::MergeMenus()
{
    MainWindow* frame = GetMainWindow();
    HMENU bar = frame ? GetMenu(frame->GetWindowHandle()) : nullptr;
    if (!bar)
        return;
    auto* self = static_cast<MDIChild*>(this);
    MENUITEMINFOW present = {};
    present.cbSize = sizeof(present);
    present.fMask = MIIM_DATA;
    bool merged =
        GetMenuItemInfoW(bar, 1, TRUE, &present) && present.dwItemData == reinterpret_cast<ULONG_PTR>(self);
    if (!merged) {
        HMENU own = LoadMenuBar();
        if (!own)
            tfc::throw_last_error(L"LoadMenu");
        int count = GetMenuItemCount(own);
        int inserted = 0;
        // A failure part-way takes back what was inserted, so the frame's bar stays whole.
        auto fail = [&](const wchar_t* function) {
            DWORD error = GetLastError();
            for (int i = inserted; i > 0; --i)
                RemoveMenu(bar, i, MF_BYPOSITION);
            DestroyMenu(own);
            DrawMenuBar(frame->GetWindowHandle());
            throw tfc::Win32Error(error, function);
        };
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW item = {};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
            item.dwTypeData = text;
            item.cch = 256;
            if (!GetMenuItemInfoW(own, i, TRUE, &item))
                fail(L"GetMenuItemInfo");
            MENUINFO info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIM_APPLYTOSUBMENUS | MIM_MENUDATA | MIM_STYLE;
            info.dwStyle = MNS_NOTIFYBYPOS;
            info.dwMenuData = reinterpret_cast<ULONG_PTR>(self);
            if (!SetMenuInfo(item.hSubMenu, &info))
                fail(L"SetMenuInfo");
            item.fMask |= MIIM_DATA;
            item.dwItemData = reinterpret_cast<ULONG_PTR>(self);
            if (!InsertMenuItemW(bar, i + 1, TRUE, &item))
                fail(L"InsertMenuItem");
            ++inserted;
        }
        // The popups now belong to the main menu; the empty bar goes.
        while (GetMenuItemCount(own) > 0)
            RemoveMenu(own, 0, MF_BYPOSITION);
        DestroyMenu(own);
        DrawMenuBar(frame->GetWindowHandle());
        frame->SetDocumentAccelerators(window_, LoadDocumentAccelerators());
    }
    UpdateStatusBar();
    // The pane's box says whether this document's database is tracked, not whether the previous one was.
    if (frame && frame->GetRowLinksPane()) {
        MsiFile* tracked = GetTrackedDatabase();
        frame->GetLogTabs().RowLinksPane().ShowTrackingState(tracked && tracked->relationships().IsEnabled());
    }
    if (auto* node = dynamic_cast<MsiTableNode*>(GetTablesTree()->GetSelectedNode()))
        node->ShowRowLinks(list_);
    if (frame && frame->GetLogTabs().GetWindowHandle()) {
        ValidationWindow& results = frame->GetLogTabs().Validation();
        if (results.GetCheckBox() && SendMessageW(results.GetCheckBox(), BM_GETCHECK, 0, 0) == BST_CHECKED)
            results.Refill();
    }
}

void MsiFileTabBase::UnmergeMenus()
{
    MainWindow* frame = GetMainWindow();
    HMENU bar = frame ? GetMenu(frame->GetWindowHandle()) : nullptr;
    if (!bar)
        return;
    auto self = reinterpret_cast<ULONG_PTR>(static_cast<MDIChild*>(this));
    for (int i = 0; i < GetMenuItemCount(bar);) {
        MENUITEMINFOW item = {};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_DATA;
        if (GetMenuItemInfoW(bar, i, TRUE, &item) && item.dwItemData == self) {
            DeleteMenu(bar, i, MF_BYPOSITION);
            DrawMenuBar(frame->GetWindowHandle());
        } else {
            ++i;
        }
    }
    // The pane forgets this tab's row: the next tab must not show it.
    if (RowLinksPane* pane = MsiTableNode::LinksPane(this))
        pane->ShowRowLinks(nullptr, RowIterator());
    frame->SetTitle(L"");
}

std::wstring MsiFileTabBase::LoadAppName()
{
    for (int size = 260;; size *= 2) {
        std::wstring buffer(size, L'\0');
        int length = LoadStringW(GetModuleHandleW(nullptr), IDS_APP_NAME, &buffer[0], size);
        if (length < size - 1) {
            buffer.resize(length);
            return buffer;
        }
    }
}

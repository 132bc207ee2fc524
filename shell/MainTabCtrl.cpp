#include "shell/MainTabCtrl.h"
#include "frame/FrameWindow.h"
#include "views/grid/ObjectWindow.h"

#include <commctrl.h>

MainTabCtrl::MainTabCtrl(MainTabCtrlParent* owner)
    : Window(L"MainTabCtrl", tfc::ErrorHandling::Full), owner_(owner)
{
}

MainTabCtrl::~MainTabCtrl()
{
    // Items first, while their nodes are alive; then the trees with the control.
    for (TreeView& page : pages_)
        page.Clear();
    destroy_window(window_);
}

void MainTabCtrl::Create(HWND parent)
{
    create_window(WS_EX_CONTROLPARENT, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | TCS_MULTILINE, 0, 0, 200,
                  100, parent);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    const wchar_t* names[PAGE_COUNT] = {L"Tables", L"Dialogs", L"Components", L"Features"};
    for (int i = 0; i < PAGE_COUNT; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<wchar_t*>(names[i]);
        item.iImage = -1;
        SendMessageW(window_, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    OnSize();
    ShowPage();
}

LRESULT MainTabCtrl::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_SIZE: {
        LRESULT result = call_previous_proc(window, message, wparam, lparam);
        OnSize();
        return result;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        int page = PageOfWindow(header->hwndFrom);
        if (page >= 0)
            return pages_[page].OnNotify(header);
        break;
    }
    case WM_CONTEXTMENU: {
        int page = PageOfWindow(reinterpret_cast<HWND>(wparam));
        if (page >= 0)
            return pages_[page].OnContextMenu(static_cast<short>(LOWORD(lparam)),
                                              static_cast<short>(HIWORD(lparam)));
        break;
    }
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void MainTabCtrl::OnCreate(HWND window)
{
    window_ = window;
    FrameWindow* frame = owner_ ? owner_->GetMainWindow() : nullptr;
    HIMAGELIST images = frame ? frame->GetImageList() : nullptr;
    for (TreeView& page : pages_) {
        HWND tree = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_LINESATROOT |
                                        TVS_SHOWSELALWAYS,
                                    10, 10, 400, 500, window, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!tree)
            tfc::throw_last_error(L"CreateWindowEx");
        SendMessageW(tree, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
        page.SetWindow(tree);
        page.SetListView(owner_ ? owner_->GetTreeContext() : nullptr);
    }
}

void MainTabCtrl::OnSize()
{
    if (!window_)
        return;
    RECT area = {};
    GetClientRect(window_, &area);
    SendMessageW(window_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    for (TreeView& page : pages_)
        MoveWindow(page.GetWindow(), area.left, area.top, area.right - area.left, area.bottom - area.top,
                   TRUE);
}

int MainTabCtrl::PageOfWindow(HWND window) const
{
    for (int i = 0; i < PAGE_COUNT; ++i) {
        if (window && pages_[i].GetWindow() == window)
            return i;
    }
    return -1;
}

int MainTabCtrl::CurrentPage() const
{
    return window_ ? static_cast<int>(SendMessageW(window_, TCM_GETCURSEL, 0, 0)) : -1;
}

void MainTabCtrl::SetCurrentPage(int page)
{
    SendMessageW(window_, TCM_SETCURSEL, page, 0);
}

void MainTabCtrl::HidePage(int page)
{
    if (page >= 0 && page < PAGE_COUNT)
        ShowWindow(pages_[page].GetWindow(), SW_HIDE);
}

void MainTabCtrl::ShowPage()
{
    int current = CurrentPage();
    for (int i = 0; i < PAGE_COUNT; ++i) {
        if (i != current)
            ShowWindow(pages_[i].GetWindow(), SW_HIDE);
    }
    if (current < 0 || current >= PAGE_COUNT)
        return;
    ShowWindow(pages_[current].GetWindow(), SW_SHOWNORMAL);
    RefreshSelectedNode();
}

void MainTabCtrl::RefreshSelectedNode()
{
    int current = CurrentPage();
    if (current < 0 || current >= PAGE_COUNT)
        return;
    TreeView& page = pages_[current];
    tfc::RefersTo<ContainerNode> node(page.GetSelectedNode());
    if (node)
        node->OnSelected(page.GetListView());
    else if (ObjectWindow* list = page.GetListView())
        list->SetHandler(nullptr, {}, 0, -1, 0); // no columns of the table another page showed
}

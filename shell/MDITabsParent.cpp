#include "shell/MDITabsParent.h"

#include "foundation/Dpi.h"
#include "foundation/FileUtil.h"
#include "validation/ValidationWindow.h"
#include "shell/MainWindow.h"
#include "resources/ShellIds.h"

#include <commctrl.h>
#include <algorithm>

HWND MDITabs::Create(HWND parent, MDITabsParent* strip)
{
    strip_ = strip;
    window_ =
        create_window(0, WC_TABCONTROLW, L"", WS_CHILD | TCS_BUTTONS | TCS_FLATBUTTONS, 0, 0, 0, 0, parent);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return window_;
}

LRESULT MDITabs::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SETFOCUS && strip_)
        strip_->FocusTakenFrom(reinterpret_cast<HWND>(wparam));
    return call_previous_proc(window, message, wparam, lparam);
}

MDITabsParent::MDITabsParent(MainWindow* owner) : Window(L"MDITabsParent"), owner_(owner) {}

MDITabsParent::~MDITabsParent()
{
    // Documents first: their windows are children of the strip.
    documents_.clear();
    destroy_window(window_);
}

void MDITabsParent::Create(HWND frame, int x, int y, int width, int height)
{
    tfc::register_window_class(L"MDITabsParent", IDC_ARROW,
                               LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APPLICATION_ICON)));
    window_ = create_window(WS_EX_CONTROLPARENT, L"MDITabsParent", L"",
                            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height, frame);
}

LRESULT MDITabsParent::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lparam)->hwndFrom == tabs_.GetWindowHandle())
            return OnNotify(reinterpret_cast<NMHDR*>(lparam));
        break;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void MDITabsParent::OnCreate(HWND window)
{
    window_ = window;
    tabs_.Create(window, this);
}

int MDITabsParent::ItemHeight() const
{
    RECT rect = {};
    if (!SendMessageW(tabs_.GetWindowHandle(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)))
        return 0;
    return rect.bottom;
}

int MDITabsParent::CurrentIndex() const
{
    int selected = static_cast<int>(SendMessageW(tabs_.GetWindowHandle(), TCM_GETCURSEL, 0, 0));
    if (selected < 0)
        return -1;
    TCITEMW item = {};
    item.mask = TCIF_PARAM;
    if (!SendMessageW(tabs_.GetWindowHandle(), TCM_GETITEMW, selected, reinterpret_cast<LPARAM>(&item)))
        return -1;
    int index = static_cast<int>(item.lParam);
    return index >= 0 && index < static_cast<int>(documents_.size()) ? index : -1;
}

MDIChild* MDITabsParent::CurrentTab() const
{
    int index = CurrentIndex();
    return index < 0 ? nullptr : documents_[index].get();
}

void MDITabsParent::AddTab(const std::shared_ptr<MDIChild>& document)
{
    HWND tabs = tabs_.GetWindowHandle();
    int index = static_cast<int>(documents_.size());
    documents_.push_back(document);
    std::wstring title = document->GetTitle();
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(title.c_str());
    item.iImage = -1;
    item.lParam = index;
    SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
    ShowWindow(tabs, SW_SHOW);
    // Made where it will stay: a document resized once made lays out, and fits its first table, again.
    RECT area = LayOutStrip();
    try {
        document->Create(window_, area.left, area.top, area.right - area.left, area.bottom - area.top);
    } catch (...) {
        // A document that failed to open leaves no tab behind.
        SendMessageW(tabs, TCM_DELETEITEM, index, 0);
        documents_.pop_back();
        if (documents_.empty())
            ShowWindow(tabs, SW_HIDE);
        throw;
    }
    order_.push_back(index);
    SelectTab(index);
}

void MDITabsParent::SelectTab(int index)
{
    if (index < 0 || index >= static_cast<int>(documents_.size()))
        return;
    BeforeSelectionChange();
    SendMessageW(tabs_.GetWindowHandle(), TCM_SETCURSEL, index, 0);
    AfterSelectionChange();
}

bool MDITabsParent::KeepFocusOf(int index)
{
    HWND window = documents_[index]->GetWindowHandle();
    HWND focus = GetFocus();
    if (focus && focus == tabs_.GetWindowHandle())
        return true;
    if (!focus || (focus != window && !IsChild(window, focus)))
        return false;
    documents_[index]->RememberFocus(focus);
    return true;
}

void MDITabsParent::FocusTakenFrom(HWND window)
{
    int index = CurrentIndex();
    if (index < 0 || !window)
        return;
    HWND document = documents_[index]->GetWindowHandle();
    if (window == document || IsChild(document, window))
        documents_[index]->RememberFocus(window);
}

void MDITabsParent::BeforeSelectionChange()
{
    previous_ = CurrentIndex();
    hand_focus_on_ = previous_ >= 0 && KeepFocusOf(previous_);
    if (previous_ >= 0)
        documents_[previous_]->UnmergeMenus();
}

void MDITabsParent::AfterSelectionChange()
{
    int current = CurrentIndex();
    if (previous_ >= 0 && previous_ != current && previous_ < static_cast<int>(documents_.size()))
        ShowWindow(documents_[previous_]->GetWindowHandle(), SW_HIDE);
    if (current < 0)
        return;
    MDIChild& document = *documents_[current];
    OnSize();
    ShowWindow(document.GetWindowHandle(), SW_SHOW);
    document.MergeMenus();
    if (!cycling_)
        MoveToFront(current);
    if (owner_)
        owner_->SetTitle(FileNameOf(document.GetPath()));
    // A hidden control keeping the focus would take the keys meant for the document shown (and a menu
    // key then never finds its way back to it).
    if (hand_focus_on_)
        document.TakeFocus();
    hand_focus_on_ = false;
}

void MDITabsParent::MoveToFront(int index)
{
    order_.remove(index);
    order_.push_front(index);
}

RECT MDITabsParent::LayOutStrip()
{
    RECT client = {};
    GetClientRect(window_, &client);
    int height = ItemHeight();
    MoveWindow(tabs_.GetWindowHandle(), 0, 0, client.right, height, TRUE);
    return RECT{0, height + 5, client.right, client.bottom};
}

void MDITabsParent::OnSize()
{
    RECT area = LayOutStrip();
    if (MDIChild* document = CurrentTab())
        MoveWindow(document->GetWindowHandle(), area.left, area.top, area.right - area.left,
                   area.bottom - area.top, TRUE);
}

bool MDITabsParent::CloseCurrent()
{
    int index = CurrentIndex();
    if (index < 0)
        return false;
    std::shared_ptr<MDIChild> document = documents_[index];
    if (!document->CanClose())
        return false;
    bool had_focus = KeepFocusOf(index);
    document->UnmergeMenus();
    if (owner_ && owner_->GetLogTabs().GetWindowHandle())
        owner_->GetLogTabs().Validation().RemoveFileMessages(*document);
    documents_.erase(documents_.begin() + index);
    HWND tabs = tabs_.GetWindowHandle();
    int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TCITEMW item = {};
        item.mask = TCIF_PARAM;
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        if (item.lParam == index) {
            SendMessageW(tabs, TCM_DELETEITEM, i, 0);
            --i;
            --count;
        } else if (item.lParam > index) {
            --item.lParam;
            SendMessageW(tabs, TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    if (documents_.empty())
        ShowWindow(tabs, SW_HIDE);
    order_.remove(index);
    for (int& entry : order_) {
        if (entry > index)
            --entry;
    }
    previous_ = -1;
    // The document's window goes with its last holder; hide it in case another holder keeps it.
    if (IsWindow(document->GetWindowHandle()))
        ShowWindow(document->GetWindowHandle(), SW_HIDE);
    document.reset();
    if (!documents_.empty()) {
        // TCM_DELETEITEM leaves no selection: choose one without asking the gone document.
        int next = index > 0 ? index - 1 : 0;
        SendMessageW(tabs, TCM_SETCURSEL, next, 0);
        hand_focus_on_ = had_focus;
        AfterSelectionChange();
    } else if (had_focus && owner_) {
        SetFocus(owner_->GetLogTabs().GetWindowHandle());
    }
    return true;
}

bool MDITabsParent::CanCloseAll()
{
    // A copy: a document's question may pump messages that change the strip.
    auto documents = documents_;
    for (const auto& document : documents) {
        if (!document->CanClose())
            return false;
    }
    return true;
}

void MDITabsParent::NextTab()
{
    if (documents_.size() < 2)
        return;
    int current = CurrentIndex();
    auto it = std::find(order_.begin(), order_.end(), current);
    int target;
    if (cycling_ && it != order_.end()) {
        ++it;
        target = it == order_.end() ? order_.front() : *it;
    } else {
        target = *std::next(order_.begin());
    }
    cycling_ = true;
    SelectTab(target);
}

void MDITabsParent::PreviousTab()
{
    if (documents_.size() < 2)
        return;
    int current = CurrentIndex();
    auto it = std::find(order_.begin(), order_.end(), current);
    int target = it == order_.end() || it == order_.begin() ? order_.back() : *std::prev(it);
    cycling_ = true;
    SelectTab(target);
}

void MDITabsParent::CommitTabOrder()
{
    int current = CurrentIndex();
    if (current >= 0)
        MoveToFront(current);
    cycling_ = false;
}

void MDITabsParent::ShowDocument(const MDIChild* document)
{
    int index = IndexOfDocument(document);
    if (index >= 0 && CurrentTab() != document)
        SelectTab(index);
}

int MDITabsParent::IndexOfDocument(const MDIChild* document) const
{
    for (int index : order_) {
        if (documents_[index].get() == document)
            return index;
    }
    return -1;
}

void MDITabsParent::SetTabText(const MDIChild* document, const std::wstring& text)
{
    for (size_t i = 0; i < documents_.size(); ++i) {
        if (documents_[i].get() != document)
            continue;
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(text.c_str());
        SendMessageW(tabs_.GetWindowHandle(), TCM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
        // A shorter text (" (Read only)" gone after Save As) leaves the longer one's end behind under Wine.
        InvalidateRect(tabs_.GetWindowHandle(), nullptr, TRUE);
        // A save elsewhere from inside the document (the answer to a prompt) renames it without the frame's
        // own command: the title follows the name shown.
        if (owner_ && static_cast<int>(i) == CurrentIndex())
            owner_->SetTitle(FileNameOf(documents_[i]->GetPath()));
        return;
    }
}

LRESULT MDITabsParent::OnNotify(NMHDR* header)
{
    switch (header->code) {
    case TCN_SELCHANGING:
        BeforeSelectionChange();
        return FALSE;
    case TCN_SELCHANGE:
        AfterSelectionChange();
        return 0;
    case NM_RCLICK:
        OnRightClick();
        return 1;
    case NM_CLICK:
        if (MDIChild* document = CurrentTab())
            document->UpdateStatusBar();
        return 0;
    }
    return 0;
}

void MDITabsParent::OnRightClick()
{
    HWND tabs = tabs_.GetWindowHandle();
    TCHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    POINT screen = hit.pt;
    ScreenToClient(tabs, &hit.pt);
    int item = static_cast<int>(SendMessageW(tabs, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item < 0)
        return;
    if (item != SendMessageW(tabs, TCM_GETCURSEL, 0, 0))
        SelectTab(item);
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TAB_MENU));
    if (!menu)
        return;
    UINT command = TrackPopupMenu(GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                                  window_, nullptr);
    DestroyMenu(menu);
    if (command == ID_TAB_CLOSE)
        CloseCurrent();
    else if (command == ID_TAB_SAVE && owner_)
        owner_->OnSave();
}

#pragma once
// The strip of open documents: shows one at a time, remembers the order in which they were last
// active (for Ctrl+Tab) and closes them.
#include "foundation/Window.h"
#include "frame/DocumentTab.h"
#include "frame/DocumentTabs.h"

#include <list>
#include <memory>
#include <vector>

class MainWindow;

class MDITabsParent;

// The tab control of the strip; it keeps its handle and tells the strip where the focus came from when a
// click gives it the focus.
class MDITabs : public tfc::Window
{
public:
    MDITabs() : Window(L"MDITabs") {}
    ~MDITabs() override { destroy_window(window_); }
    HWND Create(HWND parent, MDITabsParent* strip);
    HWND GetWindowHandle() const { return window_; }
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    HWND window_ = nullptr;
    MDITabsParent* strip_ = nullptr;
};

class MDITabsParent : public tfc::Window, public DocumentTabs
{
public:
    explicit MDITabsParent(MainWindow* owner);
    ~MDITabsParent() override;

    void Create(HWND frame, int x, int y, int width, int height);
    HWND GetWindowHandle() const { return window_; }
    HWND GetTabControl() const { return tabs_.GetWindowHandle(); }
    MainWindow* GetMainWindow() const { return owner_; }

    // Creates the document's window (which opens it) and makes it current. When its creation throws,
    // the strip is left as it was and the exception goes on.
    void AddTab(const std::shared_ptr<MDIChild>& document);
    // Asks the current document; false when there is none or it refuses.
    bool CloseCurrent();
    bool CanCloseAll();
    MDIChild* CurrentTab() const override;
    void ShowDocument(const MDIChild* document) override;
    void SelectTab(int index);
    void NextTab();
    void PreviousTab();
    // Ctrl released: the document reached by cycling becomes the most recent.
    void CommitTabOrder();
    bool IsCycling() const { return cycling_; }
    // Index in tab order, or -1.
    int IndexOfDocument(const MDIChild* document) const;
    // The tab control took the focus from that window: a document it belonged to remembers it.
    void FocusTakenFrom(HWND window);
    // Sets the text of the document's tab item; nothing when the strip does not hold it.
    void SetTabText(const MDIChild* document, const std::wstring& text);

    const std::vector<std::shared_ptr<MDIChild>>& Documents() const override { return documents_; }
    // Most recent first.
    const std::list<int>& ActivationOrder() const { return order_; }

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnCreate(HWND window);
    void OnSize();
    // Puts the tab strip across the top; returns the rectangle below it, the current document's.
    RECT LayOutStrip();
    LRESULT OnNotify(NMHDR* header);
    void OnRightClick();
    // The three steps of every selection change.
    void BeforeSelectionChange();
    void AfterSelectionChange();
    int CurrentIndex() const;
    // Whether the keyboard focus is in the document at that index; if so, it remembers where. The tab
    // control holding the focus counts as the current document's: a click on a tab hands it on too.
    bool KeepFocusOf(int index);
    int ItemHeight() const;
    void MoveToFront(int index);

    HWND window_ = nullptr;
    MDITabs tabs_;
    std::vector<std::shared_ptr<MDIChild>> documents_;
    MainWindow* owner_;
    int previous_ = -1;
    std::list<int> order_;
    bool cycling_ = false;
    // The document left by the selection change held the focus: the one shown takes it over.
    bool hand_focus_on_ = false;
};

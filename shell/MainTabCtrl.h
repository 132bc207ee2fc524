#pragma once
// The view tabs of a document: four tree pages, Tables, Dialogs, Components and Features.
#include "foundation/Window.h"
#include "views/tree/TreeView.h"

class FrameWindow;
class ObjectWindow;

// What the view tab control asks of its document tab.
class MainTabCtrlParent
{
public:
    virtual ~MainTabCtrlParent() = default;
    virtual FrameWindow* GetMainWindow() = 0;
    virtual ObjectWindow* GetTreeContext() = 0;
    // The owner of message boxes.
    virtual HWND GetParentWindow() = 0;
};

class MainTabCtrl : public tfc::Window
{
public:
    enum Page
    {
        TABLES = 0,
        DIALOGS = 1,
        COMPONENTS = 2,
        FEATURES = 3,
        PAGE_COUNT = 4
    };

    explicit MainTabCtrl(MainTabCtrlParent* owner);
    ~MainTabCtrl() override;

    void Create(HWND parent);
    HWND GetWindowHandle() const { return window_; }
    TreeView& GetPage(int page) { return pages_[page]; }
    int CurrentPage() const;
    // Selects the page without a notification; ShowPage does the rest.
    void SetCurrentPage(int page);
    // Shows the current page's tree, hides the others, and has its selected node fill the list again.
    void ShowPage();
    void HidePage(int page);
    void RefreshSelectedNode();

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnCreate(HWND window);
    void OnSize();
    int PageOfWindow(HWND window) const;

    MainTabCtrlParent* owner_;
    TreeView pages_[PAGE_COUNT];
    HWND window_ = nullptr;
};

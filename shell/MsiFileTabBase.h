#pragma once
// What the database and transform tabs share: the tab window with its "Show empty tables" check box,
// view tabs, table list and splitter; the title with its dirty mark; the close guard; merging the
// tab's menus into the main menu; and the status bar text.
#include "foundation/SplitterWindow.h"
#include "foundation/TempFiles.h"
#include "foundation/Window.h"
#include "views/tree/TableViewsTab.h"
#include "shell/MainTabCtrl.h"
#include "shell/MainWindow.h"
#include "views/dialogs/FindDlg.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/RowElementNode.h"

#include <set>
#include <string>
#include <vector>

class MDITabsParent;
class MsiTable;

class MsiFileTabBase : public tfc::Window,
                       private MainTabCtrlParent,
                       public TableViewsTab,
                       public FindableDocument
{
public:
    // `error_name` is the deriving class's name for the error wrapper's trail lines.
    MsiFileTabBase(const wchar_t* error_name, MDITabsParent* owner, StatusBarManager* status, bool read_only);
    ~MsiFileTabBase() override;

    // The tab window and its controls at the given place; the deriving tab then opens its document.
    void Create(HWND parent, int x, int y, int width, int height) override;
    HWND GetWindowHandle() override { return window_; }
    std::wstring GetTitle() override;
    // Rebuilds the title and puts it on this document's tab, when the strip holds it.
    void UpdateTabText();
    void SelectView(int page);
    bool CanClose() override;
    void MergeMenus() override;
    void UnmergeMenus() override;
    bool IsDirty() override { return HasChanges(); }
    void UpdateStatusBar() override;
    // The reference page of the table that the selected node of the current page is about.
    bool ShowTableHelp() override;

    void SetDirty(bool dirty) override;
    void SetStatusText(const std::wstring& text, int part) override;
    void SetStatusParts(const std::vector<int>& percentages) override;
    MainWindow* GetMainWindow() override;
    ObjectWindow* GetTreeContext() override { return &list_; }
    TreeView* GetTablesTree() override { return &view_tabs_.GetPage(MainTabCtrl::TABLES); }
    bool IsShowingObject(int page) override;
    // Row reference tracking of the database was switched. Turned off, the Dialogs, Components and
    // Features trees lose the nodes built from the references; the page shown is filled again at once,
    // the others when they are next shown.
    void RebuildRelationTrees(bool tracking_on) override;

    MainTabCtrl& GetViewTabs() { return view_tabs_; }
    HWND GetCheckBox() const { return check_box_; }
    HWND GetSplitterBar() const { return splitter_.bar(); }
    TempFiles& GetTempFiles() { return temp_files_; }
    MDITabsParent* GetOwner() const { return owner_; }

    // The caption of the tabs' questions: string 111.
    static std::wstring LoadAppName();

    // Commands both tab kinds share (their menus and keys).
    void OnFind();
    void OnAddTables();
    void OnImportTables();
    void OnExportTables();
    void OnDropTables();
    // One .idt file per call; an empty folder: the user chooses the file.
    void ExportTable(const std::wstring& table_name, const std::wstring& folder) override;
    // Makes the table's node (and lookup); with add the table is first copied into the edited database.
    virtual void CreateTableLookup(MsiTable& table, bool add)
    {
        (void)table;
        (void)add;
    }
    // Drops the table of that name: by its node when it has one, else straight from the database.
    void DropTableNamed(const std::wstring& name);
    // The `_Tables` and `_Columns` nodes read their tables again.
    void ReloadSchemaNodes();
    // The table nodes of the Tables tree, in tree order.
    std::vector<MsiTableNode*> TableNodes();

    FindCriteria FindNext(const FindCriteria& position, const FindPattern& pattern, bool up,
                          bool before_position) override;
    bool ShowFound(const FindCriteria& location) override;
    void GetFindNames(std::set<std::wstring>& tables, std::set<std::wstring>& columns) override;

    // Validates the chosen open documents with the chosen profile as a job of the frame; `trail` names the
    // tab kind in the error trail.
    void RunValidation(const wchar_t* trail);
    // Whether the installed installer library runs validation on a worker thread (version 3 or later).
    static bool ValidatesOnWorkerThread();

    // Exactly one dropped path ending in ".mst" (any case).
    static bool IsSingleTransform(const std::vector<std::wstring>& paths);

protected:
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    // Accelerator table 115, registered with the frame when the menus are merged.
    virtual HACCEL LoadDocumentAccelerators();
    // The tab's own menu bar (103 for a database, 122 for a transform); the caller destroys it.
    virtual HMENU LoadMenuBar() = 0;
    // The "Show empty tables" check box was clicked.
    virtual void OnShowEmptyTables() {}
    // A Dialogs, Components or Features page shown with an empty tree: one grouping of the table's rows,
    // when the table has a node in the Tables tree.
    virtual void FillTreeView(int page, const std::wstring& table_name);
    // Every tree emptied and the row trees' owners released; the deriving tab calls it before its
    // database goes.
    void ClearTrees();
    // A freshly filled Tables tree shows its first table at once: the control would select it only when
    // it next gets the focus, which may come late or not at all while the frame is not the active window.
    void ShowFirstTable();
    void Layout();
    int CheckBoxWidth() const;
    // The commands both tab kinds handle alike; false for any other id. Refused silently when read-only.
    bool OnSharedCommand(UINT id);
    // Asked before a transform starts from a dirty tab: OK saves and goes on (true), Cancel stops.
    bool SaveBeforeTransform(const std::wstring& question);
    // The menu bar resource, with Add, Import and Drop Tables and Code Page greyed when read-only.
    HMENU LoadTabMenuBar(int resource);
    // Those commands of the merged menus follow the read-only flag (after Save As made it writable).
    void UpdateWritingCommands();
    // The file dialogs of New and Apply Transform; empty when cancelled.
    std::wstring AskNewTransform(const std::wstring& folder);
    std::wstring AskExistingTransform(const std::wstring& folder);
    static const wchar_t kBeginTransformQuestion[];
    static const wchar_t kApplyTransformQuestion[];

    // The tree of the page shown.
    HWND MainControl() override;

private:
    HWND GetParentWindow() override { return window_; }
    void CreateControls(HWND window);
    LRESULT ShowView(NMHDR* header);

    MDITabsParent* owner_;
    HWND check_box_ = nullptr;
    ObjectWindow list_;
    MainTabCtrl view_tabs_;
    StatusBarManager* status_;
    TempFiles temp_files_;
    bool closing_ = false;
    SplitterWindow splitter_;
    // The invisible owners of the row trees' top groupings, by page.
    tfc::RefersTo<RowElementNode> row_roots_[MainTabCtrl::PAGE_COUNT];
    std::wstring title_;
    HWND window_ = nullptr;
};

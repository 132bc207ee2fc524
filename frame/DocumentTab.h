#pragma once
// How the main window, the tab strip, the trees and the dialogs see an open document.
#include "frame/FrameWindow.h"
#include "model/lookups/FindCriteria.h"

#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <vector>

class MsiFile;
class MsiTableLookupBase;
class ValidationStore;

// The time of the first unsaved change; zero means clean.
class HasDirtyFlag
{
public:
    virtual ~HasDirtyFlag() = default;
    // True stores the current system time, false zero.
    virtual void SetDirty(bool dirty);
    bool HasChanges() const { return changed_.dwLowDateTime != 0 || changed_.dwHighDateTime != 0; }

private:
    FILETIME changed_ = {0, 0};
};

class StatusBarManager
{
public:
    virtual ~StatusBarManager() = default;
    virtual void SetStatusText(const std::wstring& text, int part) = 0;
    // Width of each part in percent of the bar; empty: one part.
    virtual void SetStatusParts(const std::vector<int>& percentages) = 0;
};

// A document as the main window and the tab strip see it.
class MDIChild
{
public:
    explicit MDIChild(bool read_only = false) : read_only_(read_only) {}
    virtual ~MDIChild() = default;
    MDIChild(const MDIChild&) = delete;
    MDIChild& operator=(const MDIChild&) = delete;

    virtual HWND GetWindowHandle() = 0;
    // File name, "*" while dirty, " (Read only)" when read-only.
    virtual std::wstring GetTitle() = 0;
    virtual std::wstring GetPath() = 0;
    // Makes the document's window at the given place in `parent` and opens the document.
    virtual void Create(HWND parent, int x, int y, int width, int height) = 0;
    // The close guard: false keeps the document open.
    virtual bool CanClose() = 0;
    virtual void MergeMenus() {}
    virtual void UnmergeMenus() {}
    // A command of one of the document's merged menus (menu null for an accelerator).
    virtual void OnCommand(HMENU menu, UINT id);
    virtual bool IsDirty() = 0;
    virtual void Save() = 0;
    virtual void SaveAs() = 0;
    virtual void Backup() = 0;
    virtual void UpdateStatusBar() = 0;
    // Opens the help page of the selected table; false when there is none.
    virtual bool ShowTableHelp() { return false; }
    // Files dropped on the frame while this document is current; true when it took them.
    virtual bool OpenDroppedFile(const std::vector<std::wstring>& paths);
    // The database whose row references the frame may track; null for a document without one.
    virtual MsiFile* GetTrackedDatabase() { return nullptr; }

    bool IsReadOnly() const { return read_only_; }

    // The keyboard focus, when the document is left with it, is remembered, and given back when the
    // document is shown again (a hidden control would otherwise keep getting the keys).
    void RememberFocus(HWND focus) { last_focus_ = focus; }
    // Puts the focus on the remembered control when it is still there and shown, else on the main one.
    void TakeFocus();

protected:
    // The control that gets the focus when none is remembered: the document's window itself here.
    virtual HWND MainControl() { return GetWindowHandle(); }

    bool read_only_;

private:
    HWND last_focus_ = nullptr;
};

// A document tab as its trees, table nodes and dialogs see it.
class EditableMsiFileTab : public HasDirtyFlag, public StatusBarManager, public MDIChild
{
public:
    using MDIChild::MDIChild;

    // Null for a tab that has no frame.
    virtual FrameWindow* GetMainWindow() = 0;
    // The owner of message boxes and menus: the frame, or the tab itself without one.
    HWND DialogOwner();
    // The messages of the validation runs that colour cells and fill their tips; null without a results pane.
    const ValidationStore* GetValidationResults();
    // The pane that lists the selected row's links; null without one.
    RowLinksPane* GetRowLinksPane();
    // The frame's small icons for lists of rows; null without a frame.
    HIMAGELIST GetImageList();
    // Writes the table as an .idt file into the folder (an empty folder: the user chooses one).
    virtual void ExportTable(const std::wstring& table_name, const std::wstring& folder)
    {
        (void)table_name;
        (void)folder;
    }
    virtual void AddTableViews(MsiFile& database, bool only_database_tables) = 0;
    virtual MsiFile& GetMsiFile() = 0;
    virtual std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) = 0;
    // Shows the location's table in the Tables view with its row and column selected; false when the tab
    // has no such table or row.
    virtual bool SelectTable(const FindCriteria& location)
    {
        (void)location;
        return false;
    }
    // Told by whoever switches row reference tracking of the database: the row trees built from the
    // references are rebuilt when it went off.
    virtual void RebuildRelationTrees(bool tracking_on) { (void)tracking_on; }
    // Whether the view tab control shows this page now (0 Tables, 1 Dialogs, 2 Components, 3 Features).
    virtual bool IsShowingObject(int page) = 0;
};

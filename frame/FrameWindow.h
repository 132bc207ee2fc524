#pragma once
// What the tabs' trees, nodes and dialogs see of the main window: the owner of their messages and menus,
// the small icons of their lists, the two panes of the bottom strip and the progress window.
#include "model/MsiTable.h"

#include <windows.h>
#include <commctrl.h>

class ProgressWindow;
class ValidationStore;

// The pane of the bottom strip that lists what a row refers to and what refers to it.
class RowLinksPane
{
public:
    virtual ~RowLinksPane() = default;
    // The row a table shows now; a null table empties the pane.
    virtual void ShowRowLinks(MsiTable* table, RowIterator row) = 0;
};

class FrameWindow
{
public:
    virtual ~FrameWindow() = default;
    virtual HWND GetWindowHandle() const = 0;
    virtual HIMAGELIST GetImageList() const = 0;
    // The messages of the validation runs; null while the results pane has no window.
    virtual const ValidationStore* GetValidationResults() = 0;
    // The pane that lists the selected row's links; null while it has no window.
    virtual RowLinksPane* GetRowLinksPane() = 0;
    // Shared with the frame's jobs: free while it is hidden.
    virtual ProgressWindow& GetProgressWindow() = 0;
};

#pragma once
// What the tabs' trees, nodes and dialogs see of the main window: the owner of their messages and menus,
// the small icons of their lists, and the two panes of the bottom strip.
#include "model/MsiTable.h"

#include <windows.h>
#include <commctrl.h>

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
};

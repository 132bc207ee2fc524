#pragma once
// An "Edit" child laid over a cell of a list: Enter ends the edit, Escape cancels it, and losing the focus
// ends it as Enter does. The text goes to EndEdit; when that refuses, editing goes on.
#include "foundation/Window.h"
#include "views/grid/InPlaceEditor.h"

#include <windows.h>
#include <string>

class InPlaceTextEditor : public tfc::Window, public InPlaceEditor
{
public:
    explicit InPlaceTextEditor(std::wstring initial_text);
    // Destroys an edit control that is still open, without ending the edit.
    ~InPlaceTextEditor() override;

    // The edit control at (cell left + 2, cell top - 2) to the right edge of the parent's client area,
    // 4 pixels taller than the cell, holding the initial text, all of it selected, with the focus.
    void BeginEdit(HWND parent, const RECT& cell) override;
    bool IsCancelled() const override { return cancelled_; }
    HWND GetEditWindow() const { return edit_; }

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

protected:
    // Keys the editor handles itself; the rest go to the control.
    virtual LRESULT OnKeyDown(WPARAM key, LPARAM lparam);
    // Ends with the control's text, or the initial text when cancelled.
    void EndEditing();

    std::wstring initial_text_;
    bool cancelled_ = false;
    bool ending_ = false;
    HWND edit_ = nullptr;
    HWND parent_ = nullptr;
};

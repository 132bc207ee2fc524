#pragma once
// The text editor of string cells. A text with a tab or a line break, or an edit started with Shift down
// (or Shift+Enter later), goes to the multi-line editor instead; Ctrl+G puts a new GUID in.
#include "views/grid/InPlaceTextEditor.h"
#include "views/grid/MsiFieldEditor.h"

class MsiStringFieldEditor : public InPlaceTextEditor, public MsiFieldEditor
{
public:
    MsiStringFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                         const MsiFieldDef& def);

    void BeginEdit(HWND parent, const RECT& cell) override;
    // Required value, the handler's check of a changed text, then one Commit.
    bool EndEdit(const std::wstring& text) override;
    // Runs the multi-line editor over the list with the edit's text and ends the edit with its result.
    virtual void EditMultiLine();

protected:
    LRESULT OnKeyDown(WPARAM key, LPARAM lparam) override;

private:
    bool in_dialog_ = false;
};

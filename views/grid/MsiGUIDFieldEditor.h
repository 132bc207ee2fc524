#pragma once
// The editor of GUID cells (dialog 105): the text, and a button "*" that puts a new GUID in. Ctrl+G in the
// edit does the same, caught by a message hook of this thread while the dialog is open (the dialog's own
// loop never shows the key to the editor otherwise).
#include "views/grid/DialogFieldEditor.h"

#include <windows.h>
#include <string>

class MsiGUIDFieldEditor : public DialogFieldEditor
{
public:
    MsiGUIDFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                       const MsiFieldDef& def);
    // Removes the hook should it still be in place.
    ~MsiGUIDFieldEditor() override;

    // Runs the dialog; the hook goes with it, however it ended.
    void BeginEdit(HWND list, const RECT& cell) override;
    // As the string editor: required value, the handler's check of a change, one Commit.
    bool EndEdit(const std::wstring& text) override;
    // A new GUID replaces the text and is selected.
    void NewGuid();

protected:
    void OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;

private:
    static LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam);
    void Unhook();

    HHOOK hook_ = nullptr;
};

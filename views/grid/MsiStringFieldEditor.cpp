#include "views/grid/MsiStringFieldEditor.h"
#include "views/grid/GuidText.h"
#include "views/grid/MultiLineEditDlg.h"

#include "foundation/WindowText.h"

MsiStringFieldEditor::MsiStringFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                           const MsiFieldDef& def)
    : InPlaceTextEditor(std::wstring()), MsiFieldEditor(handler, table, row, def)
{
    initial_text_ = FieldEditText();
}

void MsiStringFieldEditor::BeginEdit(HWND parent, const RECT& cell)
{
    InPlaceTextEditor::BeginEdit(parent, cell);
    if (initial_text_.find_first_of(L"\t\r\n") != std::wstring::npos || GetKeyState(VK_SHIFT) < 0)
        EditMultiLine();
}

bool MsiStringFieldEditor::EndEdit(const std::wstring& text)
{
    // The edit control lost the focus to the multi-line editor: it goes, the dialog's text ends the edit.
    if (in_dialog_ || HasCommitted())
        return true;
    HWND owner = edit_ && IsWindow(edit_) ? edit_ : parent_;
    MsiFieldDataRef value;
    bool changed = CheckText(owner, text, initial_text_, cancelled_, value);
    if (edit_ && IsWindow(edit_))
        ShowWindow(edit_, SW_HIDE);
    Commit(value, changed);
    return true;
}

void MsiStringFieldEditor::EditMultiLine()
{
    InPlaceEditorPtr keep = keep_alive();
    std::wstring text = edit_ && IsWindow(edit_) ? GetWindowTextString(edit_) : initial_text_;
    in_dialog_ = true;
    MultiLineEditDlg dialog;
    bool ok = false;
    try {
        ok = dialog.DoModal(text, parent_);
    } catch (...) {
        in_dialog_ = false;
        throw;
    }
    in_dialog_ = false;
    if (!ok)
        cancelled_ = true;
    SetFocus(parent_);
    EndEdit(ok ? dialog.Text() : initial_text_);
    // Normally gone already: it lost the focus to the dialog. Where it never had the focus, it goes now.
    ending_ = true;
    if (edit_ && !IsWindow(edit_))
        edit_ = nullptr;
    destroy_window(edit_);
}

LRESULT MsiStringFieldEditor::OnKeyDown(WPARAM key, LPARAM lparam)
{
    if (key == VK_RETURN && GetKeyState(VK_SHIFT) < 0) {
        EditMultiLine();
        return 0;
    }
    if (key == 'G' && GetKeyState(VK_CONTROL) < 0) {
        SetWindowTextW(edit_, GenerateGuidString().c_str());
        SendMessageW(edit_, EM_SETSEL, 0, -1);
        return 0;
    }
    return InPlaceTextEditor::OnKeyDown(key, lparam);
}

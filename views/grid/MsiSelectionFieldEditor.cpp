#include "views/grid/MsiSelectionFieldEditor.h"

#include "foundation/WindowText.h"
#include "resources/GridIds.h"

MsiSelectionFieldEditor::MsiSelectionFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table,
                                                 RowIterator row, const MsiFieldDef& def,
                                                 std::set<std::wstring> choices)
    : DialogFieldEditor(L"MsiSelectionFieldEditor", IDD_SELECTION_EDITOR, handler, table, row, def),
      choices_(std::move(choices))
{
    initial_text_ = FieldEditText();
}

void MsiSelectionFieldEditor::OnInitDialog()
{
    HWND combo = Control(IDC_EDITOR_VALUE);
    RECT closed = {};
    GetWindowRect(combo, &closed);
    int height = closed.bottom - closed.top;
    PlaceOverCell(height);
    HideButton(IDOK);
    HideButton(IDCANCEL);
    MoveWindow(combo, 0, 0, DialogWidth(), DialogHeight() * 10, FALSE);
    for (const std::wstring& choice : choices_)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.c_str()));
    SetWindowTextW(combo, initial_text_.c_str());
    last_text_ = initial_text_;
    SetFocus(combo);
    // Dropped down once the dialog shows, so that the list opens below the cell and not at the template.
    PostMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
}

bool MsiSelectionFieldEditor::OnCommand(WORD id, WORD code)
{
    if (id == IDC_EDITOR_VALUE && code == CBN_EDITCHANGE) {
        Complete();
        return true;
    }
    return false;
}

void MsiSelectionFieldEditor::Complete()
{
    HWND combo = Control(IDC_EDITOR_VALUE);
    std::wstring typed = GetWindowTextString(combo);
    bool grew = typed.size() > last_text_.size();
    bool other = typed.compare(0, last_text_.size(), last_text_) != 0;
    // Deleting (the text shrank within what was there) must not complete again what was just removed.
    if ((grew || other) && !typed.empty()) {
        int first = static_cast<int>(SendMessageW(combo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(typed.c_str())));
        int at = first;
        while (at != CB_ERR) {
            std::wstring item = GetComboBoxItemText(combo, at);
            // The control finds without regard to case; the completion keeps the case the user typed.
            if (item.compare(0, typed.size(), typed) == 0) {
                SendMessageW(combo, CB_SETCURSEL, at, 0);
                SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(typed.size(), -1));
            }
            at = static_cast<int>(
                SendMessageW(combo, CB_FINDSTRING, at, reinterpret_cast<LPARAM>(typed.c_str())));
            if (at == first)
                break;
        }
    }
    last_text_ = typed;
}

bool MsiSelectionFieldEditor::EndEdit(const std::wstring& text)
{
    if (ending_ || HasCommitted())
        return true;
    InPlaceEditorPtr keep = keep_alive();
    EndDialogOnce();
    MsiFieldDataRef value;
    bool changed = CheckText(list_, text, initial_text_, cancelled_, value);
    Commit(value, changed);
    RepaintCell();
    return true;
}

#include "views/grid/DialogFieldEditor.h"

#include "foundation/Prompt.h"
#include "foundation/WindowText.h"
#include "resources/GridIds.h"

DialogFieldEditor::DialogFieldEditor(const wchar_t* name, int resource, MsiFieldEditorHandler& handler,
                                     MsiTable& table, RowIterator row, const MsiFieldDef& def)
    : Dialog(name), MsiFieldEditor(handler, table, row, def), resource_(resource)
{
}

DialogFieldEditor::~DialogFieldEditor() = default;

void DialogFieldEditor::BeginEdit(HWND list, const RECT& cell)
{
    InPlaceEditorPtr keep = keep_alive();
    list_ = list;
    cell_ = cell;
    run_modal(resource_, list);
    dialog_ = nullptr;
    // The owner comes back active; the keys belong to the list again, as after a text edit.
    if (IsWindow(list))
        SetFocus(list);
    // A dialog that went away without an ending of its own (its owner was destroyed) still tells the
    // handler once.
    if (!HasCommitted())
        Commit(MsiFieldDataRef(), false);
}

INT_PTR DialogFieldEditor::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        dialog_ = dialog;
        OnInitDialog();
        return FALSE; // the value control has the focus
    case WM_COMMAND: {
        WORD id = LOWORD(wparam);
        WORD code = HIWORD(wparam);
        if (id == IDOK && code == BN_CLICKED) {
            if (!ending_)
                OnOk();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED) {
            if (!ending_)
                OnCancel();
            return TRUE;
        }
        return !ending_ && OnCommand(id, code) ? TRUE : FALSE;
    }
    case WM_NCACTIVATE:
        if (!wparam && !ending_ && !busy_)
            OnDeactivate();
        return FALSE;
    }
    (void)lparam;
    return FALSE;
}

void DialogFieldEditor::OnOk()
{
    EndEdit(ValueText());
}

void DialogFieldEditor::OnCancel()
{
    cancelled_ = true;
    EndEdit(initial_text_);
}

void DialogFieldEditor::OnDeactivate()
{
    OnOk();
}

bool DialogFieldEditor::OnCommand(WORD, WORD)
{
    return false;
}

std::wstring DialogFieldEditor::ToolTipFor(int)
{
    return std::wstring();
}

void DialogFieldEditor::EndDialogOnce()
{
    ending_ = true;
    if (dialog_)
        EndDialog(dialog_, cancelled_ ? IDCANCEL : IDOK);
}

std::wstring DialogFieldEditor::ValueText() const
{
    return GetWindowTextString(Control(IDC_EDITOR_VALUE));
}

void DialogFieldEditor::PlaceOverCell(int height)
{
    RECT client = {};
    GetClientRect(list_, &client);
    POINT corner = {cell_.left + 2, cell_.top - 2};
    ClientToScreen(list_, &corner);
    int width = client.right - (cell_.left + 2);
    SetWindowPos(dialog_, nullptr, corner.x, corner.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

int DialogFieldEditor::DialogWidth() const
{
    RECT client = {};
    GetClientRect(dialog_, &client);
    return client.right;
}

int DialogFieldEditor::DialogHeight() const
{
    RECT client = {};
    GetClientRect(dialog_, &client);
    return client.bottom;
}

void DialogFieldEditor::HideButton(int id)
{
    MoveWindow(Control(id), -10, -10, 10, 10, FALSE);
}

void DialogFieldEditor::AddToolTips(std::initializer_list<int> controls)
{
    tooltip_.Create(this);
    for (int id : controls)
        tooltip_.AddTool(Control(id));
}

void DialogFieldEditor::RepaintCell()
{
    if (list_ && IsWindow(list_))
        InvalidateRect(list_, &cell_, TRUE);
}

int DialogFieldEditor::Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)
{
    Busy busy(*this);
    return ShowMessageBox(owner, text, caption, flags);
}

void DialogFieldEditor::GetToolTipText(NMTTDISPINFOW* info)
{
    tooltip_text_ = ToolTipFor(GetDlgCtrlID(reinterpret_cast<HWND>(info->hdr.idFrom)));
    info->lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
}

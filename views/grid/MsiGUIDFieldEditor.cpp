#include "views/grid/MsiGUIDFieldEditor.h"
#include "views/grid/GuidText.h"

#include "resources/GridIds.h"

namespace {

// The open GUID editor of this thread; only one editor is open at a time.
thread_local MsiGUIDFieldEditor* t_open_editor = nullptr;

} // namespace

MsiGUIDFieldEditor::MsiGUIDFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                       const MsiFieldDef& def)
    : DialogFieldEditor(L"MsiGUIDFieldEditor", IDD_GUID_EDITOR, handler, table, row, def)
{
    initial_text_ = FieldEditText();
}

MsiGUIDFieldEditor::~MsiGUIDFieldEditor()
{
    Unhook();
}

void MsiGUIDFieldEditor::BeginEdit(HWND list, const RECT& cell)
{
    try {
        DialogFieldEditor::BeginEdit(list, cell);
    } catch (...) {
        Unhook();
        throw;
    }
    Unhook();
}

void MsiGUIDFieldEditor::OnInitDialog()
{
    PlaceOverCell(CellHeight() + 4);
    HideButton(IDOK);
    HideButton(IDCANCEL);
    int width = DialogWidth();
    int side = DialogHeight();
    MoveWindow(Control(IDC_EDITOR_VALUE), 0, 0, width - side, side, FALSE);
    MoveWindow(Control(IDC_EDITOR_NEW_GUID), width - side, 0, side, side, FALSE);
    HWND edit = Control(IDC_EDITOR_VALUE);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);
    SetWindowTextW(edit, initial_text_.c_str());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
    Unhook();
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
    if (!hook_)
        tfc::throw_last_error(L"SetWindowsHookEx");
    t_open_editor = this;
}

bool MsiGUIDFieldEditor::OnCommand(WORD id, WORD code)
{
    if (id == IDC_EDITOR_NEW_GUID && code == BN_CLICKED) {
        NewGuid();
        return true;
    }
    return false;
}

void MsiGUIDFieldEditor::NewGuid()
{
    HWND edit = Control(IDC_EDITOR_VALUE);
    SetWindowTextW(edit, GenerateGuidString().c_str());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

bool MsiGUIDFieldEditor::EndEdit(const std::wstring& text)
{
    if (ending_ || HasCommitted())
        return true;
    InPlaceEditorPtr keep = keep_alive();
    Unhook();
    EndDialogOnce();
    MsiFieldDataRef value;
    bool changed = CheckText(list_, text, initial_text_, cancelled_, value);
    Commit(value, changed);
    RepaintCell();
    return true;
}

void MsiGUIDFieldEditor::Unhook()
{
    if (t_open_editor == this)
        t_open_editor = nullptr;
    if (hook_) {
        UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
}

LRESULT CALLBACK MsiGUIDFieldEditor::GetMessageHook(int code, WPARAM wparam, LPARAM lparam)
{
    MsiGUIDFieldEditor* editor = t_open_editor;
    if (code == HC_ACTION && wparam == PM_REMOVE && editor && editor->dialog_) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == WM_KEYDOWN && message->wParam == 'G' && GetKeyState(VK_CONTROL) < 0 &&
            message->hwnd == editor->Control(IDC_EDITOR_VALUE)) {
            try {
                editor->NewGuid();
            } catch (...) {
                // Nothing may unwind through the hook; the key is dropped and the text stays as it was.
            }
            message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

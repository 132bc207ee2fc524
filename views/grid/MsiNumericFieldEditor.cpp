#include "views/grid/MsiNumericFieldEditor.h"
#include "views/grid/FlagsMenu.h"
#include "views/grid/NumericText.h"

#include "resources/GridIds.h"
#include "foundation/Options.h"

MsiNumericFieldEditor::MsiNumericFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                             const MsiFieldDef& def)
    : MsiNumericFieldEditor(L"MsiNumericFieldEditor", IDD_NUMERIC_EDITOR, handler, table, row, def)
{
}

MsiNumericFieldEditor::MsiNumericFieldEditor(const wchar_t* name, int resource,
                                             MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                             const MsiFieldDef& def)
    : DialogFieldEditor(name, resource, handler, table, row, def)
{
    radix_ = GetNumericDisplayFormat(def.field_schema().get()) == FieldCategory::Hex ? 16 : 10;
    const MsiFieldDataRef& field = Field();
    // 0x80000000 is what the installer gives for null; the column shows it as null too.
    had_value_ = field && !field->is_null() && field->integer() != INT32_MIN;
    if (had_value_) {
        old_value_ = field->integer();
        initial_text_ = FormatNumericValue(old_value_, radix_, def.width());
    }
}

void MsiNumericFieldEditor::OnInitDialog()
{
    HWND edit = Control(IDC_EDITOR_VALUE);
    HWND button = Control(IDC_EDITOR_RADIX);
    RECT edit_rect = {};
    RECT button_rect = {};
    GetWindowRect(edit, &edit_rect);
    GetWindowRect(button, &button_rect);
    int height = edit_rect.bottom - edit_rect.top;
    int button_width = button_rect.right - button_rect.left;
    PlaceOverCell(height);
    HideButton(IDOK);
    HideButton(IDCANCEL);
    int width = DialogWidth();
    int client_height = DialogHeight();
    MoveWindow(button, width - button_width, 0, button_width, client_height, FALSE);
    MoveWindow(edit, 0, 0, width - button_width, client_height, FALSE);
    UpdateButtonText();
    AddToolTips({IDC_EDITOR_RADIX});
    SetWindowTextW(edit, initial_text_.c_str());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

void MsiNumericFieldEditor::UpdateButtonText()
{
    SetWindowTextW(Control(IDC_EDITOR_RADIX), radix_ == 16 ? L"Dec" : L"Hex");
}

std::wstring MsiNumericFieldEditor::ToolTipFor(int control_id)
{
    if (control_id != IDC_EDITOR_RADIX)
        return std::wstring();
    return radix_ != 16 ? L"Edit as a hexadecimal number" : L"Edit as a decimal number";
}

bool MsiNumericFieldEditor::OnCommand(WORD id, WORD code)
{
    if (id == IDC_EDITOR_RADIX && code == BN_CLICKED) {
        ToggleRadix();
        return true;
    }
    return false;
}

bool MsiNumericFieldEditor::ReadEdit(int empty_value, int& value)
{
    std::wstring text = ValueText();
    if (text.empty()) {
        value = empty_value;
        return true;
    }
    Busy busy(*this);
    return ParseNumericValue(text, radix_, GetFieldDef().width(), dialog_, value);
}

void MsiNumericFieldEditor::SetRadix(int radix)
{
    if (ValueText().empty()) {
        radix_ = radix;
        UpdateButtonText();
        return;
    }
    int value = 0;
    if (!ReadEdit(0, value))
        return;
    radix_ = radix;
    SetWindowTextW(Control(IDC_EDITOR_VALUE),
                   FormatNumericValue(value, radix_, GetFieldDef().width()).c_str());
    UpdateButtonText();
}

bool MsiNumericFieldEditor::EndEdit(const std::wstring& text)
{
    if (ending_ || HasCommitted())
        return true;
    InPlaceEditorPtr keep = keep_alive();
    EndDialogOnce();
    const MsiFieldDef& def = GetFieldDef();
    HWND owner = list_;
    MsiFieldDataRef value;
    bool changed = false;
    if (!cancelled_) {
        std::wstring error;
        if (!text.empty()) {
            int number = 0;
            // The parser tells the user what is wrong; the edit then ends unchanged.
            if (ParseNumericValue(text, radix_, def.width(), owner, number)) {
                // Against the stored number, not the first text: a radix switch must not hide a change.
                changed = !had_value_ || number != old_value_;
                value = MakeIntegerFieldData(number);
            }
        } else if (def.nullable()) {
            changed = had_value_;
            value = MakeNullFieldData();
        } else {
            error = L"The field must contain a value";
        }
        if (error.empty() && changed)
            error = Validate(value);
        if (!error.empty()) {
            Prompt(owner, error, L"Invalid Data", MB_OK);
            changed = false;
        }
    }
    Commit(value, changed);
    RepaintCell();
    return true;
}

// Bit flags.

MsiBitFlagsFieldEditor::MsiBitFlagsFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table,
                                               RowIterator row, const MsiFieldDef& def)
    : MsiNumericFieldEditor(L"MsiBitFlagsFieldEditor", IDD_BITFLAGS_EDITOR, handler, table, row, def)
{
}

std::wstring MsiBitFlagsFieldEditor::ToolTipFor(int control_id)
{
    return control_id == IDC_EDITOR_FLAGS ? L"Edit the bit flags directly" : std::wstring();
}

bool MsiBitFlagsFieldEditor::OnCommand(WORD id, WORD code)
{
    if (id == IDC_EDITOR_FLAGS && code == BN_CLICKED) {
        ShowFlagsMenu();
        return true;
    }
    return false;
}

HMENU MsiBitFlagsFieldEditor::BuildFlagsMenu(int value) const
{
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING | (radix_ == 10 ? MF_CHECKED : 0), flags_menu::kDecimalCommand, L"Dec");
    AppendMenuW(menu, MF_STRING | (radix_ == 16 ? MF_CHECKED : 0), flags_menu::kHexCommand, L"Hex");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    const MsiFieldSchema* schema = GetFieldDef().field_schema().get();
    if (!schema)
        return menu;
    for (const flags_menu::Entry& entry : flags_menu::BuildEntries(
             schema->named_values, value, GetFieldDef().width(), gOptions.bit_flags_menu_numbers)) {
        if (entry.separator)
            AppendMenuW(menu, MF_SEPARATOR, entry.command, nullptr);
        else
            AppendMenuW(menu, MF_STRING | (entry.checked ? MF_CHECKED : 0), entry.command,
                        entry.text.c_str());
    }
    return menu;
}

void MsiBitFlagsFieldEditor::ApplyMenuCommand(UINT command)
{
    if (command == flags_menu::kDecimalCommand || command == flags_menu::kHexCommand) {
        SetRadix(command == flags_menu::kHexCommand ? 16 : 10);
        return;
    }
    const MsiFieldSchema* schema = GetFieldDef().field_schema().get();
    if (!schema || command == 0 || command > schema->named_values.size())
        return;
    const NamedValue& named = schema->named_values[command - 1];
    if (named.is_separator())
        return;
    int value = 0;
    if (!ReadEdit(0, value))
        return;
    value = flags_menu::Apply(value, named, flags_menu::IsChecked(value, named));
    SetWindowTextW(Control(IDC_EDITOR_VALUE),
                   FormatNumericValue(value, radix_, GetFieldDef().width()).c_str());
}

void MsiBitFlagsFieldEditor::ShowFlagsMenu()
{
    int value = 0;
    if (!ReadEdit(0, value))
        return;
    HMENU menu = BuildFlagsMenu(value);
    RECT button = {};
    GetWindowRect(Control(IDC_EDITOR_FLAGS), &button);
    UINT command;
    {
        // The menu takes the activation while it is open; that must not end the edit.
        Busy busy(*this);
        command = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTALIGN, button.left,
                                                   button.bottom, 0, dialog_, nullptr));
    }
    DestroyMenu(menu);
    if (command)
        ApplyMenuCommand(command);
}

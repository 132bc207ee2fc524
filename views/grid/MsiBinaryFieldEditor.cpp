#include "views/grid/MsiBinaryFieldEditor.h"

#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/TempFiles.h"
#include "model/MsiBinaryData.h"
#include "resources/GridIds.h"

#include <commdlg.h>
#include <shlwapi.h>

MsiBinaryFieldEditor::MsiBinaryFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                           const MsiFieldDef& def, std::wstring initial_path)
    : DialogFieldEditor(L"BinaryFieldEditor", IDD_BINARY_EDITOR, handler, table, row, def)
{
    initial_text_ = std::move(initial_path);
    read_only_ = DatabaseReadOnly();
}

MsiBinaryFieldEditor::~MsiBinaryFieldEditor()
{
    if (arrow_font_)
        DeleteObject(arrow_font_);
}

void MsiBinaryFieldEditor::OnInitDialog()
{
    PlaceOverCell(CellHeight() + 4);
    HideButton(IDCANCEL);
    int width = DialogWidth();
    int side = DialogHeight();
    MoveWindow(Control(IDC_EDITOR_VALUE), 0, 0, width - 3 * side, side, FALSE);
    MoveWindow(Control(IDC_EDITOR_BROWSE), width - 3 * side, 0, side, side, FALSE);
    MoveWindow(Control(IDC_EDITOR_LOAD), width - 2 * side, 0, side, side, FALSE);
    MoveWindow(Control(IDC_EDITOR_SAVE), width - side, 0, side, side, FALSE);

    arrow_font_ =
        CreateFontW(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Times New Roman");
    for (int id : {IDC_EDITOR_LOAD, IDC_EDITOR_SAVE}) {
        if (arrow_font_)
            SendMessageW(Control(id), WM_SETFONT, reinterpret_cast<WPARAM>(arrow_font_), FALSE);
    }
    SetWindowTextW(Control(IDC_EDITOR_LOAD), L"\x2190");
    SetWindowTextW(Control(IDC_EDITOR_SAVE), L"\x2192");
    AddToolTips({IDC_EDITOR_BROWSE, IDC_EDITOR_LOAD, IDC_EDITOR_SAVE});

    HWND edit = Control(IDC_EDITOR_VALUE);
    // Wine's stub answers S_FALSE, which is no failure.
    HRESULT result = SHAutoComplete(edit, SHACF_FILESYSTEM);
    if (FAILED(result))
        throw tfc::Win32Error(static_cast<DWORD>(result), L"SHAutoComplete");
    if (read_only_)
        EnableWindow(Control(IDC_EDITOR_LOAD), FALSE);
    SetWindowTextW(edit, initial_text_.c_str());
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SetFocus(edit);
}

std::wstring MsiBinaryFieldEditor::ToolTipFor(int control_id)
{
    switch (control_id) {
    case IDC_EDITOR_BROWSE:
        return L"Browse for file";
    case IDC_EDITOR_LOAD:
        return L"Load from file";
    case IDC_EDITOR_SAVE:
        return L"Save to file";
    }
    return std::wstring();
}

bool MsiBinaryFieldEditor::OnCommand(WORD id, WORD code)
{
    if (code != BN_CLICKED)
        return false;
    try {
        switch (id) {
        case IDC_EDITOR_BROWSE:
            Browse();
            return true;
        case IDC_EDITOR_LOAD:
            Load();
            return true;
        case IDC_EDITOR_SAVE:
            Save();
            return true;
        }
    } catch (const tfc::ManageableError& error) {
        // Shown here rather than by the dialog's error path, so that the box keeps the dialog open.
        Prompt(dialog_, error.message, error.caption, MB_OK);
        return true;
    }
    return false;
}

void MsiBinaryFieldEditor::OnOk()
{
    // No OK button: Enter is the default button, save.
    Save();
}

void MsiBinaryFieldEditor::OnCancel()
{
    cancelled_ = true;
    result_ = Cancelled;
    EndEdit(std::wstring());
}

void MsiBinaryFieldEditor::OnDeactivate()
{
    OnCancel();
}

void MsiBinaryFieldEditor::Browse()
{
    Busy busy(*this);
    static const wchar_t kFilter[] = L"Binary File\0*.*\0All files\0*.*\0";
    std::wstring filter = FilterText(kFilter);
    std::wstring path =
        BrowseForFile(dialog_, filter, OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, std::wstring(), ValueText());
    if (!path.empty())
        SetWindowTextW(Control(IDC_EDITOR_VALUE), path.c_str());
}

void MsiBinaryFieldEditor::Load()
{
    if (read_only_)
        return;
    std::wstring path = ValueText();
    if (path.empty()) {
        Prompt(dialog_, L"You must specify a path to load from", L"No path specified", MB_OK);
        return;
    }
    if (!FileExists(path)) {
        Prompt(dialog_, L"The file: " + path + L" \ndoes not exist", L"Cannot load file", MB_OK);
        return;
    }
    std::wstring copy = GlobalTempFiles().Create(std::wstring());
    if (!CopyFileW(path.c_str(), copy.c_str(), FALSE))
        throw tfc::ManageableError(L"Could not read the target file. Ensure that the file is accessible.",
                                   L"Failed to copy binary data");
    new_value_ = MsiFieldDataRef(new MsiFieldData());
    FileMd5(copy).StoreInto(*new_value_);
    result_ = Loaded;
    EndEdit(path);
}

void MsiBinaryFieldEditor::Save()
{
    const MsiFieldDataRef& field = Field();
    if (!field || field->is_null()) {
        Prompt(dialog_, L"Cannot save a null binary field", L"No path specified", MB_OK);
        return;
    }
    std::wstring path = ValueText();
    if (path.empty()) {
        Prompt(dialog_, L"You must specify a path to save to", L"No path specified", MB_OK);
        return;
    }
    if (FileExists(path) &&
        Prompt(dialog_, L"Overwrite \"" + path + L"\"?", L"File Exists", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    table_->ExtractCell(*row_, GetFieldDef());
    MsiBinaryData data(*Field());
    if (data.state != MsiBinaryData::Extracted || !CopyFileW(data.path.c_str(), path.c_str(), FALSE))
        throw tfc::ManageableError(L"Could not copy over the target file. Ensure that the file is writable.",
                                   L"Failed to copy binary data to target");
    EndEdit(path);
}

bool MsiBinaryFieldEditor::EndEdit(const std::wstring&)
{
    if (ending_ || HasCommitted())
        return true;
    InPlaceEditorPtr keep = keep_alive();
    EndDialogOnce();
    Commit(result_ == Loaded ? new_value_ : MsiFieldDataRef(), result_ == Loaded);
    RepaintCell();
    return true;
}

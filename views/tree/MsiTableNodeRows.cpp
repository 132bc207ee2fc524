// The table node's row commands: keys, the list and tree menus, the clipboard, adding and deleting rows.
#include "views/tree/MsiTableNode.h"

#include "foundation/PopupMenu.h"
#include "foundation/Clipboard.h"
#include "foundation/ForegroundProgress.h"
#include "foundation/Prompt.h"
#include "frame/FrameWindow.h"
#include "model/MsiFile.h"
#include "resources/NodesIds.h"
#include "views/tree/TableViewsTab.h"
#include "foundation/CsvText.h"
#include "frame/ValidationStore.h"
#include "views/dialogs/AddTableRowDlg.h"
#include "views/dialogs/RowDeletionsDlg.h"
#include "views/grid/GuidText.h"
#include "views/grid/NumericText.h"
#include "views/grid/ObjectWindow.h"

#include <algorithm>
#include <cstring>

namespace {

bool ClipboardHasText()
{
    return IsClipboardFormatAvailable(CF_TEXT) || IsClipboardFormatAvailable(CF_UNICODETEXT) ||
           IsClipboardFormatAvailable(CF_OEMTEXT);
}

// The clipboard's text, with the clipboard closed again before anything else happens: an exception
// while rows are added must never leave it open, which would block every other program. False when
// it offers no text.
bool ReadClipboardText(HWND owner, std::wstring& text)
{
    Clipboard clipboard;
    clipboard.Open(owner);
    if (!ClipboardHasText())
        return false;
    text = clipboard.GetText();
    return true;
}

void PutClipboardText(HWND owner, const std::wstring& text)
{
    Clipboard clipboard;
    clipboard.Open(owner);
    clipboard.SetText(text);
}

} // namespace

LRESULT MsiTableNode::OnKeyDown(ObjectWindow& list, NMLVKEYDOWN* key)
{
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool writable = !IsReadOnly();
    switch (key->wVKey) {
    case VK_DELETE:
        if (writable && !control && !shift)
            DeleteSelectedRows();
        break;
    case 'C':
        if (control)
            shift ? CopyRows() : CopyField();
        break;
    case 'G':
        if (control && !shift && writable)
            NewGuidForField();
        break;
    case 'R':
        if (control && !shift && writable)
            AddRow();
        break;
    case 'V':
        if (control && writable)
            shift ? PasteRows() : PasteField();
        break;
    case 'X':
        if (control && shift && writable)
            CutRows();
        break;
    }
    UpdateLabel(list.GetCurrentColumn());
    return 0;
}

UINT MsiTableNode::TrackMenu(int id, POINT point, const std::function<void(HMENU popup)>& prepare)
{
    return TrackResourceMenu(id, point, GetOwnerWindow(), prepare);
}

void MsiTableNode::OnTreeContextMenu(int x, int y)
{
    bool no_drop = IsReadOnly() || !lookup_->GetTable() || !lookup_->GetTable()->user_table();
    UINT command = TrackMenu(IDM_TABLE_TREE_MENU, POINT{x, y}, [no_drop](HMENU popup) {
        if (no_drop)
            EnableMenuItem(popup, ID_TABLE_DROP, MF_BYCOMMAND | MF_GRAYED);
    });
    if (command == ID_TABLE_EXPORT)
        tab_->ExportTable(lookup_->GetTableName(), std::wstring());
    else if (command == ID_TABLE_DROP)
        tab_->DropTable(this);
}

POINT MsiTableNode::ListMenuPoint(ObjectWindow& list, int x, int y)
{
    HWND window = list.GetWindowHandle();
    POINT point = {x, y};
    if (static_cast<short>(x) == -1 || static_cast<short>(y) == -1) {
        point = POINT{0, 0};
        int focused = list.GetFocusedItem();
        RECT rect = {};
        rect.top = std::max(0, list.GetCurrentColumn());
        rect.left = LVIR_LABEL;
        if (focused >= 0 &&
            SendMessageW(window, LVM_GETSUBITEMRECT, focused, reinterpret_cast<LPARAM>(&rect)))
            point = POINT{rect.left, rect.top};
        ClientToScreen(window, &point);
        return point;
    }
    LVHITTESTINFO hit = {};
    hit.pt = point;
    ScreenToClient(window, &hit.pt);
    SendMessageW(window, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem >= 0 && hit.iSubItem != list.GetCurrentColumn()) {
        list.SetCurrentColumn(hit.iSubItem);
        list.RedrawItem(hit.iItem);
    }
    return point;
}

void MsiTableNode::SetEditingItemsState(HMENU popup, bool grey)
{
    if (!grey)
        return;
    for (UINT id : {ID_ROWS_CUT, ID_ROWS_PASTE, ID_ROWS_ADD, ID_ROWS_DELETE})
        EnableMenuItem(popup, id, MF_BYCOMMAND | MF_GRAYED);
}

LRESULT MsiTableNode::OnContextMenu(ObjectWindow& list, HWND, int x, int y)
{
    POINT point = ListMenuPoint(list, x, y);
    bool grey = IsReadOnly();
    UINT command = TrackMenu(IDM_TABLE_LIST_MENU, point,
                             [this, grey](HMENU popup) { SetEditingItemsState(popup, grey); });
    if (command)
        OnListCommand(command, point);
    return 0;
}

bool MsiTableNode::OnListCommand(UINT id, POINT point)
{
    bool writable = !IsReadOnly();
    switch (id) {
    case ID_ROWS_CUT:
        if (writable)
            CutRows();
        return true;
    case ID_ROWS_COPY:
        CopyRows();
        return true;
    case ID_ROWS_PASTE:
        if (writable)
            PasteRows();
        return true;
    case ID_ROWS_ADD:
        if (writable)
            AddRow();
        return true;
    case ID_ROWS_DELETE:
        if (writable)
            DeleteSelectedRows();
        return true;
    case ID_ROWS_SHOW_ERRORS:
        ShowValidationErrors(point);
        return true;
    }
    return false;
}

void MsiTableNode::CopyRows()
{
    ObjectWindow* list = List();
    std::wstring text;
    for (int position : list->GetSelectedItems())
        text += lookup_->GetRowClipboardText(position, SortColumn()) + L"\r\n";
    PutClipboardText(list->GetWindowHandle(), text);
}

void MsiTableNode::CopyField()
{
    ObjectWindow* list = List();
    int item = list->GetFocusedItem();
    int column = list->GetCurrentColumn();
    if (item < 0 || item >= lookup_->RowCount() || column < 0 || column >= lookup_->ColumnCount())
        return;
    PutClipboardText(list->GetWindowHandle(), lookup_->GetCellClipboardText(column, item, SortColumn()));
}

void MsiTableNode::CutRows()
{
    CopyRows();
    DeleteSelectedRows();
}

void MsiTableNode::DeleteSelectedRows()
{
    ObjectWindow* list = List();
    std::vector<int> selected = list->GetSelectedItems();
    if (selected.empty())
        return;
    int sort = SortColumn();
    std::vector<RowIterator> rows;
    for (int position : selected) {
        if (RowExists(position))
            rows.push_back(lookup_->GetIndexedRow(position, sort));
    }
    if (tab_->GetMsiFile().relationships().IsEnabled()) {
        if (!rows.empty() && RunCascadeDeletion(rows)) {
            list->SetSelection({});
            Refresh(true);
        }
        return;
    }
    if (ShowMessageBox(GetOwnerWindow(), L"Do you wish to permanently delete the selected row(s)?",
                       L"Delete Row(s)?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    if (rows.empty()) {
        ShowMessageBox(GetOwnerWindow(), L"None of the selected rows exist in the file being edited.",
                       L"Rows already deleted", MB_OK);
        return;
    }
    // In one go, so that the lookup's Indexes are mended once, not once a row. A comparison view keeps a
    // row that the base still has (shown removed), so the count of deletions, not the drop in rows, says
    // whether anything was deleted.
    FrameWindow* frame = tab_->GetMainWindow();
    ForegroundProgress progress(frame ? &frame->GetProgressWindow() : nullptr, GetOwnerWindow(),
                                L"Deleting rows");
    int total = static_cast<int>(rows.size());
    int deleted = 0;
    try {
        lookup_->DeleteRows(rows, [&](int count) {
            deleted = count;
            return progress.Step(static_cast<size_t>(count), static_cast<size_t>(total),
                                 L"Deleting row " + std::to_wstring(count) + L" of " +
                                     std::to_wstring(total));
        });
    } catch (...) {
        if (deleted) {
            list->SetSelection({});
            Refresh(true);
        }
        throw;
    }
    list->SetSelection({});
    Refresh(true);
}

void MsiTableNode::NewGuidForField()
{
    ObjectWindow* list = List();
    int item = list->GetFocusedItem();
    int column = list->GetCurrentColumn();
    bool usable =
        item >= 0 &&
        (SendMessageW(list->GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED) &&
        column >= 0 && column < lookup_->ColumnCount() && !IsReadOnly() &&
        lookup_->GetFieldDef(column)->kind() == MsiFieldKind::String && RowExists(item);
    if (!usable) {
        MessageBeep(MB_ICONEXCLAMATION);
        return;
    }
    std::wstring guid;
    try {
        guid = GenerateGuidString();
    } catch (const std::exception& error) {
        std::wstring reason(error.what(), error.what() + strlen(error.what()));
        ShowMessageBox(GetOwnerWindow(), L"Failed to generate new guid for the current field: " + reason,
                       std::wstring(), MB_OK | MB_ICONERROR);
        return;
    }
    MsiFieldDefRef def = lookup_->GetFieldDef(column);
    RowIterator row = lookup_->GetIndexedRow(item, SortColumn());
    SetLookupEditHandler(lookup_, this);
    lookup_->CommitFieldValue(*def, row, MsiFieldDataRef(new MsiFieldData(guid)), true);
}

void MsiTableNode::PasteField()
{
    ObjectWindow* list = List();
    int item = list->GetFocusedItem();
    int column = list->GetCurrentColumn();
    if (item < 0 || column < 0 || column >= lookup_->ColumnCount() || IsReadOnly() || !RowExists(item) ||
        !(SendMessageW(list->GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_SELECTED) & LVIS_SELECTED))
        return;
    std::wstring text;
    if (!ReadClipboardText(list->GetWindowHandle(), text))
        return;
    MsiFieldDefRef def = lookup_->GetFieldDef(column);
    std::wstring error = L"The pasted value is invalid for this field.";
    MsiFieldDataRef value;
    const wchar_t* empty_refused =
        L"Cannot paste an empty string into this field as it requires a non-null value";
    switch (def->kind()) {
    case MsiFieldKind::Integer:
        if (text.empty()) {
            if (def->nullable())
                value = MakeNullFieldData();
            else
                error = empty_refused;
        } else {
            int number = 0;
            if (!ParseNumericValue(text, 10, def->width(), GetOwnerWindow(), number))
                return;
            value = MakeIntegerFieldData(number);
        }
        break;
    case MsiFieldKind::String:
        if (text.empty()) {
            if (def->nullable())
                value = MakeNullFieldData();
            else
                error = empty_refused;
        } else {
            value = MsiFieldDataRef(new MsiFieldData(text));
        }
        break;
    case MsiFieldKind::Binary:
        ShowMessageBox(GetOwnerWindow(), L"Binary fields cannot be pasted into", L"Invalid field", MB_OK);
        return;
    default:
        return;
    }
    if (value.get()) {
        RowIterator row = lookup_->GetIndexedRow(item, SortColumn());
        error = lookup_->ValidateFieldValue(*def, row, value);
        if (error.empty()) {
            SetLookupEditHandler(lookup_, this);
            lookup_->CommitFieldValue(*def, row, value, true);
        }
    }
    if (!error.empty())
        ShowMessageBox(GetOwnerWindow(), error, L"Invalid clipbaord data", MB_OK);
}

void MsiTableNode::PasteRows()
{
    if (IsReadOnly())
        return;
    std::wstring text;
    if (!ReadClipboardText(List()->GetWindowHandle(), text))
        return;
    AddPastedRows(text);
}

void MsiTableNode::AddPastedRows(const std::wstring& text)
{
    ObjectWindow* list = List();
    CsvRowList rows;
    ParseCsvText(text, rows);
    std::wstring refusal = lookup_->PastedRowsRefusal(rows);
    if (!refusal.empty()) {
        ShowMessageBox(GetOwnerWindow(), refusal, L"Cannot paste rows", MB_OK | MB_ICONERROR);
        return;
    }
    std::vector<int> added;
    // Rows added before a failure stay: the view must show them and the tab must know it changed.
    auto show_added = [&]() {
        list->SetItemCount(lookup_->RowCount());
        if (added.empty())
            return;
        Refresh(true);
        list->SetSelection(added);
        list->FocusItem(added.back());
    };
    try {
        for (const CsvRow& row : rows) {
            if (static_cast<int>(row.size()) != lookup_->TextColumnCount())
                continue;
            int before = lookup_->RowCount();
            lookup_->AddRowFromText(row);
            if (lookup_->RowCount() == before + 1)
                added.push_back(lookup_->RowCount() - 1);
        }
    } catch (...) {
        show_added();
        throw;
    }
    show_added();
}

void MsiTableNode::ShowValidationErrors(POINT screen_point)
{
    ObjectWindow* list = List();
    LVHITTESTINFO hit = {};
    hit.pt = screen_point;
    ScreenToClient(list->GetWindowHandle(), &hit.pt);
    SendMessageW(list->GetWindowHandle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem < 0 || hit.iItem >= lookup_->RowCount() || hit.iSubItem < 0 ||
        hit.iSubItem >= lookup_->ColumnCount())
        return;
    std::wstring text;
    if (const ValidationStore* results = tab_ ? tab_->GetValidationResults() : nullptr)
        text = results->GetFieldMessages(RowLocation(hit.iItem, lookup_->GetFieldDef(hit.iSubItem)->name()));
    ShowMessageBox(list->GetWindowHandle(), text.empty() ? std::wstring(L"No error") : text,
                   L"Validation errors", MB_OK);
}

void MsiTableNode::AddRow()
{
    if (IsReadOnly() || !lookup_->GetTable())
        return;
    AddTableRowDlg dialog(lookup_, GetOwnerWindow());
    if (!dialog.DoModal())
        return;
    dialog.AddToTable();
    Refresh(true);
    ObjectWindow* list = List();
    int last = lookup_->RowCount() - 1;
    if (last >= 0) {
        list->SetSelection({last});
        list->FocusItem(last);
    }
}

bool MsiTableNode::RunCascadeDeletion(const std::vector<RowIterator>& rows)
{
    RowDeletionsDlg::RowList list;
    for (RowIterator row : rows)
        list.emplace_back(lookup_->GetTable(), row);
    RowDeletionsDlg dialog(*tab_, list, tab_);
    return dialog.DoModal();
}

#include "views/dialogs/AddTableRowDlg.h"
#include "views/dialogs/DialogHelpers.h"

#include "foundation/Prompt.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "resources/DialogsIds.h"
#include "views/grid/CreateFieldEditor.h"

AddTableRowDlg::AddTableRowDlg(std::shared_ptr<MsiTableLookupBase> lookup, HWND parent)
    : FormDialog(L"AddTableRowDlg"), lookup_(std::move(lookup)), parent_(parent)
{
    MsiRow row;
    for (int column = 0; column < lookup_->ColumnCount(); ++column)
        row.push_back(MsiFieldDataRef(new MsiFieldData()));
    row_ = AppendRow(row_list_, row);
}

AddTableRowDlg::~AddTableRowDlg() = default;

bool AddTableRowDlg::DoModal()
{
    return run_modal(IDD_NEW_ROW, parent_) == IDC_ROWS_OK;
}

int AddTableRowDlg::FieldCount() const
{
    return lookup_->TextColumnCount();
}

std::vector<MsiFieldDataRef> AddTableRowDlg::GetNewRow() const
{
    return std::vector<MsiFieldDataRef>(row_->begin(), row_->begin() + FieldCount());
}

void AddTableRowDlg::AddToTable()
{
    lookup_->AddRow(GetNewRow());
}

LRESULT AddTableRowDlg::OnNotify(NMHDR* header)
{
    return header->hwndFrom == list_.GetWindowHandle() ? list_.OnNotify(header) : 0;
}

BOOL AddTableRowDlg::OnInitDialog()
{
    list_.AttachControl(GetDlgItem(dialog_, IDC_NEW_ROW_LIST), nullptr);
    list_.SetHandler(this, {L"Field Name", L"Value"}, lookup_->ColumnCount(), -1, 0);
    HWND list = list_.GetWindowHandle();
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, width + 10);
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE_USEHEADER);
    if (lookup_->ColumnCount() > 0) {
        list_.SetSelection({0});
        list_.SetCurrentColumn(1);
        list_.FocusItem(0);
    }
    SetFocus(list);
    return FALSE;
}

LRESULT AddTableRowDlg::GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT) || info->item.iItem < 0 || info->item.iItem >= lookup_->ColumnCount())
        return 0;
    MsiFieldDefRef def = lookup_->GetFieldDef(info->item.iItem);
    if (info->item.iSubItem == 0)
        SetDispText(info, def->description());
    else
        SetDispText(info, def->display_str(*row_->at(static_cast<size_t>(info->item.iItem))));
    return 0;
}

LRESULT AddTableRowDlg::OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        LRESULT result = CDRF_DODEFAULT;
        if (list.DrawCellHighlight(draw, result) && result == CDRF_SKIPDEFAULT)
            return result;
        int item = static_cast<int>(draw->nmcd.dwItemSpec);
        if (draw->iSubItem == 1 && item < FieldCount() &&
            !lookup_->GetFieldDef(item)->validate(*row_->at(static_cast<size_t>(item))).empty())
            draw->clrText = RGB(255, 147, 128);
        return result;
    }
    }
    return CDRF_DODEFAULT;
}

InPlaceEditorPtr AddTableRowDlg::CreateEditor(ObjectWindow& list, int item, int column)
{
    if (column == 0) {
        list.SetCurrentColumn(1);
        list.RedrawItem(list.GetFocusedItem());
        return {};
    }
    // A computed line (the Directory view's target path) is no column of the table.
    if (item < 0 || item >= FieldCount())
        return {};
    InPlaceEditorPtr editor =
        CreateFieldEditor(*this, *lookup_->GetTable(), row_, *lookup_->GetFieldDef(item));
    editing_ = editor != nullptr;
    return editor;
}

std::wstring AddTableRowDlg::ValidateFieldValue(const MsiFieldDef& def, RowIterator,
                                                const MsiFieldDataRef& value)
{
    return lookup_->CodePageProblem(def, value);
}

void AddTableRowDlg::CommitFieldValue(const MsiFieldDef& def, RowIterator, const MsiFieldDataRef& value,
                                      bool changed)
{
    editing_ = false;
    size_t index = static_cast<size_t>(def.column_index());
    if (changed && index < row_->size())
        (*row_)[index] = value ? value : MsiFieldDataRef(new MsiFieldData());
    int focused = list_.GetFocusedItem();
    if (focused >= 0 && focused + 1 < list_.GetItemCount()) {
        list_.SetSelection({focused + 1});
        list_.FocusItem(focused + 1);
    }
    InvalidateRect(list_.GetWindowHandle(), nullptr, FALSE);
}

bool AddTableRowDlg::OnCommand(int id)
{
    if (id == IDOK)
        OnEnter();
    else if (id == IDC_ROWS_OK)
        OnOk();
    else
        return false;
    return true;
}

void AddTableRowDlg::OnEnter()
{
    if (editing_)
        SetFocus(list_.GetWindowHandle());
    else
        list_.HandleKey(VK_RETURN, false);
}

void AddTableRowDlg::OnCancel()
{
    if (editing_)
        SetFocus(list_.GetWindowHandle());
    else
        EndDialog(dialog_, IDCANCEL);
}

void AddTableRowDlg::OnOk()
{
    std::wstring errors;
    for (int column = 0; column < FieldCount(); ++column) {
        MsiFieldDefRef def = lookup_->GetFieldDef(column);
        MsiValidation messages = def->validate(*row_->at(static_cast<size_t>(column)));
        if (messages.empty())
            continue;
        errors += L"Field " + def->name() + L" has error(s):\r\n";
        for (const auto& message : messages)
            errors += L"\t" + message.second + L"\r\n";
    }
    if (!errors.empty()) {
        ShowMessageBox(dialog_, errors, DialogAppName(), MB_ICONERROR);
        return;
    }
    std::wstring refusal = lookup_->NewRowRefusal(GetNewRow());
    if (!refusal.empty()) {
        ShowMessageBox(dialog_, refusal, DialogAppName(), MB_ICONERROR);
        return;
    }
    std::vector<std::wstring> key = lookup_->GetTable()->KeyValues(*row_);
    if (lookup_->FindEditableRow(key, 0) != lookup_->RowCount()) {
        ShowMessageBox(dialog_, L"Adding this row would result in a duplicate row", L"", MB_OK);
        return;
    }
    EndDialog(dialog_, IDC_ROWS_OK);
}

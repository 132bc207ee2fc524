#include "views/dialogs/RowChangeDlg.h"
#include "views/dialogs/DialogHelpers.h"

#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "resources/DialogsIds.h"
#include "views/tree/TableViewsTab.h"
#include "views/dialogs/ReferenceRewrite.h"

namespace {

// The rewriting the lookup applies once the edited cell is stored; it holds the dialog's chosen rows.
class ChosenRowsUpdate : public ReferencingRowsUpdate
{
public:
    explicit ChosenRowsUpdate(std::unique_ptr<RowChangeDlg> dialog) : dialog_(std::move(dialog)) {}
    bool Apply() override { return dialog_->ApplyChanges(); }

private:
    std::unique_ptr<RowChangeDlg> dialog_;
};

std::wstring DisplayText(const MsiFieldDef& def, const MsiFieldDataRef& value)
{
    return value ? def.display_str(*value) : std::wstring();
}

} // namespace

RowChangeDlg::RowChangeDlg(TableViewsTab& owner, MsiTable& table, RowIterator row, int column,
                           MsiFieldDataRef new_value, HWND parent)
    : FormDialog(L"RowChangeDlg"), owner_(owner), table_(table), row_(row), column_(column),
      new_value_(std::move(new_value)), parent_(parent)
{
    const MsiFieldDef& def = *table_.columns().at(static_cast<size_t>(column_));
    // Taken now: by the time ApplyChanges runs, the row holds the new value.
    old_key_ = DisplayText(def, row_->at(static_cast<size_t>(column_)));
    new_key_ = DisplayText(def, new_value_);
}

RowChangeDlg::~RowChangeDlg() = default;

bool RowChangeDlg::DoModal()
{
    if (!owner_.GetMsiFile().relationships().IsEnabled())
        return true;
    return run_modal(IDD_UPDATE_REFERENCING_ROWS, parent_ ? parent_ : owner_.GetWindowHandle()) ==
           IDC_ROWS_OK;
}

bool RowChangeDlg::Confirm(TableViewsTab& owner, MsiTable& table, RowIterator row, int column,
                           const MsiFieldDataRef& new_value, HWND parent,
                           std::unique_ptr<ReferencingRowsUpdate>& update)
{
    auto dialog = std::make_unique<RowChangeDlg>(owner, table, row, column, new_value, parent);
    if (!dialog->DoModal())
        return false;
    if (!dialog->GetChosenRows().empty())
        update = std::make_unique<ChosenRowsUpdate>(std::move(dialog));
    return true;
}

LRESULT RowChangeDlg::OnNotify(NMHDR* header)
{
    return header->hwndFrom == list_.GetListWindow() ? list_.OnListNotify(header) : 0;
}

BOOL RowChangeDlg::OnInitDialog()
{
    HWND dialog = dialog_;
    TableViewsTab* owner = &owner_;
    list_.Create(dialog, GetDlgItem(dialog, IDC_ROWS_PLACEHOLDER), owner_.GetImageList(),
                 [owner]() { return owner; });
    if (table_.columns().at(static_cast<size_t>(column_))->field_schema())
        list_.ShowFieldLinks(owner_.GetMsiFile(), table_, row_, column_);
    if (list_.GetLineCount() == 0) {
        // Nothing refers to the field: the change goes on without asking.
        EndDialog(dialog, IDC_ROWS_OK);
        return TRUE;
    }
    SelectAll();
    SetFocus(list_.GetListWindow());
    return FALSE;
}

bool RowChangeDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_SELECT_ALL:
        SelectAll();
        return true;
    case IDC_TOGGLE:
        Toggle();
        return true;
    case IDC_ROWS_OK:
        OnOk();
        return true;
    }
    return false;
}

void RowChangeDlg::SelectAll()
{
    for (int item = 0; item < list_.GetLineCount(); ++item)
        list_.SetCheck(item, true);
}

void RowChangeDlg::Toggle()
{
    for (int item = 0; item < list_.GetLineCount(); ++item)
        list_.SetCheck(item, list_.IsUnchecked(item));
}

void RowChangeDlg::OnOk()
{
    WaitCursor wait;
    chosen_.clear();
    for (int item = 0; item < list_.GetLineCount(); ++item) {
        if (!list_.IsChecked(item))
            continue;
        // The line's own record, never its shown text: keys may hold "|" or be longer than any buffer.
        FieldRowLinksWindow::Entry entry = list_.GetEntry(item);
        std::shared_ptr<MsiTableLookupBase> lookup = owner_.GetTableLookup(entry.table_name);
        if (!lookup)
            continue;
        int position = lookup->FindEditableRow(entry.key, 0);
        if (position == lookup->RowCount())
            continue;
        chosen_.push_back(
            ChosenRow{entry.relationship, lookup->GetTable(), lookup->GetIndexedRow(position, 0)});
    }
    EndDialog(dialog_, IDC_ROWS_OK);
}

bool RowChangeDlg::ApplyChanges()
{
    WaitCursor wait;
    bool written = false;
    int count = static_cast<int>(chosen_.size());
    for (int i = 0; i < count; ++i) {
        const ChosenRow& chosen = chosen_[static_cast<size_t>(i)];
        std::wstring key = chosen.table->RowKeyText(*chosen.row);
        std::wstring status;
        tfc::Format(L"Updating row %i of %i: ", status)
            << static_cast<long>(i + 1) << static_cast<long>(count);
        owner_.SetStatusText(status + chosen.table->name() + L" " + key, 0);
        if (ApplyTo(chosen))
            written = true;
    }
    return written;
}

bool RowChangeDlg::ApplyTo(const ChosenRow& chosen)
{
    if (!chosen.relationship)
        return false;
    MsiFile& file = owner_.GetMsiFile();
    MsiTable& referring = *chosen.table;
    bool written = false;
    if (chosen.relationship->kind() != RelationshipKind::Formatted) {
        const std::wstring& changed_name = table_.columns().at(static_cast<size_t>(column_))->name();
        for (const RelationshipDef::ColumnPair& pair : chosen.relationship->pairs()) {
            if (pair.second->table() != table_.name() || pair.second->column() != changed_name)
                continue;
            MsiFieldDefRef target = referring.FindColumn(pair.first->column());
            if (!target)
                continue;
            referring.ExtractRowBinaries(*chosen.row);
            file.ModifyRow(referring, *target, chosen.row, target->clone_data(*new_value_));
            written = true;
        }
        return written;
    }
    for (const MsiFieldDefRef& def : referring.columns()) {
        if (def->kind() != MsiFieldKind::String)
            continue;
        const MsiFieldDataRef& cell = chosen.row->at(static_cast<size_t>(def->column_index()));
        if (!cell || cell->is_null())
            continue;
        std::wstring text = def->display_str(*cell);
        std::wstring rewritten =
            reference_rewrite::RewriteReferences(text, table_.name(), old_key_, new_key_);
        if (rewritten == text)
            continue;
        MsiFieldDataRef value = def->clone_data(*cell);
        def->set_field_data(*value, rewritten);
        referring.ExtractRowBinaries(*chosen.row);
        file.ModifyRow(referring, *def, chosen.row, value);
        written = true;
    }
    return written;
}

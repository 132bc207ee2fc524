// Edits of a transform view go to the transformed table; the key map follows them, and follows the
// transformed table's events for changes made elsewhere. Without an owner node (a lookup handed out for
// one search) an edit is made as a plain table lookup makes it: nothing is asked and nothing selected.
#include "model/lookups/CellAppearance.h"
#include "model/lookups/FieldEditorFactory.h"
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "model/lookups/RowFromText.h"
#include "foundation/Errors.h"
#include "foundation/Prompt.h"

#include <algorithm>
#include <map>
#include <set>
#include <commctrl.h>
#include <stdexcept>

HWND MsiDiffTableLookupBasic::MessageOwner() const
{
    return owner_node_ ? owner_node_->GetOwnerWindow() : nullptr;
}

void MsiDiffTableLookupBasic::RefuseEdit(const wchar_t* message, const wchar_t* caption) const
{
    ShowMessageBox(MessageOwner(), message, caption, MB_OK);
}

bool MsiDiffTableLookupBasic::notify(MsiTable* const&, const MsiFile::TableEventArg& arg, Engine&)
{
    MsiFile::TableEvents event = std::get<0>(arg);
    RowIterator row = std::get<1>(arg);
    if (differences_ == Differences::None) {
        if (event == MsiFile::RowModified && modified_since_.size() < 64)
            modified_since_.push_back(transformed_->RowKeyText(*row));
        else if (event != MsiFile::SchemaChanged)
            differences_ = Differences::Unknown;
    }
    switch (event) {
    case MsiFile::RowAdded:
        if (key_map_valid_)
            PlaceTransformedRow(row);
        for (IndexPtr& index : indexes_) {
            if (index)
                index->direction = 0;
        }
        break;
    case MsiFile::RowModified:
    case MsiFile::RowDeleted:
        // The lookup's own change updates the map itself.
        if (pending_ && row == pending_row_)
            break;
        DropIndexes();
        pending_ = false;
        break;
    case MsiFile::SchemaChanged:
        // Rows read afresh: the key map and the Indexes held the old ones.
        ResetIndexes();
        pending_ = false;
        break;
    case MsiFile::TableDropped:
        break;
    }
    return false;
}

void MsiDiffTableLookupBasic::PlaceTransformedRow(RowIterator row)
{
    auto placed = key_map_.emplace(transformed_->RowKeyText(*row), MergedRow());
    MergedRow& merged = placed.first->second;
    merged.transformed = row;
    merged.in_transformed = true;
    if (!placed.second)
        return;
    for (IndexPtr& index : indexes_) {
        if (!index)
            continue;
        index->rows.push_back(placed.first);
        index->Appended();
        index->direction = 0;
    }
}

void MsiDiffTableLookupBasic::RemoveEntry(Entry entry)
{
    for (IndexPtr& index : indexes_) {
        if (!index)
            continue;
        int position = index->PositionOf(entry);
        if (position >= 0) {
            index->rows.erase(index->rows.begin() + position);
            index->Changed();
        }
    }
    key_map_.erase(entry);
}

std::wstring MsiDiffTableLookupBasic::ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                                         const MsiFieldDataRef& value)
{
    if (!transformed_)
        return std::wstring();
    std::wstring problem = CodePageProblem(def, value);
    return problem.empty() ? DuplicateKeyProblem(transformed_->columns(), def, row, value) : problem;
}

void MsiDiffTableLookupBasic::AddRow(const std::vector<MsiFieldDataRef>& values)
{
    if (!transformed_) {
        RefuseEdit(L"This table does not exist in the editable file", L"Add Row");
        return;
    }
    // The new row joins the view through the table event.
    transformed_->owner()->AddRow(*transformed_, MsiRow(values.begin(), values.end()));
}

void MsiDiffTableLookupBasic::AddRowFromText(const std::vector<std::wstring>& texts)
{
    if (!transformed_) {
        RefuseEdit(L"This table does not exist in the editable file", L"Add Row");
        return;
    }
    MsiRow row =
        RowFromTexts(transformed_->columns(), texts, [this](const std::vector<std::wstring>& key_values) {
            return FindEditableRow(key_values, 0) != RowCount();
        });
    AddRow(std::vector<MsiFieldDataRef>(row.begin(), row.end()));
}

void MsiDiffTableLookupBasic::DeleteRow(int sort_column, int position)
{
    Entry entry = EntryAt(position, sort_column);
    if (!transformed_ || !entry->second.in_transformed)
        return;
    RowIterator row = entry->second.transformed;
    pending_ = true;
    pending_row_ = row;
    try {
        transformed_->owner()->DeleteRow(*transformed_, row);
    } catch (...) {
        pending_ = false;
        ResetIndexes();
        throw;
    }
    // An event for another row read both tables again meanwhile: the entry is gone with the old map.
    if (!pending_)
        return;
    pending_ = false;
    if (entry->second.in_base) {
        entry->second.in_transformed = false;
        entry->second.transformed = transformed_->rows().end();
    } else {
        RemoveEntry(entry);
    }
}

void MsiDiffTableLookupBasic::CommitFieldValue(const MsiFieldDef& def, RowIterator row,
                                               const MsiFieldDataRef& value, bool changed)
{
    if (!changed || !transformed_)
        return;
    int count_before = RowCount();
    int sort_column = owner_node_ ? owner_node_->GetListSortColumn() : 0;
    int direction =
        sort_column >= 0 && static_cast<size_t>(sort_column) < indexes_.size() && indexes_[sort_column]
            ? indexes_[sort_column]->direction
            : 0;
    pending_ = true;
    pending_row_ = row;
    std::unique_ptr<ReferencingRowsUpdate> update;
    if (owner_node_ &&
        !owner_node_->ConfirmReferencingRows(*transformed_, row, def.column_index(), value, update)) {
        pending_ = false;
        return;
    }
    bool key = def.is_key();
    if (key && pending_) {
        // The row leaves its entry; it finds its new one once its key is changed.
        int position = FindRow(GetRowKeyValues(row), 0);
        if (position != RowCount()) {
            Entry entry = EntryAt(position, 0);
            if (entry->second.in_base) {
                entry->second.in_transformed = false;
                entry->second.transformed = transformed_->rows().end();
            } else {
                RemoveEntry(entry);
            }
        }
    }
    if (static_cast<size_t>(def.column_index()) < indexes_.size() && indexes_[def.column_index()])
        indexes_[def.column_index()]->direction = 0;
    EnsureKeyMap();
    try {
        transformed_->ExtractRowBinaries(*row);
        transformed_->owner()->ModifyRow(*transformed_, def, row, value);
    } catch (...) {
        pending_ = false;
        ResetIndexes();
        throw;
    }
    if (pending_) {
        pending_ = false;
        if (key)
            PlaceTransformedRow(row);
    } else {
        EnsureKeyMap();
    }
    if (edit_handler_)
        edit_handler_->Refresh(RowCount() != count_before);
    FindCriteria location;
    if (owner_node_)
        location = FindCriteria(owner_node_->GetOwnerPath(), GetTableName(), def.name(),
                                transformed_->KeyValues(*row));
    if (owner_node_ && edit_handler_ == owner_node_->GetOwnerEditHandler() && (direction != 0 || key))
        owner_node_->SelectRow(location);
    if (update && update->Apply() && edit_handler_) {
        edit_handler_->Refresh(false);
        if (owner_node_)
            owner_node_->SelectRow(location);
    }
}

std::shared_ptr<InPlaceEditor> MsiDiffTableLookupBasic::CreateEditor(int column, int position,
                                                                     int sort_column, EditHandler* handler)
{
    if (!transformed_) {
        RefuseEdit(L"This table does not exist in the editable file", L"Edit Field");
        return std::shared_ptr<InPlaceEditor>();
    }
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    if (!merged.in_transformed) {
        RefuseEdit(L"This row does not exist in the editable file", L"Edit Field");
        return std::shared_ptr<InPlaceEditor>();
    }
    if (column < 0 || static_cast<size_t>(column) >= transformed_->columns().size()) {
        RefuseEdit(L"This field does not exist in the editable file", L"Edit Field");
        return std::shared_ptr<InPlaceEditor>();
    }
    RowIterator row = merged.transformed;
    if (transformed_->name() == L"_Streams") {
        if (ShowStreamOwnerByName(transformed_->columns()[0]->display_str(*row->at(0))))
            return std::shared_ptr<InPlaceEditor>();
    } else if (!transformed_->user_table()) {
        return std::shared_ptr<InPlaceEditor>();
    }
    SetEditHandler(handler);
    return MakeFieldEditor(*this, *transformed_, row, *transformed_->columns()[column]);
}

void MsiDiffTableLookupBasic::RevertCell(int column, int position, int sort_column)
{
    if (!base_ || !transformed_ || column < 0 || static_cast<size_t>(column) >= base_->columns().size() ||
        static_cast<size_t>(column) >= transformed_->columns().size())
        return;
    const MergedRow& merged = EntryAt(position, sort_column)->second;
    if (!merged.in_base || !merged.in_transformed)
        return;
    RowIterator base_row = merged.base;
    RowIterator row = merged.transformed;
    if (owner_node_)
        SetEditHandler(owner_node_->GetOwnerEditHandler());
    const MsiFieldDef& base_def = *base_->columns()[column];
    // A stream is copied from its file.
    base_->ExtractCell(*base_row, base_def);
    MsiFieldDataRef value = base_def.clone_data(*base_row->at(column));
    CommitFieldValue(*transformed_->columns()[column], row, value, true);
}

namespace {

bool SameColumns(const MsiTable& a, const MsiTable& b)
{
    if (a.columns().size() != b.columns().size())
        return false;
    for (size_t column = 0; column < a.columns().size(); ++column) {
        const MsiFieldDef& left = *a.columns()[column];
        const MsiFieldDef& right = *b.columns()[column];
        if (left.sql_definition() != right.sql_definition() || left.is_key() != right.is_key())
            return false;
    }
    return true;
}

} // namespace

void MsiDiffTableLookupBasic::CreateEditableTable()
{
    if (!base_ || !transformed_ || !transformed_->owner())
        throw std::runtime_error("Only a table on both sides can be reverted to its base");
    if (!transformed_->user_table())
        throw tfc::ManageableError(L"A schema table cannot be reverted to the base.", L"Revert To Base");
    MsiFile& file = *transformed_->owner();
    // Copies are written from files.
    base_->ExtractBinaries();
    if (!SameColumns(*base_, *transformed_)) {
        // Another shape: the table is dropped and made anew from the base, so it is never created over
        // itself.
        MsiTable& edited = *transformed_;
        Unwatch();
        transformed_ = nullptr;
        ResetIndexes();
        file.DropTable(edited);
        MsiTableRef copy = file.AddTableWithRows(*base_);
        SetEditableTable(copy.get());
        return;
    }
    // The same shape: only what differs changes, so an equal stream is never copied again.
    try {
        RevertRows(file);
    } catch (...) {
        ResetIndexes();
        throw;
    }
    ResetIndexes();
}

void MsiDiffTableLookupBasic::RevertRows(MsiFile& file)
{
    std::map<std::wstring, RowIterator> base_rows;
    for (RowIterator row = base_->rows().begin(); row != base_->rows().end(); ++row)
        base_rows.emplace(base_->RowKeyText(*row), row);
    std::vector<RowIterator> rows;
    for (RowIterator row = transformed_->rows().begin(); row != transformed_->rows().end(); ++row)
        rows.push_back(row);
    std::set<std::wstring> kept;
    for (RowIterator row : rows) {
        std::wstring key = transformed_->RowKeyText(*row);
        auto base_row = base_rows.find(key);
        if (base_row == base_rows.end() || !kept.insert(key).second) {
            file.DeleteRow(*transformed_, row);
            continue;
        }
        for (size_t column = 0; column < transformed_->columns().size(); ++column) {
            if (CellsEqual(static_cast<int>(column), base_row->second, row))
                continue;
            const MsiFieldDef& base_def = *base_->columns()[column];
            transformed_->ExtractRowBinaries(*row);
            file.ModifyRow(*transformed_, *transformed_->columns()[column], row,
                           base_def.clone_data(*base_row->second->at(column)));
        }
    }
    for (const auto& base_row : base_rows) {
        if (kept.count(base_row.first))
            continue;
        MsiRow copy;
        for (size_t column = 0; column < base_->columns().size(); ++column)
            copy.push_back(base_->columns()[column]->clone_data(*base_row.second->at(column)));
        file.AddRow(*transformed_, copy);
    }
}

LRESULT MsiDiffTableLookupBasic::DrawCell(int column, int position, int sort_column, HWND list, int item,
                                          unsigned validation_flags, UINT item_state, bool cursor_column)
{
    ListDC list_dc(list);
    HDC dc = list_dc.get();
    RECT cell = ListCellRect(list, item, column);
    CellPainter& painter = CurrentCellPainter();
    switch (CellState(column, position, sort_column)) {
    case CellRemoved:
        painter.Fill(dc, CELL_FILL_BASE_ONLY, cell);
        break;
    case CellAdded:
    case CellChanged:
        painter.Fill(dc, CELL_FILL_DIFFERENT, cell);
        break;
    default:
        painter.Fill(dc, CELL_FILL_VALID, cell);
        break;
    }
    if (validation_flags != 0 || !GetCellTipText(column, position, sort_column).empty()) {
        RECT inner = cell;
        InflateRect(&inner, -2, -2);
        painter.Fill(dc, validation_flags != 0 ? CELL_FILL_HAS_ERRORS : CELL_FILL_INVALID, inner);
    }
    if ((item_state & LVIS_FOCUSED) && cursor_column)
        painter.Fill(dc, CELL_FILL_FOCUSED, cell);
    else if (item_state & LVIS_SELECTED)
        painter.Fill(dc, CELL_FILL_SELECTED, cell);
    painter.Text(dc, list, column, GetCellText(column, position, sort_column), cell);
    return CDRF_SKIPDEFAULT;
}

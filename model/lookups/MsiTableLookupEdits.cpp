// Edits through a table lookup: validation of a changed key, commit, add, delete, unique keys, editors and
// writing the table into another database. The database does the change; the lookup keeps its Indexes.
#include "model/lookups/FieldEditorFactory.h"
#include "model/lookups/MsiTableLookup.h"
#include "model/lookups/RowFromText.h"
#include "model/lookups/UniqueKey.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_set>

MsiFile& MsiTableLookup::OwnerFile() const
{
    if (!table_->owner())
        throw std::runtime_error("The table belongs to no open database");
    return *table_->owner();
}

std::wstring MsiTableLookup::ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                                const MsiFieldDataRef& value)
{
    std::wstring problem = CodePageProblem(def, value);
    return problem.empty() ? DuplicateKeyProblem(GetTable()->columns(), def, row, value) : problem;
}

void MsiTableLookup::CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                                      bool changed)
{
    if (!changed)
        return;
    std::unique_ptr<ReferencingRowsUpdate> update;
    if (owner_node_ && !owner_node_->ConfirmReferencingRows(*table_, row, def.column_index(), value, update))
        return;
    // The change is logged with the row's cells, so its streams must be in files.
    table_->ExtractRowBinaries(*row);
    try {
        OwnerFile().ModifyRow(*table_, def, row, value);
    } catch (...) {
        keys_.Invalidate();
        throw;
    }
    keys_.AfterOwnEdit();
    if (IsIndexBuilt(def.column_index()))
        BuildIndex(def.column_index())->direction = 0;
    if (edit_handler_)
        edit_handler_->Refresh(false);
    if (update)
        update->Apply();
}

void MsiTableLookup::AddRow(const std::vector<MsiFieldDataRef>& values)
{
    if (values.size() != static_cast<size_t>(TableColumnCount())) {
        tfc::Format(L"Cannot add a row to a table with a different number of fields");
        throw tfc::NullError();
    }
    RowIterator row = OwnerFile().AddRow(*table_, MsiRow(values.begin(), values.end()));
    keys_.AfterOwnEdit();
    for (const IndexPtr& index : BuiltIndexes()) {
        index->rows.push_back(row);
        index->Appended();
        index->direction = 0;
    }
}

void MsiTableLookup::AddRowFromText(const std::vector<std::wstring>& texts)
{
    MsiRow row = RowFromTexts(table_->columns(), texts, [this](const std::vector<std::wstring>& key_values) {
        return FindRow(key_values, 0) != RowCount();
    });
    AddRow(std::vector<MsiFieldDataRef>(row.begin(), row.end()));
}

void MsiTableLookup::DeleteRow(int sort_column, int position)
{
    if (!table_->user_table() && table_->name() != L"_Streams")
        throw tfc::ManageableError(L"This table is a schema table and cannot have rows deleted.",
                                   L"Cannot delete row");
    IndexPtr sorted = BuildIndex(sort_column);
    RowIterator row = sorted->rows.at(position);
    sorted->rows.erase(sorted->rows.begin() + position);
    sorted->Changed();
    for (const IndexPtr& index : BuiltIndexes()) {
        if (index == sorted)
            continue;
        auto found = std::find(index->rows.begin(), index->rows.end(), row);
        if (found != index->rows.end()) {
            index->rows.erase(found);
            index->Changed();
        }
    }
    try {
        OwnerFile().DeleteRow(*table_, row);
    } catch (...) {
        // The row may still be there: Indexes built afresh match the table whatever happened.
        ResetIndexes();
        throw;
    }
    keys_.AfterOwnEdit();
}

int MsiTableLookup::DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted)
{
    if (!table_->user_table() && table_->name() != L"_Streams")
        throw tfc::ManageableError(L"This table is a schema table and cannot have rows deleted.",
                                   L"Cannot delete row");
    std::unordered_set<const MsiRow*> going;
    std::vector<RowIterator> order;
    for (RowIterator row : rows) {
        if (going.insert(&*row).second)
            order.push_back(row);
    }
    // Only rows the lookup holds: the first Index holds every one.
    IndexPtr all = BuildIndex(0);
    std::unordered_set<const MsiRow*> held;
    for (RowIterator row : all->rows) {
        if (going.count(&*row))
            held.insert(&*row);
    }
    for (const IndexPtr& index : BuiltIndexes()) {
        auto kept = std::remove_if(index->rows.begin(), index->rows.end(),
                                   [&held](RowIterator row) { return held.count(&*row) > 0; });
        if (kept != index->rows.end()) {
            index->rows.erase(kept, index->rows.end());
            index->Changed();
        }
    }
    std::vector<RowIterator> deleting;
    for (RowIterator row : order) {
        if (held.count(&*row))
            deleting.push_back(row);
    }
    int count = 0;
    bool stopped = false;
    try {
        count = OwnerFile().DeleteRows(*table_, deleting, [&](int done) {
            stopped = deleted && !deleted(done);
            return !stopped;
        });
    } catch (...) {
        // The Indexes lost rows that may still be there: built afresh they match the table.
        ResetIndexes();
        throw;
    }
    if (stopped)
        ResetIndexes();
    keys_.AfterOwnEdit();
    return count;
}

std::wstring MsiTableLookup::MakeUniqueKey(const std::wstring& text)
{
    std::vector<std::wstring> keys;
    IndexPtr index = BuildIndex(0);
    for (RowIterator row : index->rows) {
        for (const MsiFieldDefRef& def : table_->columns()) {
            if (!def->is_key())
                continue;
            const MsiFieldData& cell = *row->at(def->column_index());
            if (!cell.is_null())
                keys.push_back(def->display_str(cell));
        }
    }
    return UniqueKeyPrefix(text, keys);
}

std::shared_ptr<InPlaceEditor> MsiTableLookup::CreateEditor(int column, int position, int sort_column,
                                                            EditHandler* handler)
{
    RowIterator row = GetIndexedRow(position, sort_column);
    if (table_->name() == L"_Streams") {
        if (ShowStreamOwnerByName(GetFieldDef(0)->display_str(*row->at(0))))
            return std::shared_ptr<InPlaceEditor>();
    } else if (!table_->user_table()) {
        return std::shared_ptr<InPlaceEditor>();
    }
    SetEditHandler(handler);
    return MakeFieldEditor(*this, *table_, row, *GetFieldDef(column));
}

std::wstring MsiTableLookup::WriteTable(MSIHANDLE database)
{
    if (table_ && table_->user_table()) {
        // Stream cells are written from their files.
        table_->ExtractBinaries();
        table_->Create(database);
        table_->InsertRows(database);
    }
    return std::wstring();
}

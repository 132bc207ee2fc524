#include "model/lookups/MsiDirectoryTableLookup.h"

MsiDirectoryTableLookup::MsiDirectoryTableLookup(MsiTable& table)
    : MsiTableLookup(table), path_column_(static_cast<int>(table.columns().size())),
      path_def_(MakeFieldDef(L"target_path", false, L"S0", path_column_, nullptr))
{
    ReloadPaths();
}

void MsiDirectoryTableLookup::ReloadPaths()
{
    slots_[0].reset();
    slots_[1].reset();
    // Read when a path is first asked for: a tab makes this lookup whether or not the table is shown.
    paths_read_ = false;
}

DirectoryResolver& MsiDirectoryTableLookup::Paths()
{
    if (!paths_read_) {
        MsiFile* file = GetTable()->owner();
        if (file && file->handle())
            resolver_.Load(file->handle());
        paths_read_ = true;
    }
    return resolver_;
}

int MsiDirectoryTableLookup::ColumnCount()
{
    return TableColumnCount() + 1;
}

int MsiDirectoryTableLookup::TextColumnCount()
{
    return TableColumnCount();
}

MsiFieldDefRef MsiDirectoryTableLookup::GetFieldDef(int column)
{
    if (IsPathColumn(column))
        return path_def_;
    return MsiTableLookup::GetFieldDef(column);
}

const MsiFieldDataRef& MsiDirectoryTableLookup::GetRowField(int column, RowIterator row)
{
    if (!IsPathColumn(column))
        return MsiTableLookup::GetRowField(column, row);
    std::wstring id = GetTable()->columns().at(0)->display_str(*row->at(0));
    MsiFieldDataRef& slot = slots_[next_slot_];
    next_slot_ = 1 - next_slot_;
    slot = MsiFieldDataRef(new MsiFieldData(Paths().Resolve(id)));
    return slot;
}

MsiTableLookup::IndexPtr MsiDirectoryTableLookup::BuildIndex(int column)
{
    if (!IsPathColumn(column))
        return MsiTableLookup::BuildIndex(column);
    if (!path_index_)
        path_index_ = NewTableOrderIndex();
    return path_index_;
}

bool MsiDirectoryTableLookup::IsIndexBuilt(int column)
{
    if (IsPathColumn(column))
        return path_index_ != nullptr;
    return MsiTableLookup::IsIndexBuilt(column);
}

std::vector<MsiTableLookup::IndexPtr> MsiDirectoryTableLookup::BuiltIndexes()
{
    std::vector<IndexPtr> built = MsiTableLookup::BuiltIndexes();
    if (path_index_)
        built.push_back(path_index_);
    return built;
}

void MsiDirectoryTableLookup::ResetIndexes()
{
    MsiTableLookup::ResetIndexes();
    path_index_.reset();
}

std::shared_ptr<InPlaceEditor> MsiDirectoryTableLookup::CreateEditor(int column, int position,
                                                                     int sort_column, EditHandler* handler)
{
    if (IsPathColumn(column))
        return std::shared_ptr<InPlaceEditor>();
    return MsiTableLookup::CreateEditor(column, position, sort_column, handler);
}

COLORREF MsiDirectoryTableLookup::GetCellTextColour(int column, int position, int sort_column)
{
    if (!IsPathColumn(column))
        return 0;
    if (GetCellText(column, position, sort_column).compare(0, 7, L"<Error>") == 0)
        return RGB(255, 0, 0);
    return RGB(0xA0, 0xA0, 0xA0);
}

void MsiDirectoryTableLookup::AddRow(const std::vector<MsiFieldDataRef>& values)
{
    MsiTableLookup::AddRow(values);
    ReloadPaths();
}

void MsiDirectoryTableLookup::AddRowFromText(const std::vector<std::wstring>& texts)
{
    // A row copied from this view holds the real columns only; one that carries the computed path too
    // (as a row of all shown cells would) loses it.
    if (texts.size() == static_cast<size_t>(ColumnCount()))
        MsiTableLookup::AddRowFromText(std::vector<std::wstring>(texts.begin(), texts.end() - 1));
    else
        MsiTableLookup::AddRowFromText(texts);
    ReloadPaths();
}

void MsiDirectoryTableLookup::DeleteRow(int sort_column, int position)
{
    MsiTableLookup::DeleteRow(sort_column, position);
    ReloadPaths();
}

int MsiDirectoryTableLookup::DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted)
{
    try {
        int count = MsiTableLookup::DeleteRows(rows, deleted);
        ReloadPaths();
        return count;
    } catch (...) {
        ReloadPaths();
        throw;
    }
}

void MsiDirectoryTableLookup::CommitFieldValue(const MsiFieldDef& def, RowIterator row,
                                               const MsiFieldDataRef& value, bool changed)
{
    MsiTableLookup::CommitFieldValue(def, row, value, changed);
    if (changed)
        ReloadPaths();
}

#pragma once
// The Directory table with one more, computed, column "target_path": the resolved target path of each
// row's directory. The computed column sorts and shows like any other but cannot be edited, takes no text
// when rows are pasted, and is coloured grey (red when the path could not be resolved).
#include "model/DirectoryResolver.h"
#include "model/lookups/MsiTableLookup.h"

class MsiDirectoryTableLookup : public MsiTableLookup
{
public:
    explicit MsiDirectoryTableLookup(MsiTable& table);

    int ColumnCount() override;
    int TextColumnCount() override;
    MsiFieldDefRef GetFieldDef(int column) override;
    const MsiFieldDataRef& GetRowField(int column, RowIterator row) override;
    IndexPtr BuildIndex(int column) override;
    bool IsIndexBuilt(int column) override;
    void ResetIndexes() override;
    std::shared_ptr<InPlaceEditor> CreateEditor(int column, int position, int sort_column,
                                                EditHandler* handler) override;
    COLORREF GetCellTextColour(int column, int position, int sort_column) override;
    void AddRow(const std::vector<MsiFieldDataRef>& values) override;
    void AddRowFromText(const std::vector<std::wstring>& texts) override;
    void DeleteRow(int sort_column, int position) override;
    // The paths are read again once, after the last row.
    int DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted) override;
    void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                          bool changed) override;

    // Forgets the computed values; the Directory rows are read from the database again when next asked.
    void ReloadPaths();

protected:
    std::vector<IndexPtr> BuiltIndexes() override;

private:
    bool IsPathColumn(int column) const { return column == path_column_; }
    DirectoryResolver& Paths();

    int path_column_;
    MsiFieldDefRef path_def_;
    DirectoryResolver resolver_;
    bool paths_read_ = false;
    // Two computed values in turn, so the two fields of a row comparison are both alive.
    MsiFieldDataRef slots_[2];
    int next_slot_ = 0;
    IndexPtr path_index_;
};

#pragma once
// The lookup over one table of an open database. Rows are addressed through per-column Indexes, each a
// vector of every row in that column's order, built the first time the column is used and sorted by Sort.
// Edits made through the lookup keep its built Indexes equal to the table's rows; rows added or removed
// elsewhere show in its order after ResetIndexes.
//
// A lookup watches its table's events to keep its key search current and to drop its Indexes when the
// table's rows are replaced (SchemaChanged); like every subscriber it must go before the MsiFile that owns
// the table.
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "model/lookups/RowKeyIndex.h"
#include "model/lookups/OrderedRows.h"
#include "model/lookups/RowOrder.h"

#include <boost/noncopyable.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MsiTableLookup : public MsiTableLookupBase, boost::noncopyable
{
public:
    // Every row of the table once, in one column's order.
    using Index = OrderedRows<RowIterator>;
    using IndexPtr = std::shared_ptr<Index>;

    explicit MsiTableLookup(MsiTable& table);
    ~MsiTableLookup() override;

    // Edits (validation, commit, add, delete, unique keys, editors, writing the table elsewhere).
    std::wstring ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                    const MsiFieldDataRef& value) override;
    void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                          bool changed) override;
    void DeleteRow(int sort_column, int position) override;
    // Each Index loses the rows in one pass, rather than a search for each row.
    int DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted) override;
    void AddRow(const std::vector<MsiFieldDataRef>& values) override;
    void AddRowFromText(const std::vector<std::wstring>& texts) override;
    std::wstring MakeUniqueKey(const std::wstring& text) override;
    std::shared_ptr<InPlaceEditor> CreateEditor(int column, int position, int sort_column,
                                                EditHandler* handler) override;
    std::wstring WriteTable(MSIHANDLE database) override;

    // Rows, sorting and search.
    void Sort(int new_column, bool ascending, int old_column, std::vector<int>& selected,
              int& focused) override;
    int GetSortDirection(int column) override;
    int FindRow(const std::vector<std::wstring>& key_values, int sort_column) override;
    std::wstring GetCellText(int column, int position, int sort_column) override;
    void AppendCellText(int column, int position, int sort_column, std::wstring& text) override;
    std::wstring GetCellEditText(int column, int position, int sort_column) override;
    int FirstColumn() override { return 0; }
    int ColumnCount() override;
    int LastColumn() override { return ColumnCount() - 1; }
    int BeforeFirstColumn() override { return -1; }
    int FirstRow() override { return 0; }
    int RowCount() override;
    int LastRow() override { return RowCount() - 1; }
    int BeforeFirstRow() override { return -1; }
    std::wstring GetTableName() override;
    FindCriteria GetCellLocation(int column, int position, int sort_column) override;
    MsiFieldDefRef GetFieldDef(int column) override;
    std::wstring GetRowClipboardText(int position, int sort_column) override;
    std::vector<std::wstring> GetRowKeyValues(RowIterator row) override;
    std::vector<std::wstring> GetKeyValuesAt(int position, int sort_column) override;
    std::wstring GetCellClipboardText(int column, int position, int sort_column) override;
    void ResetIndexes() override;
    MsiTable* GetTable() override { return table_; }
    RowIterator GetIndexedRow(int position, int sort_column) override;
    void SetEditHandler(EditHandler* handler) override { edit_handler_ = handler; }

    // Cell appearance.
    std::wstring GetCellTipText(int column, int position, int sort_column) override;
    LRESULT DrawCell(int column, int position, int sort_column, HWND list, int item,
                     unsigned validation_flags, UINT item_state, bool cursor_column) override;

    // Cell values and Indexes; the Directory lookup adds its computed column here.
    MsiFieldDataRef GetFieldByDef(const MsiFieldDef& def, int position, int sort_column);
    virtual MsiFieldDataRef GetField(int column, int position, int sort_column);
    // The reference stays valid at least until the next call (row comparisons hold two).
    virtual const MsiFieldDataRef& GetRowField(int column, RowIterator row);
    virtual IndexPtr BuildIndex(int column);
    IndexPtr GetIndex(int column) { return BuildIndex(column); }
    virtual bool IsIndexBuilt(int column);

    EditHandler* GetEditHandler() const { return edit_handler_; }

protected:
    // The database the table belongs to; throws for a table of none.
    MsiFile& OwnerFile() const;
    // Number of real columns of the table.
    int TableColumnCount() const;
    // Every built Index, the computed column's included (the Directory lookup adds its own).
    virtual std::vector<IndexPtr> BuiltIndexes();
    // The Index of a fresh column: direction 0, the table's rows in list order.
    IndexPtr NewTableOrderIndex() const;
    // The row of the key texts among the rows of the table (first in the sort column's order).
    int FindRowByKeys(const std::vector<std::wstring>& key_values, int sort_column);

private:
    std::vector<IndexPtr> indexes_;
    // The text ranks of each text column sorted, for sorting it again.
    std::map<int, TextRanks> text_ranks_;
    MsiTable* table_;
    EditHandler* edit_handler_ = nullptr;
    RowKeyIndex keys_;
};

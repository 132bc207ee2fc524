#pragma once
// The rows of one table, or of a base/transformed pair of tables, as views, nodes, dialogs and validation
// see them. A row is addressed by (position, sort column): the position in the order of that column's
// Index, so callers pass the sort column their view uses. Columns are addressed by index in table order.
#include "model/MsiFieldData.h"
#include "model/MsiFieldDef.h"
#include "model/MsiTable.h"
#include "model/lookups/EditHandler.h"
#include "model/lookups/FindCriteria.h"
#include "model/lookups/MsiFieldEditorHandler.h"
#include "model/lookups/TableLookupOwner.h"

#include <windows.h>
#include <msi.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class InPlaceEditor;

class MsiTableLookupBase : public MsiFieldEditorHandler
{
public:
    MsiTableLookupBase() = default;
    MsiTableLookupBase(const MsiTableLookupBase&) = delete;
    MsiTableLookupBase& operator=(const MsiTableLookupBase&) = delete;
    ~MsiTableLookupBase() override;

    // Sorts by new_column (stable: rows equal in it keep the order of old_column). selected and focused
    // (-1: none) hold positions in old_column's order and come back as the same rows' new positions.
    virtual void Sort(int new_column, bool ascending, int old_column, std::vector<int>& selected,
                      int& focused) = 0;
    // 0 unsorted, 1 ascending, 2 descending.
    virtual int GetSortDirection(int column) = 0;
    virtual void DeleteRow(int sort_column, int position) = 0;
    // Told the count of rows deleted so far after each row; false stops the deletion there.
    using DeletedRows = std::function<bool(int deleted)>;
    // Deletes these rows of the table, each once; a row the lookup no longer finds is passed over. Returns
    // how many went. Here by key and DeleteRow, one row at a time.
    virtual int DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted);
    // One value per column, in column order.
    virtual void AddRow(const std::vector<MsiFieldDataRef>& values) = 0;
    // One text per column (pasted rows, the registry import); a first key that exists already gets a number.
    virtual void AddRowFromText(const std::vector<std::wstring>& texts) = 0;
    // How many texts AddRowFromText takes, which is what a copied row holds: ColumnCount without computed
    // columns (the Directory view's target path). Pasting compares field counts with this.
    virtual int TextColumnCount() { return ColumnCount(); }
    // A prefix that, followed by any digits, is no key of the table yet.
    virtual std::wstring MakeUniqueKey(const std::wstring& text) = 0;
    // The position of the row with these key texts (exact, case-sensitive), RowCount when there is none.
    virtual int FindRow(const std::vector<std::wstring>& key_values, int sort_column) = 0;
    // As FindRow, but only rows that can be edited (a comparison view leaves out base-only rows).
    virtual int FindEditableRow(const std::vector<std::wstring>& key_values, int sort_column);

    // "<null>" for a null value.
    virtual std::wstring GetCellText(int column, int position, int sort_column) = 0;
    // Appends GetCellText's text: a caller that keeps its string makes no new one for each cell.
    virtual void AppendCellText(int column, int position, int sort_column, std::wstring& text);
    // As GetCellText, but empty for a null value.
    virtual std::wstring GetCellEditText(int column, int position, int sort_column) = 0;

    virtual int FirstColumn() = 0;
    virtual int ColumnCount() = 0;
    virtual int LastColumn() = 0;
    virtual int BeforeFirstColumn() = 0;
    virtual int FirstRow() = 0;
    virtual int RowCount() = 0;
    virtual int LastRow() = 0;
    virtual int BeforeFirstRow() = 0;

    virtual std::wstring GetTableName() = 0;
    // Empty first text, the table, the column's name and the row's key texts.
    virtual FindCriteria GetCellLocation(int column, int position, int sort_column) = 0;
    virtual MsiFieldDefRef GetFieldDef(int column) = 0;
    // Why the cell is not right (its column's checks, required relationships); empty when it is.
    virtual std::wstring GetCellTipText(int column, int position, int sort_column) = 0;
    // Creates the shown table in the database and inserts its rows (user tables only). Always empty.
    virtual std::wstring WriteTable(MSIHANDLE database);
    // The in-place editor for the cell, or empty when the cell cannot be edited here. Remembers handler as
    // SetEditHandler does.
    virtual std::shared_ptr<InPlaceEditor> CreateEditor(int column, int position, int sort_column,
                                                        EditHandler* handler) = 0;
    // The row as tab-separated text.
    virtual std::wstring GetRowClipboardText(int position, int sort_column) = 0;
    virtual std::vector<std::wstring> GetRowKeyValues(RowIterator row) = 0;
    virtual std::vector<std::wstring> GetKeyValuesAt(int position, int sort_column) = 0;
    virtual std::wstring GetCellClipboardText(int column, int position, int sort_column) = 0;
    // The first column with exactly this name, -1 when none.
    virtual int FindColumn(const std::wstring& name);
    // 0 means the list's own colour.
    virtual COLORREF GetCellTextColour(int column, int position, int sort_column);
    // DrawCell with the position as the list item.
    virtual LRESULT DrawListCell(int column, int position, int sort_column, HWND list,
                                 unsigned validation_flags, UINT item_state, bool cursor_column);
    // Paints the cell at the list's sub-item stage: CDRF_SKIPDEFAULT when the lookup drew it, 0 when the list
    // is to draw it. item_state holds LVIS_FOCUSED and LVIS_SELECTED; cursor_column tells whether the column
    // is the list's current column.
    virtual LRESULT DrawCell(int column, int position, int sort_column, HWND list, int item,
                             unsigned validation_flags, UINT item_state, bool cursor_column);
    virtual void ResetIndexes() = 0;
    // The table shown (the comparison view: the transformed table, possibly none).
    virtual MsiTable* GetTable() = 0;
    virtual RowIterator GetIndexedRow(int position, int sort_column) = 0;
    // "Required relationship not satisfied: ..." lines for the cell of the row; empty when satisfied.
    virtual std::wstring CheckRequiredRelationships(const MsiFieldDef& def, RowIterator row);
    virtual void SetEditHandler(EditHandler* handler) = 0;

    // The table node made for this lookup, set by the tab right after construction; none for temporary ones.
    void SetOwnerNode(TableLookupOwner* owner) { owner_node_ = owner; }
    TableLookupOwner* GetOwnerNode() const { return owner_node_; }
    // Whether the row is a row of the table this lookup edits (GetIndexedRow of a base-only row is not).
    bool IsEditableRow(RowIterator row);

    // The code page of the edited table's database (0 without one).
    UINT EditedCodePage();
    // The refusal of a cell's new text that the edited database's code page cannot hold; empty when it can.
    std::wstring CodePageProblem(const MsiFieldDef& def, const MsiFieldDataRef& value);
    // Why a new row of these values (one per column) cannot go into the edited table: a text its
    // database's code page cannot hold. Empty when it can.
    std::wstring NewRowRefusal(const std::vector<MsiFieldDataRef>& values);
    // Why pasted rows (one text per column each) cannot go into the edited table: a row of another field
    // count, a required field left empty, a stream field whose text names no file, or a text the code page
    // cannot hold. All are checked before any is added, so a refusal changes nothing. Empty when they can.
    std::wstring PastedRowsRefusal(const std::vector<std::vector<std::wstring>>& rows);

protected:
    // The refusal of a key cell's new value when the row's keys would then match another editable row;
    // empty when the value may stay. columns: the edited table's.
    std::wstring DuplicateKeyProblem(const MsiColumns& columns, const MsiFieldDef& def, RowIterator row,
                                     const MsiFieldDataRef& value);

    // A `_Streams` row is edited at its owner: the stream's name is the owner's table, ".", and a key.
    // True when the owner node's tab showed that row.
    bool ShowStreamOwnerByName(const std::wstring& stream_name);

    TableLookupOwner* owner_node_ = nullptr;
};

using MsiTableLookupPtr = std::shared_ptr<MsiTableLookupBase>;

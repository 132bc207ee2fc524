#pragma once
// A table of a transform view: the base table and the transformed table merged by row key, each merged row
// and cell with its state (added, removed, changed, unchanged). Edits go to the transformed table only.
// The lookup watches the transformed table's events, so rows added there by anyone join the view, and
// rows changed or deleted elsewhere make it read both tables again.
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "model/lookups/OrderedRows.h"

#include <boost/noncopyable.hpp>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A key map built on demand: readers build it when it is not valid.
class CachedKeyMap
{
public:
    virtual ~CachedKeyMap() = default;
    virtual void BuildKeyMap() = 0;

protected:
    bool key_map_valid_ = false;
};

class MsiDiffTableLookupBasic : public MsiTableLookupBase,
                                boost::noncopyable,
                                private EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>,
                                protected CachedKeyMap
{
public:
    enum RowStates
    {
        BaseOnly = 0,
        Added = 1,
        InBoth = 2
    };
    enum CellStates
    {
        CellRemoved = 0,
        CellAdded = 1,
        CellChanged = 2,
        CellUnchanged = 3
    };
    // A row of either table or both, by key text.
    struct MergedRow
    {
        RowIterator base;
        RowIterator transformed;
        bool in_base = false;
        bool in_transformed = false;
    };
    using KeyMap = std::map<std::wstring, MergedRow>;
    using Entry = KeyMap::iterator;
    using Index = OrderedRows<Entry>;
    using IndexPtr = std::shared_ptr<Index>;

    // Either table may be missing (a table the transform adds or drops), not both.
    MsiDiffTableLookupBasic(MsiTable* base, MsiTable* transformed);
    ~MsiDiffTableLookupBasic() override;

    std::wstring ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                    const MsiFieldDataRef& value) override;
    void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                          bool changed) override;
    void Sort(int new_column, bool ascending, int old_column, std::vector<int>& selected,
              int& focused) override;
    int GetSortDirection(int column) override;
    void DeleteRow(int sort_column, int position) override;
    void AddRow(const std::vector<MsiFieldDataRef>& values) override;
    void AddRowFromText(const std::vector<std::wstring>& texts) override;
    // Texts are parsed against the transformed table's columns.
    int TextColumnCount() override;
    std::wstring MakeUniqueKey(const std::wstring& text) override;
    int FindRow(const std::vector<std::wstring>& key_values, int sort_column) override;
    int FindEditableRow(const std::vector<std::wstring>& key_values, int sort_column) override;
    std::wstring GetCellText(int column, int position, int sort_column) override;
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
    std::wstring GetCellTipText(int column, int position, int sort_column) override;
    std::shared_ptr<InPlaceEditor> CreateEditor(int column, int position, int sort_column,
                                                EditHandler* handler) override;
    std::wstring GetRowClipboardText(int position, int sort_column) override;
    std::vector<std::wstring> GetRowKeyValues(RowIterator row) override;
    std::vector<std::wstring> GetKeyValuesAt(int position, int sort_column) override;
    std::wstring GetCellClipboardText(int column, int position, int sort_column) override;
    LRESULT DrawCell(int column, int position, int sort_column, HWND list, int item,
                     unsigned validation_flags, UINT item_state, bool cursor_column) override;
    void ResetIndexes() override;
    MsiTable* GetTable() override { return transformed_; }
    // The transformed row; for a row only in the base table the transformed table's end (no row).
    RowIterator GetIndexedRow(int position, int sort_column) override;
    void SetEditHandler(EditHandler* handler) override { edit_handler_ = handler; }
    EditHandler* GetEditHandler() const { return edit_handler_; }

    // What the transform views show.
    int RowState(int position, int sort_column);
    int CellState(int column, int position, int sort_column);
    // The base table's text of the cell; empty without a base table or column.
    std::wstring GetOriginalCellText(int column, int position, int sort_column);
    bool HasDifferences();
    MsiTable* GetBaseTable() const { return base_; }

    // The transformed table becomes a copy of the base table again, through the change log: rows and
    // cells that differ are reverted one by one, or, when the columns differ, the table is dropped and
    // made anew from the base table.
    void CreateEditableTable();
    // The transformed cell takes the base value, committed like an edit.
    void RevertCell(int column, int position, int sort_column);
    void SetEditableTable(MsiTable* table);
    void DetachEditableTable();

    void BuildKeyMap() override;

protected:
    IndexPtr BuildIndex(int column);
    Entry EntryAt(int position, int sort_column);
    // The row shown for an entry and the table it belongs to.
    bool DisplayedRow(const MergedRow& merged, MsiTable*& table, RowIterator& row) const;
    // The displayed cell of a column, or null when the displayed table lacks the column.
    const MsiFieldData* DisplayedCell(int column, const MergedRow& merged, MsiFieldDefRef& def) const;
    void EnsureKeyMap();

private:
    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, Engine& engine) override;
    void Watch(MsiTable* table);
    void Unwatch();
    void RemoveEntry(Entry entry);
    // A new entry for a row of the transformed table (or the entry of its key), placed in every Index.
    void PlaceTransformedRow(RowIterator row);
    // A cell of a row of each table; streams by the digest of their content.
    bool CellsEqual(int column, RowIterator base_row, RowIterator row);
    // Not in both tables, or a cell of the given kind (streams or not) that is not equal.
    bool EntryDiffers(const MergedRow& merged, bool streams);
    // Walks every merged row for a difference, streams last (reading them only when nothing else
    // differs), and keeps what it found.
    bool FindDifference();
    // The key map and the Indexes go; what HasDifferences knows stays (the events say what changed).
    void DropIndexes();
    // Makes the transformed rows those of the base, changing only what differs.
    void RevertRows(MsiFile& file);
    HWND MessageOwner() const;
    void RefuseEdit(const wchar_t* message, const wchar_t* caption) const;

    KeyMap key_map_;
    std::vector<IndexPtr> indexes_;
    MsiTable* base_;
    MsiTable* transformed_;
    MsiFile* watched_ = nullptr;
    EditHandler* edit_handler_ = nullptr;
    bool pending_ = false;
    RowIterator pending_row_;
    // What HasDifferences found last, kept current by the transformed table's events so that drawing
    // the table's item reads nothing again: unknown; none, with the key texts of the rows modified since
    // (the only ones that can differ now); or some, with the key text of a row that differed.
    enum class Differences
    {
        Unknown,
        None,
        Some
    };
    Differences differences_ = Differences::Unknown;
    std::wstring witness_;
    std::vector<std::wstring> modified_since_;
};

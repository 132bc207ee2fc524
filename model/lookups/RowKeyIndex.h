#pragma once
// Finding rows by key without reading every row: a hash of each row's key texts, kept current from the
// table's events (rows added, changed, deleted elsewhere), rebuilt after Invalidate.
#include "model/MsiFile.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class RowKeyIndex : private EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>
{
public:
    explicit RowKeyIndex(MsiTable& table);
    ~RowKeyIndex() override;
    RowKeyIndex(const RowKeyIndex&) = delete;
    RowKeyIndex& operator=(const RowKeyIndex&) = delete;

    // The rows whose key cells show exactly these texts, one text per key column, in no particular order.
    void Find(const std::vector<std::wstring>& key_values, std::vector<RowIterator>& rows);
    // Forget everything; the next Find reads the table again.
    void Invalidate() { valid_ = false; }
    // After the lookup changed rows itself: only needed when no events arrive (a table of no database).
    void AfterOwnEdit();
    size_t KeyColumnCount() const;
    // Told after the table's rows were replaced wholesale (SchemaChanged): whatever the owner kept of the
    // old rows is gone.
    void OnRowsReplaced(std::function<void()> told) { rows_replaced_ = std::move(told); }

private:
    bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, Engine& engine) override;
    void Build();
    void Insert(RowIterator row);
    void Erase(RowIterator row);
    std::wstring KeyOf(const MsiRow& row) const;
    std::wstring KeyOf(const std::vector<std::wstring>& key_values) const;
    void StopWatching();

    MsiTable& table_;
    // Read when the index is built: tables keep their columns, but a table's content may be replaced.
    std::vector<MsiFieldDefRef> key_columns_;
    MsiFile* watched_ = nullptr;
    std::function<void()> rows_replaced_;
    bool valid_ = false;
    std::unordered_multimap<std::wstring, RowIterator> rows_by_key_;
    std::unordered_map<const MsiRow*, std::wstring> key_by_row_;
};

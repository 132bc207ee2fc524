#include "model/lookups/RowKeyIndex.h"

RowKeyIndex::RowKeyIndex(MsiTable& table) : table_(table)
{
    if (MsiFile* file = table.owner()) {
        file->table_events().Subscribe(&table, this);
        watched_ = file;
    }
}

RowKeyIndex::~RowKeyIndex()
{
    StopWatching();
}

void RowKeyIndex::StopWatching()
{
    if (watched_)
        watched_->table_events().Unsubscribe(this);
    watched_ = nullptr;
}

size_t RowKeyIndex::KeyColumnCount() const
{
    size_t count = 0;
    for (const MsiFieldDefRef& column : table_.columns()) {
        if (column->is_key())
            ++count;
    }
    return count;
}

void RowKeyIndex::AfterOwnEdit()
{
    if (!watched_)
        valid_ = false;
}

std::wstring RowKeyIndex::KeyOf(const std::vector<std::wstring>& key_values) const
{
    if (key_values.size() == 1)
        return key_values[0];
    // Each part with its length in front, so no text can run into the next.
    std::wstring key;
    for (const std::wstring& text : key_values) {
        key += std::to_wstring(text.size());
        key += L':';
        key += text;
    }
    return key;
}

std::wstring RowKeyIndex::KeyOf(const MsiRow& row) const
{
    if (key_columns_.size() == 1)
        return key_columns_[0]->display_str(*row.at(key_columns_[0]->column_index()));
    std::vector<std::wstring> texts;
    texts.reserve(key_columns_.size());
    for (const MsiFieldDefRef& column : key_columns_)
        texts.push_back(column->display_str(*row.at(column->column_index())));
    return KeyOf(texts);
}

void RowKeyIndex::Build()
{
    key_columns_.clear();
    for (const MsiFieldDefRef& column : table_.columns()) {
        if (column->is_key())
            key_columns_.push_back(column);
    }
    rows_by_key_.clear();
    key_by_row_.clear();
    rows_by_key_.reserve(table_.rows().size());
    key_by_row_.reserve(table_.rows().size());
    for (RowIterator row = table_.rows().begin(); row != table_.rows().end(); ++row)
        Insert(row);
    valid_ = true;
}

void RowKeyIndex::Insert(RowIterator row)
{
    std::wstring key = KeyOf(*row);
    rows_by_key_.emplace(key, row);
    key_by_row_[&*row] = std::move(key);
}

void RowKeyIndex::Erase(RowIterator row)
{
    auto known = key_by_row_.find(&*row);
    if (known == key_by_row_.end())
        return;
    auto range = rows_by_key_.equal_range(known->second);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == row) {
            rows_by_key_.erase(it);
            break;
        }
    }
    key_by_row_.erase(known);
}

void RowKeyIndex::Find(const std::vector<std::wstring>& key_values, std::vector<RowIterator>& rows)
{
    rows.clear();
    if (!valid_)
        Build();
    auto range = rows_by_key_.equal_range(KeyOf(key_values));
    for (auto it = range.first; it != range.second; ++it)
        rows.push_back(it->second);
}

bool RowKeyIndex::notify(MsiTable* const&, const MsiFile::TableEventArg& arg, Engine&)
{
    MsiFile::TableEvents event = std::get<0>(arg);
    RowIterator row = std::get<1>(arg);
    switch (event) {
    case MsiFile::RowAdded:
        if (valid_)
            Insert(row);
        return false;
    case MsiFile::RowModified:
        if (valid_) {
            Erase(row);
            Insert(row);
        }
        return false;
    case MsiFile::RowDeleted:
        if (valid_)
            Erase(row);
        return false;
    case MsiFile::TableDropped:
        // The table object may be gone soon and its address reused: watch no more.
        valid_ = false;
        StopWatching();
        return true;
    case MsiFile::SchemaChanged:
        valid_ = false;
        if (rows_replaced_)
            rows_replaced_();
        return false;
    }
    return false;
}

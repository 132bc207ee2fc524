#include "model/installer/StoredTables.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformStringPool.h"
#include "foundation/Errors.h"

#include <algorithm>
#include <unordered_set>

namespace msi {
namespace detail {
namespace {

// Above this many ids a pool of 2-byte references is left to the library: Wine widens the references
// of every table it has loaded once its pool outgrows them, and a table written here may not be loaded.
const size_t kShortPoolLimit = 0xA000;

void put(std::string& bytes, size_t at, unsigned width, unsigned value)
{
    for (unsigned i = 0; i < width; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void append(std::string& bytes, unsigned width, unsigned value)
{
    bytes.resize(bytes.size() + width);
    put(bytes, bytes.size() - width, width, value);
}

// An integer as the table stores it; false when the column cannot hold it (the library refuses it).
bool stored_integer(const TransformColumn& column, int value, unsigned& raw)
{
    if (!column.IsShort()) {
        raw = static_cast<unsigned>(value) ^ 0x80000000u;
        return true;
    }
    long long shifted = static_cast<long long>(value) + 0x8000;
    raw = static_cast<unsigned>(shifted);
    return shifted >= 0 && shifted <= 0xFFFF;
}

} // namespace

StoredTables::StoredTables(const std::wstring& path)
{
    CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT,
                                nullptr, 0, storage_.receive()),
                 L"StgOpenStorage");
    read_pool();
    if (usable_)
        read_columns();
}

std::string StoredTables::read_stream(const std::wstring& name) const
{
    ComRef<IStream> stream;
    HRESULT result = storage_->OpenStream(PackStreamName(name, true).c_str(), nullptr,
                                          STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.receive());
    if (result == STG_E_FILENOTFOUND)
        return std::string();
    CheckHresult(result, L"IStorage::OpenStream");
    return ReadWholeStream(stream.get());
}

// Slots of (length, count) after the code page; a hole is (0, 0) and (0, count) announces a text whose
// 32-bit length takes the next slot. Each text and each hole takes one id.
void StoredTables::read_pool()
{
    pool_ = read_stream(L"_StringPool");
    data_ = read_stream(L"_StringData");
    texts_.assign(1, std::wstring_view());
    count_at_.assign(1, 0);
    if (pool_.size() < 4 || pool_.size() % 4 != 0) {
        usable_ = false;
        return;
    }
    unsigned header = ReadLittleEndian(pool_, 0, 4);
    string_width_ = (header & 0x80000000u) ? 3 : 2;
    code_page_ = header & 0x7FFFFFFFu;
    // A pool all ASCII is read at once.
    if (AsciiReadsAsItself(code_page_) &&
        std::all_of(data_.begin(), data_.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        wide_.assign(data_.begin(), data_.end());
    const size_t slots = pool_.size() / 4 - 1;
    texts_.reserve(slots + 1);
    count_at_.reserve(slots + 1);
    ids_.reserve(slots);
    size_t offset = 0;
    for (size_t at = 4; at + 4 <= pool_.size();) {
        size_t length = ReadLittleEndian(pool_, at, 2);
        size_t count_at = at + 2;
        std::wstring_view text;
        if (length == 0 && ReadLittleEndian(pool_, at + 2, 2) == 0) {
            at += 4;
        } else {
            if (length == 0) {
                if (at + 8 > pool_.size()) {
                    usable_ = false;
                    return;
                }
                length = ReadLittleEndian(pool_, at + 4, 4);
                at += 8;
            } else {
                at += 4;
            }
            if (length > data_.size() - offset) {
                usable_ = false;
                return;
            }
            if (!wide_.empty()) {
                text = std::wstring_view(wide_.data() + offset, length);
            } else {
                owned_.push_back(DecodeInCodePage(data_.substr(offset, length), code_page_));
                text = owned_.back();
            }
            offset += length;
            // Two slots reading alike would leave it open which one a row names.
            if (text.empty() || !ids_.emplace(text, static_cast<unsigned>(texts_.size())).second)
                usable_ = false;
        }
        texts_.push_back(text);
        count_at_.push_back(count_at);
    }
    if (offset != data_.size())
        usable_ = false;
}

// _Columns: Table, Number, Name and Type, column by column.
void StoredTables::read_columns()
{
    std::string bytes = read_stream(L"_Columns");
    const size_t row = 2 * string_width_ + 4;
    if (bytes.size() % row != 0) {
        usable_ = false;
        return;
    }
    const size_t rows = bytes.size() / row;
    std::map<std::wstring, std::map<unsigned, TransformColumn>> numbered;
    for (size_t r = 0; r < rows; ++r) {
        unsigned table = ReadLittleEndian(bytes, r * string_width_, string_width_);
        unsigned number = ReadLittleEndian(bytes, rows * string_width_ + r * 2, 2);
        unsigned name =
            ReadLittleEndian(bytes, rows * (string_width_ + 2) + r * string_width_, string_width_);
        unsigned type = ReadLittleEndian(bytes, rows * (2 * string_width_ + 2) + r * 2, 2);
        if (table == 0 || table >= texts_.size() || name == 0 || name >= texts_.size() || type < 0x8000) {
            usable_ = false;
            return;
        }
        numbered[std::wstring(texts_[table])][number] = {std::wstring(texts_[name]),
                                                         static_cast<int>(type - 0x8000)};
    }
    for (const auto& table : numbered)
        for (const auto& column : table.second)
            columns_[table.first].push_back(column.second);
}

std::vector<TransformColumn> StoredTables::Columns(const std::wstring& table) const
{
    auto found = columns_.find(table);
    return found == columns_.end() ? std::vector<TransformColumn>() : found->second;
}

unsigned StoredTables::width(const TransformColumn& column) const
{
    if (column.IsString())
        return string_width_;
    return column.IsStream() || column.IsShort() ? 2 : 4;
}

size_t StoredTables::Update(const std::wstring& table, const std::vector<TransformColumn>& columns,
                            const std::vector<TransformRecord>& records, std::vector<bool>& done)
{
    done.assign(records.size(), false);
    auto listed = columns_.find(table);
    if (!usable_ || listed == columns_.end() || listed->second != columns)
        return 0;
    std::vector<size_t> keys, start(columns.size());
    size_t row_size = 0;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].IsStream())
            return 0;
        if (columns[c].IsKey())
            keys.push_back(c);
        row_size += width(columns[c]);
    }
    std::string bytes = changed_.count(table) ? changed_[table] : read_stream(table);
    if (keys.empty() || bytes.size() % row_size != 0)
        return 0;
    const size_t rows = bytes.size() / row_size;
    for (size_t c = 0, at = 0; c < columns.size(); at += rows * width(columns[c]), ++c)
        start[c] = at;
    auto cell_at = [&](size_t c, size_t r) { return start[c] + r * width(columns[c]); };

    // Rows by their stored keys; the first of two alike is the one the library finds.
    std::unordered_map<std::string, size_t> row_of;
    std::string key;
    for (size_t r = 0; r < rows; ++r) {
        key.clear();
        for (size_t c : keys)
            append(key, 4, ReadLittleEndian(bytes, cell_at(c, r), width(columns[c])));
        row_of.emplace(key, r);
    }

    // New texts wait here until the whole table has gone in.
    std::vector<std::wstring> added;
    std::unordered_map<std::wstring, unsigned> added_ids;
    std::unordered_map<unsigned, unsigned> counts; // references gained, by id
    bool fits = true;
    auto stored = [&](const TransformColumn& column, const TransformCell& cell, bool may_add, unsigned& raw) {
        switch (cell.kind) {
        case TransformCell::Null:
            raw = 0;
            return true;
        case TransformCell::Integer:
            if (column.IsString())
                return false;
            if (!stored_integer(column, cell.integer, raw))
                fits = false;
            return fits;
        case TransformCell::Text: {
            if (!column.IsString())
                return false;
            auto found = ids_.find(cell.text);
            if (found != ids_.end()) {
                raw = found->second;
                return true;
            }
            auto pending = added_ids.find(cell.text);
            if (pending != added_ids.end()) {
                raw = pending->second;
                return true;
            }
            if (!may_add)
                return false;
            raw = static_cast<unsigned>(texts_.size() + added.size());
            added.push_back(cell.text);
            added_ids.emplace(cell.text, raw);
            return true;
        }
        default:
            return false;
        }
    };
    auto record_key = [&](const TransformRecord& record, std::string& out) {
        out.clear();
        for (size_t c : keys) {
            unsigned raw = 0;
            if (!stored(columns[c], record.row[c], false, raw))
                return false;
            append(out, 4, raw);
        }
        return true;
    };

    // Keys an insert or a delete names keep all their records for the library, in order.
    std::unordered_set<std::string> kept;
    for (const TransformRecord& record : records)
        if ((record.IsInsert() || record.IsDelete()) && record_key(record, key))
            kept.insert(key);

    size_t applied = 0;
    for (size_t i = 0; i < records.size() && fits; ++i) {
        const TransformRecord& record = records[i];
        if (record.IsInsert() || record.IsDelete() || !record_key(record, key) || kept.count(key))
            continue;
        auto found = row_of.find(key);
        if (found == row_of.end())
            continue;
        const size_t r = found->second;
        for (size_t c = 0; c < columns.size() && fits; ++c) {
            if (!record.present[c] || columns[c].IsKey())
                continue;
            unsigned raw = 0;
            if (!stored(columns[c], record.row[c], true, raw)) {
                fits = false;
                break;
            }
            size_t at = cell_at(c, r);
            if (ReadLittleEndian(bytes, at, width(columns[c])) == raw)
                continue;
            put(bytes, at, width(columns[c]), raw);
            if (columns[c].IsString() && raw != 0)
                ++counts[raw];
        }
        done[i] = true;
        ++applied;
    }
    const size_t limit = string_width_ == 2 ? kShortPoolLimit : 0xFFFFFF;
    if (!fits || (!added.empty() && texts_.size() + added.size() > limit) || applied == 0) {
        done.assign(records.size(), false);
        return 0;
    }

    std::vector<std::string> encoded(added.size());
    for (size_t i = 0; i < added.size(); ++i) {
        if (!EncodeInCodePage(added[i], code_page_, encoded[i])) {
            done.assign(records.size(), false);
            return 0;
        }
    }
    for (size_t i = 0; i < added.size(); ++i) {
        unsigned id = static_cast<unsigned>(texts_.size());
        const size_t length = encoded[i].size();
        if (length > 0xFFFF) {
            append(pool_, 2, 0);
            count_at_.push_back(pool_.size());
            append(pool_, 2, 0);
            append(pool_, 4, static_cast<unsigned>(length));
        } else {
            append(pool_, 2, static_cast<unsigned>(length));
            count_at_.push_back(pool_.size());
            append(pool_, 2, 0);
        }
        data_ += encoded[i];
        owned_.push_back(added[i]);
        texts_.push_back(owned_.back());
        ids_.emplace(owned_.back(), id);
    }
    for (const auto& count : counts) {
        size_t at = count_at_[count.first];
        put(pool_, at, 2, std::min(0xFFFFu, ReadLittleEndian(pool_, at, 2) + count.second));
    }
    pool_changed_ = pool_changed_ || !counts.empty() || !added.empty();
    changed_[table] = std::move(bytes);
    return applied;
}

void StoredTables::write_stream(const std::wstring& name, const std::string& bytes)
{
    // Written over in place: a new stream would first free the old one's chain of sectors.
    ComRef<IStream> stream;
    HRESULT result = storage_->OpenStream(PackStreamName(name, true).c_str(), nullptr,
                                          STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, stream.receive());
    if (result == STG_E_FILENOTFOUND) {
        PutStream(storage_.get(), PackStreamName(name, true), bytes.data(), bytes.size());
        return;
    }
    CheckHresult(result, L"IStorage::OpenStream");
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    CheckHresult(stream->SetSize(size), L"IStream::SetSize");
    ULONG written = 0;
    CheckHresult(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), L"IStream::Write");
    if (written != bytes.size())
        throw tfc::Win32Error(ERROR_WRITE_FAULT, L"IStream::Write");
}

void StoredTables::Commit()
{
    if (pool_changed_) {
        write_stream(L"_StringPool", pool_);
        write_stream(L"_StringData", data_);
    }
    for (const auto& table : changed_)
        write_stream(table.first, table.second);
    CheckHresult(storage_->Commit(STGC_DEFAULT), L"IStorage::Commit");
    changed_.clear();
    pool_changed_ = false;
}

} // namespace detail
} // namespace msi

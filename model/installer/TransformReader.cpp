#include "model/installer/TransformReader.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformStreamNames.h"
#include "model/installer/TransformStringPool.h"

namespace msi {

TransformFile::TransformFile(const std::wstring& path)
{
    ComRef<IStorage> storage;
    CheckHresult(StgOpenStorage(path.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                                storage.receive()),
                 L"StgOpenStorage");
    STATSTG root = {};
    CheckHresult(storage->Stat(&root, STATFLAG_NONAME), L"IStorage::Stat");
    class_id_ = root.clsid;
    ComRef<IEnumSTATSTG> elements;
    CheckHresult(storage->EnumElements(0, nullptr, 0, elements.receive()), L"IStorage::EnumElements");
    std::string pool, data;
    STATSTG element;
    while (elements->Next(1, &element, nullptr) == S_OK) {
        std::wstring packed = element.pwcsName ? element.pwcsName : L"";
        CoTaskMemFree(element.pwcsName);
        if (element.type != STGTY_STREAM)
            continue;
        ComRef<IStream> stream;
        CheckHresult(storage->OpenStream(packed.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                         stream.receive()),
                     L"IStorage::OpenStream");
        std::string bytes = ReadWholeStream(stream.get());
        bool table_stream = false;
        std::wstring name = UnpackStreamName(packed, table_stream);
        if (table_stream && name == L"_StringPool")
            pool = bytes;
        else if (table_stream && name == L"_StringData")
            data = bytes;
        else if (table_stream)
            tables_[name] = bytes;
        else if (!name.empty() && name[0] != L'\005')
            cells_[name] = bytes;
        streams_.emplace_back(packed, std::move(bytes));
    }
    read_pool(pool, data);
}

// Slots of (length, references); a hole is (0, 0), and (0, r) announces a long text whose length takes
// the next slot. Each text but the holes' takes one id.
void TransformFile::read_pool(const std::string& pool, const std::string& data)
{
    if (pool.size() < 4)
        return;
    unsigned header = ReadLittleEndian(pool, 0, 4);
    string_width_ = (header & 0x80000000u) ? 3 : 2;
    UINT code_page = header & 0x7FFFFFFFu;
    size_t offset = 0;
    for (size_t at = 4; at + 4 <= pool.size(); at += 4) {
        size_t length = ReadLittleEndian(pool, at, 2);
        unsigned references = ReadLittleEndian(pool, at + 2, 2);
        if (length == 0 && references != 0 && at + 8 <= pool.size()) {
            at += 4;
            length = ReadLittleEndian(pool, at, 4);
        }
        if (offset + length > data.size())
            length = offset < data.size() ? data.size() - offset : 0;
        strings_.push_back(DecodeInCodePage(data.substr(offset, length), code_page));
        offset += length;
    }
}

std::vector<std::wstring> TransformFile::Tables() const
{
    std::vector<std::wstring> names;
    for (const auto& table : tables_)
        names.push_back(table.first);
    return names;
}

std::vector<TransformRecord> TransformFile::Records(const std::wstring& table,
                                                    const std::vector<TransformColumn>& columns) const
{
    std::vector<TransformRecord> records;
    auto found = tables_.find(table);
    if (found == tables_.end())
        return records;
    const std::string& bytes = found->second;
    auto width = [&](const TransformColumn& column) {
        if (column.IsString())
            return string_width_;
        return column.IsStream() || column.IsShort() ? 2 : 4;
    };
    // An update of one cell is the smallest record a table with keys holds.
    size_t smallest = 4;
    for (const TransformColumn& column : columns)
        smallest += column.IsKey() ? width(column) : 0;
    records.reserve(bytes.size() / smallest);
    size_t at = 0;
    while (at + 2 <= bytes.size()) {
        TransformRecord record;
        record.offset = at;
        record.mask = ReadLittleEndian(bytes, at, 2);
        record.present.assign(columns.size(), false);
        if (record.IsInsert()) {
            size_t count = record.mask >> 8;
            if (count > columns.size())
                break;
            for (size_t i = 0; i < count; ++i)
                record.present[i] = true;
        } else {
            for (size_t i = 0; i < columns.size(); ++i)
                record.present[i] = columns[i].IsKey() || (i < 16 && (record.mask & (1u << i)));
        }
        size_t size = 2;
        for (size_t i = 0; i < columns.size(); ++i)
            size += record.present[i] ? width(columns[i]) : 0;
        if (at + size > bytes.size())
            break;
        record.size = size;
        size_t field = at + 2;
        record.row.resize(columns.size());
        std::vector<size_t> streams;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!record.present[i])
                continue;
            const TransformColumn& column = columns[i];
            unsigned raw = ReadLittleEndian(bytes, field, width(column));
            field += width(column);
            TransformCell& cell = record.row[i];
            if (raw == 0)
                continue;
            if (column.IsStream()) {
                streams.push_back(i);
            } else if (column.IsString()) {
                if (raw <= strings_.size() && !strings_[raw - 1].empty()) {
                    cell.kind = TransformCell::Text;
                    cell.text = strings_[raw - 1];
                }
            } else {
                cell.kind = TransformCell::Integer;
                cell.integer =
                    column.IsShort() ? static_cast<int>(raw) - 0x8000 : static_cast<int>(raw ^ 0x80000000u);
            }
        }
        // A stream cell's data is named after the row's keys.
        std::vector<std::wstring> keys;
        for (size_t i = 0; i < columns.size() && !streams.empty(); ++i)
            if (columns[i].IsKey())
                keys.push_back(record.row[i].KeyText());
        for (size_t i : streams) {
            auto data = cells_.find(RowStreamName(table, keys));
            if (data == cells_.end())
                continue;
            record.row[i].kind = TransformCell::Stream;
            record.row[i].bytes = data->second;
        }
        records.push_back(std::move(record));
        at += size;
    }
    return records;
}

} // namespace msi

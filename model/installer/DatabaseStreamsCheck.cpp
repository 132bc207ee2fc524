#include "model/installer/DatabaseStreamsCheck.h"
#include "model/installer/SummaryStreamCheck.h"
#include "model/installer/TransformStreamNames.h"

#include <map>
#include <set>

namespace msi {
namespace detail {
namespace {

unsigned u16(const std::vector<BYTE>& bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8);
}

struct Damaged
{
};

void require(bool condition)
{
    if (!condition)
        throw Damaged();
}

// The string pool: for each id, its text, or none for an unused id (id 0 is null).
class StringPool
{
public:
    StringPool(const std::vector<BYTE>& pool, const std::vector<BYTE>& data)
    {
        require(pool.size() >= 4 && pool.size() % 4 == 0);
        width_ = (pool[3] & 0x80) ? 3 : 2;
        unsigned code_page = u16(pool, 0) | ((u16(pool, 2) & 0x7FFF) << 16);
        // The library makes no string table for a code page the system does not know, and then faults.
        require(code_page == 0 || IsValidCodePage(code_page));
        texts_.emplace_back();
        used_.push_back(false);
        uint64_t offset = 0;
        for (size_t at = 4; at < pool.size(); at += 4) {
            uint64_t length = u16(pool, at);
            unsigned references = u16(pool, at + 2);
            // A string of 64 KB or more: its length is in the next slot, and it takes one id.
            if (length == 0 && references != 0) {
                at += 4;
                require(at < pool.size());
                length = u16(pool, at) | (uint64_t(u16(pool, at + 2)) << 16);
            }
            require(offset + length <= data.size());
            used_.push_back(length != 0 || references != 0);
            texts_.push_back(text(data, offset, length, code_page));
            offset += length;
        }
    }

    unsigned width() const { return width_; }
    uint32_t id_at(const std::vector<BYTE>& bytes, size_t at) const
    {
        return u16(bytes, at) | (width_ == 3 ? uint32_t(bytes[at + 2]) << 16 : 0);
    }
    // The text of an id a cell holds; null and unused ids are damage where a name must be.
    const std::wstring& name(uint32_t id) const
    {
        require(id != 0 && id < texts_.size() && used_[id] && !texts_[id].empty());
        return texts_[id];
    }

private:
    static std::wstring text(const std::vector<BYTE>& data, uint64_t offset, uint64_t length,
                             unsigned code_page)
    {
        // Names are compared with stream names; only short texts can be names.
        if (length == 0 || length > 255)
            return std::wstring();
        const char* start = reinterpret_cast<const char*>(data.data() + offset);
        int size = static_cast<int>(length);
        UINT page = code_page ? code_page : CP_ACP;
        int count = MultiByteToWideChar(page, 0, start, size, nullptr, 0);
        if (count <= 0) {
            page = CP_ACP;
            count = MultiByteToWideChar(page, 0, start, size, nullptr, 0);
        }
        std::wstring result(count > 0 ? count : 0, L'\0');
        if (count > 0)
            MultiByteToWideChar(page, 0, start, size, &result[0], count);
        return result;
    }

    unsigned width_ = 2;
    std::vector<std::wstring> texts_;
    std::vector<bool> used_;
};

// Bytes one cell of a column of this type takes in a table stream.
unsigned column_width(unsigned type, unsigned string_width)
{
    if ((type & ~0x1000u) == 0x0900)
        return 2; // a stream cell
    if (type & 0x0800)
        return string_width;
    return (type & 0xFF) <= 2 ? 2 : 4;
}

bool is_catalog(const std::wstring& name)
{
    return name == L"_StringPool" || name == L"_StringData" || name == L"_Tables" || name == L"_Columns";
}

void check(const std::vector<RootStream>& streams, std::vector<std::wstring>* unlisted)
{
    // Table streams the library finds, by name.
    std::map<std::wstring, const RootStream*> tables;
    std::set<std::wstring> unreached;      // holding rows
    std::set<std::wstring> table_storages; // storages that carry a table's mark
    for (const RootStream& stream : streams) {
        bool table_stream = false;
        std::wstring name = UnpackStreamName(stream.element, table_stream);
        if (stream.element == L"\005SummaryInformation" && stream.reached && !stream.storage)
            require(SummaryStreamSound(stream.read()));
        if (!table_stream)
            continue;
        if (stream.storage)
            table_storages.insert(name);
        else if (stream.reached)
            require(tables.emplace(name, &stream).second);
        else if (stream.size != 0)
            unreached.insert(name);
    }
    // The catalog the library reads is the one the tree reaches; one that holds rows but is not reached
    // (a cleared directory sector) leaves every table unlisted.
    for (const std::wstring& name : unreached)
        require(!is_catalog(name) || tables.count(name));
    auto pool_stream = tables.find(L"_StringPool"), data_stream = tables.find(L"_StringData");
    require(pool_stream != tables.end() && data_stream != tables.end());
    StringPool pool(pool_stream->second->read(), data_stream->second->read());
    const unsigned width = pool.width();

    std::set<std::wstring> listed;
    auto found = tables.find(L"_Tables");
    if (found != tables.end()) {
        std::vector<BYTE> bytes = found->second->read();
        require(bytes.size() % width == 0);
        for (size_t at = 0; at < bytes.size(); at += width)
            require(listed.insert(pool.name(pool.id_at(bytes, at))).second);
    }
    for (const std::wstring& name : table_storages)
        require(!listed.count(name) && !is_catalog(name));

    // Column-major rows of (Table, Number, Name, Type); each table's columns numbered 1..n. Rows of a
    // table `_Tables` does not list (left by a dropped table) never make a table: the library skips them.
    std::map<std::wstring, std::map<unsigned, unsigned>> columns;
    std::set<std::wstring> stray; // tables named only by `_Columns`
    found = tables.find(L"_Columns");
    if (found != tables.end()) {
        std::vector<BYTE> bytes = found->second->read();
        const size_t row = 2 * width + 4;
        require(bytes.size() % row == 0);
        size_t count = bytes.size() / row;
        for (size_t at = 0; at < count; ++at) {
            const std::wstring& table = pool.name(pool.id_at(bytes, at * width));
            unsigned number = u16(bytes, count * width + at * 2);
            pool.name(pool.id_at(bytes, count * (width + 2) + at * width));
            unsigned type = u16(bytes, count * (2 * width + 2) + at * 2);
            require(number > 0x8000 && type != 0);
            if (listed.count(table))
                require(columns[table].emplace(number - 0x8000, (type + 0x8000) & 0xFFFF).second);
            else
                stray.insert(table);
        }
    }
    // Rows of a dropped table stay in `_Columns` (Wine leaves them) and make no table. A catalog without
    // a table list, or one whose list lost as many tables as it keeps, was cut short: its tables are lost.
    if (!stray.empty())
        require(tables.count(L"_Tables") && stray.size() < listed.size());
    // Row widths of listed tables without a stream: empty, or their stream was renamed.
    std::map<std::wstring, uint64_t> streamless;
    for (const std::wstring& table : listed) {
        auto defined = columns.find(table);
        require(defined != columns.end() && defined->second.rbegin()->first == defined->second.size());
        uint64_t row = 0;
        for (const auto& column : defined->second)
            row += column_width(column.second, width);
        // The library reads a table whose stream it does not find as empty: one left unreached is lost.
        auto stream = tables.find(table);
        if (stream == tables.end()) {
            require(!unreached.count(table));
            streamless.emplace(table, row);
            continue;
        }
        require(stream->second->size % row == 0);
    }
    // A table stream `_Tables` does not list is passed over by the library: a stream Wine kept of a
    // dropped table, or a renamed one whose table then reads empty (when its rows fit such a table).
    for (const auto& stream : tables) {
        const std::wstring& name = stream.first;
        if (listed.count(name) || is_catalog(name))
            continue;
        if (unlisted) {
            unlisted->push_back(stream.second->element);
            continue;
        }
        uint64_t size = stream.second->size;
        for (const auto& table : streamless)
            require(size == 0 || size % table.second != 0);
    }
    // A table's mark changed into another character: the rest of the name still names the table.
    for (const RootStream& stream : streams) {
        if (stream.storage || !stream.reached || stream.size == 0 || stream.element.size() < 2 ||
            stream.element[0] < kTableStreamPrefix)
            continue;
        bool table_stream = false;
        auto table = streamless.find(UnpackStreamName(stream.element.substr(1), table_stream));
        require(table == streamless.end() || stream.size % table->second != 0);
    }
}

} // namespace

bool DatabaseStreamsSound(const std::vector<RootStream>& streams, std::vector<std::wstring>* unlisted)
{
    try {
        check(streams, unlisted);
        return true;
    } catch (const Damaged&) {
        return false;
    }
}

} // namespace detail
} // namespace msi

#pragma once
// The streams of one transform, built in memory before anything is written: the transform's string
// pool, one stream of change records per changed table (_Tables and _Columns included), and the data
// of each stream cell. Nothing reaches the disk until every text has been placed in the pool, so a
// text the code page cannot hold fails the save before a file exists.
#include "model/installer/TransformStringPool.h"
#include "model/installer/TransformTableData.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace msi {

// A difference the writer cannot put into a transform: a ManageableError that names it.
[[noreturn]] void ThrowTransformRefused(const std::wstring& reason);

class TransformContent
{
public:
    explicit TransformContent(UINT code_page) : pool_(code_page) {}

    // Change records of a table; row holds the table's cells in column order.
    void Insert(const std::wstring& table, const std::vector<TransformColumn>& columns,
                const TransformRow& row);
    // Sets the non-key columns listed in changed (indices into columns) to row's cells.
    void Update(const std::wstring& table, const std::vector<TransformColumn>& columns,
                const TransformRow& row, const std::vector<size_t>& changed);
    void Delete(const std::wstring& table, const std::vector<TransformColumn>& columns,
                const TransformRow& row);

    // Schema changes: a table added or dropped, a column added (number 0 for the columns of a new table,
    // which the reader numbers itself).
    void AddTable(const std::wstring& table);
    void DropTable(const std::wstring& table);
    void AddColumn(const std::wstring& table, int number, const TransformColumn& column);
    // Gives the table a stream of change records even when it holds none.
    void Touch(const std::wstring& table) { records_[table]; }

    bool Empty() const { return records_.empty(); }
    // Every stream to write: packed name and bytes.
    std::vector<std::pair<std::wstring, std::vector<BYTE>>> Streams() const;

private:
    // One encoded cell; strings keep their pool id until the reference width is known.
    struct Field
    {
        bool string = false;
        unsigned raw = 0;
        int width = 2;
    };
    struct Record
    {
        unsigned mask = 0;
        std::vector<Field> fields;
    };

    void add_masked(const std::wstring& table, const std::vector<TransformColumn>& columns,
                    const TransformRow& row, const std::vector<size_t>& changed);
    [[noreturn]] void refuse_null_stream(const std::wstring& table,
                                         const std::vector<TransformColumn>& columns, const TransformRow& row,
                                         size_t null_stream);
    void add_record(const std::wstring& table, const std::vector<TransformColumn>& columns,
                    const TransformRow& row, unsigned mask, const std::vector<bool>& present);
    Field encode(const std::wstring& table, const TransformColumn& column, const TransformCell& cell);
    void add_cell_stream(const std::wstring& table, const std::vector<TransformColumn>& columns,
                         const TransformRow& row, const std::string& bytes);

    TransformStringPool pool_;
    std::map<std::wstring, std::vector<Record>> records_; // by table, in the order added
    std::vector<std::pair<std::wstring, std::vector<BYTE>>> cell_streams_;
};

} // namespace msi

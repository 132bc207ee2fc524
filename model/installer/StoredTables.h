#pragma once
// Under Wine every write of a row through the library looks for the row from the table's start, so
// updating most rows of a large table costs the square of its size. Before the library opens a database,
// the layer writes such updates straight into the file instead: each table's stream (its rows, column by
// column) and the string pool, in one pass over the table. Only under Wine, whose reading of these streams
// is known, and only on a file nobody holds open.
//
// Texts the pool gains are added at its end; a text a row no longer uses keeps its count, as Wine keeps
// it, so no slot a row still names can be taken for another text.
#include "model/installer/TransformReader.h"
#include "model/installer/TransformStorage.h"

#include <windows.h>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace msi {
namespace detail {

class StoredTables
{
public:
    // Opens the database file at path for writing and reads its string pool and columns. Throws
    // Win32Error when it cannot.
    explicit StoredTables(const std::wstring& path);

    // The table's columns as the file lists them, in order; empty for a table it does not list.
    std::vector<TransformColumn> Columns(const std::wstring& table) const;

    // Applies those of records (read with the table's columns) that update a row the table holds, whose
    // keys no insert or delete among records names; done tells which. Returns how many: 0, with nothing
    // changed, when the table or the pool cannot take them this way (a layout not understood, a text the
    // code page lacks, more texts than the references hold).
    size_t Update(const std::wstring& table, const std::vector<TransformColumn>& columns,
                  const std::vector<TransformRecord>& records, std::vector<bool>& done);

    // Writes the changed streams into the file; until then the file is unchanged. A failure part-way
    // leaves it part-written.
    void Commit();

private:
    void read_pool();
    void read_columns();
    std::string read_stream(const std::wstring& name) const;
    void write_stream(const std::wstring& name, const std::string& bytes);
    unsigned width(const TransformColumn& column) const;

    ComRef<IStorage> storage_;
    bool usable_ = true;
    UINT code_page_ = 0;
    unsigned string_width_ = 2;
    std::string pool_;
    std::string data_;
    std::vector<size_t> count_at_; // by id: where its reference count lies in pool_
    // Texts by id, and ids by text, as views into wide_ (a pool all ASCII) or owned_.
    std::wstring wide_;
    std::deque<std::wstring> owned_;
    std::vector<std::wstring_view> texts_;
    std::unordered_map<std::wstring_view, unsigned> ids_;
    std::map<std::wstring, std::vector<TransformColumn>> columns_;
    std::map<std::wstring, std::string> changed_; // table streams by table name
    bool pool_changed_ = false;
};

} // namespace detail
} // namespace msi

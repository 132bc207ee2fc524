#pragma once
// What Wine's apply of a transform gets wrong, made up for by the layer (only under Wine):
// - a stream cell the transform gives new data under a name the database already holds reads right in
//   the open database, but Wine's commit keeps the old bytes in the file: the new bytes wait in
//   MsiStreamChanges.h and reach the file once the committed handle closes;
// - integer columns declared with size 1 are stored as 2-byte ones, yet Wine's apply encodes their
//   values as 4-byte ones: keys are not found (updates and deletes turn into stray inserts) and values
//   are off by 0x8000. The records of the tables holding such columns are kept from the library (it
//   gets a copy of the transform without them) and applied here through the layer's own calls;
// - the library finds each record's row by walking the table: where the database file is not open yet,
//   the updates of tables with many records go straight into it (StoredTables.h); otherwise such tables
//   are kept from it too and applied with an index (MsiIndexedApply.h);
// - it ignores the error conditions: a drop of a table the database lacks lists a table without
//   columns, a delete or an update of a missing row inserts its keys. As Windows does, an operation
//   that meets a suppressed condition changes nothing (the copy leaves it out), and a table's drop or
//   creation or a row's delete that meets one not suppressed fails the apply (1624) before anything
//   changes. Inserts over existing rows, and updates of missing rows where that is not suppressed, are
//   left to the library: the program's own transforms rely on both.
#include "model/installer/TransformReader.h"

#include <windows.h>
#include <msi.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace msi {
namespace detail {

// The error conditions the transform's summary information says to suppress (its Character Count's low
// word); 0 when it has none.
int StoredErrorConditions(const std::wstring& path);

class AppliedTransform
{
public:
    // Reads the transform at path; a file that cannot be read is left to the library, which reports it.
    explicit AppliedTransform(const std::wstring& path);
    ~AppliedTransform();
    AppliedTransform(const AppliedTransform&) = delete;
    AppliedTransform& operator=(const AppliedTransform&) = delete;

    // Before the library opens the database file at database_path: the updates of large tables' rows
    // go straight into it. Where that cannot be done the file is left as it was.
    void UpdateStoredTables(const std::wstring& database_path);
    // Throws Win32Error 1624 when the transform meets an error condition not in error_conditions.
    void Prepare(MSIHANDLE database, int error_conditions);

    // The file to give the library: the transform itself, or the copy without the tables applied here.
    const std::wstring& LibraryPath() const { return library_path_; }
    // False when nothing is left for the library to apply: it need not be called.
    bool LibraryHasWork() const { return library_has_work_; }
    // Whether the open database holds changes of the apply that its file does not (to be committed).
    bool ChangesUncommitted() const { return library_has_work_ || !own_tables_.empty(); }
    // After the library applied it: the records kept from it, and the stream changes its commit would lose.
    void Finish(MSIHANDLE database);

private:
    // The records that meet an error condition; columns: each table's while the transform is applied.
    void find_errors(MSIHANDLE database, int error_conditions,
                     const std::map<std::wstring, std::vector<TransformColumn>>& columns);
    void write_copy();
    bool left_out(const std::wstring& table, const TransformRecord& record) const;
    // The table's records read with columns: read once for the same columns (a large table's take long).
    const std::vector<TransformRecord>& records(const std::wstring& table,
                                                const std::vector<TransformColumn>& columns);
    void settle_streams(MSIHANDLE database);
    bool own_stream(const std::wstring& name) const;

    std::unique_ptr<TransformFile> file_;
    std::set<std::wstring> own_tables_;
    std::set<std::wstring> indexed_tables_; // of own_tables_, those applied with an index
    std::set<std::wstring> held_;           // stream cell names the database held before the apply
    // Records neither the library nor Finish applies, by table, as where they lie in its stream: those
    // that meet a suppressed error condition and those already in the file.
    std::map<std::wstring, std::set<std::pair<size_t, size_t>>> left_out_;
    std::map<std::wstring, std::pair<std::vector<TransformColumn>, std::vector<TransformRecord>>> records_;
    std::wstring library_path_;
    std::wstring copy_;
    bool library_has_work_ = true;
};

} // namespace detail
} // namespace msi

#pragma once
// What Wine's apply of a transform gets wrong, made up for by the layer (only under Wine):
// - a stream cell the transform gives new data under a name the database already holds reads right in
//   the open database, but Wine's commit keeps the old bytes in the file: the new bytes wait in
//   MsiStreamChanges.h and reach the file once the committed handle closes;
// - integer columns declared with size 1 are stored as 2-byte ones, yet Wine's apply encodes their
//   values as 4-byte ones: keys are not found (updates and deletes turn into stray inserts) and values
//   are off by 0x8000. The records of the tables holding such columns are kept from the library (it
//   gets a copy of the transform without them) and applied here through the layer's own calls;
// - the library finds each record's row by walking the table: tables with many records are kept from it
//   too and applied with an index (MsiIndexedApply.h).
#include "model/installer/TransformReader.h"

#include <windows.h>
#include <msi.h>
#include <memory>
#include <set>
#include <string>

namespace msi {
namespace detail {

class AppliedTransform
{
public:
    // Reads the transform at path; a file that cannot be read is left to the library, which reports it.
    AppliedTransform(MSIHANDLE database, const std::wstring& path);
    ~AppliedTransform();
    AppliedTransform(const AppliedTransform&) = delete;
    AppliedTransform& operator=(const AppliedTransform&) = delete;

    // The file to give the library: the transform itself, or the copy without the tables applied here.
    const std::wstring& LibraryPath() const { return library_path_; }
    // After the library applied it: the records kept from it, and the stream changes its commit would lose.
    void Finish(MSIHANDLE database);

private:
    void write_copy();
    void settle_streams(MSIHANDLE database);
    bool own_stream(const std::wstring& name) const;

    std::unique_ptr<TransformFile> file_;
    std::set<std::wstring> own_tables_;
    std::set<std::wstring> indexed_tables_; // of own_tables_, those applied with an index
    std::set<std::wstring> held_;           // stream cell names the database held before the apply
    std::wstring library_path_;
    std::wstring copy_;
};

} // namespace detail
} // namespace msi

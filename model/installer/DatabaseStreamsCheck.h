#pragma once
// The database layer of the check a file passes before the installer library sees it. Under Wine the
// library jumps to address 0 without a string pool, faults on a column catalog that does not hold whole
// rows, and reads tables as empty when a table stream is missing, cut or renamed. So the streams that
// make up the database are checked: the string pool against its data, `_Tables` and `_Columns` against
// the pool and each other, every table stream against the widths of its columns, and the summary
// information's property set (SummaryStreamCheck.h).
#include <windows.h>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace msi {
namespace detail {

// A stream of the file's root storage as the directory names it (packed form), and how to read it.
struct RootStream
{
    std::wstring element;
    uint64_t size = 0;
    bool reached = true;  // found through the directory tree (what the library finds)
    bool storage = false; // a storage entry: nothing to read
    std::function<std::vector<BYTE>()> read;
};

// True when the streams hold a database the library reads whole. Table streams that `_Tables` does not
// list (Wine keeps the stream of a table dropped in a session) go into unlisted when it is given; else
// one fails the check when its rows would fit a listed table that has no stream (it may be renamed).
bool DatabaseStreamsSound(const std::vector<RootStream>& streams,
                          std::vector<std::wstring>* unlisted = nullptr);

} // namespace detail
} // namespace msi

#pragma once
// Reads a transform file back: its string pool, the change records of each table, and the data of its
// stream cells. The layer needs it where Wine's apply goes wrong and the layer makes up for it.
#include "model/installer/TransformTableData.h"

#include <windows.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace msi {

// One change record: mask & 1 an insert (of the first mask >> 8 columns), mask 0 a delete (keys only),
// otherwise an update of the keys and the columns whose bits are set. present tells which cells of row
// the record holds.
struct TransformRecord
{
    unsigned mask = 0;
    std::vector<bool> present;
    TransformRow row;
    size_t offset = 0; // where the record lies in its table's stream
    size_t size = 0;

    bool IsInsert() const { return (mask & 1) != 0; }
    bool IsDelete() const { return mask == 0; }
};

class TransformFile
{
public:
    // Reads every stream of the file. Throws Win32Error when it is no readable storage.
    explicit TransformFile(const std::wstring& path);

    // The root storage's class id: a transform's, or anything else the library would refuse.
    const CLSID& ClassId() const { return class_id_; }
    // Every stream as stored: packed name and bytes.
    const std::vector<std::pair<std::wstring, std::string>>& Streams() const { return streams_; }
    // Tables with a stream of change records.
    std::vector<std::wstring> Tables() const;
    // Stream cells: data by row stream name ("Binary.Icon1").
    const std::map<std::wstring, std::string>& CellStreams() const { return cells_; }
    // The records of table, read with the columns the table has while it is applied. A record cut short
    // ends the list, as it ends the library's reading.
    std::vector<TransformRecord> Records(const std::wstring& table,
                                         const std::vector<TransformColumn>& columns) const;

private:
    void read_pool(const std::string& pool, const std::string& data);

    std::vector<std::pair<std::wstring, std::string>> streams_;
    std::map<std::wstring, std::string> tables_; // records by table
    std::map<std::wstring, std::string> cells_;
    std::vector<std::wstring> strings_; // by id - 1
    int string_width_ = 2;
    CLSID class_id_ = {};
};

} // namespace msi

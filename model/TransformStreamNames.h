#pragma once
// Names of the elements of an installer storage. Table streams and the string pool carry a 0x4840
// prefix; a stream cell's data is named after its table and row keys ("Binary.Icon1") without it.
// Characters of [0-9A-Za-z._] are packed two to a code unit so that names fit the storage's limit.
#include <string>

namespace msi {

// The most code units a storage element name may have (the terminator not counted).
constexpr size_t kMaxStreamNameUnits = 31;

std::wstring PackStreamName(const std::wstring& name, bool table_stream);

} // namespace msi

#pragma once
// Names of the elements of an installer storage. Table streams and the string pool carry a 0x4840
// prefix; a stream cell's data is named after its table and row keys ("Binary.Icon1") without it.
// Characters of [0-9A-Za-z._] are packed two to a code unit so that names fit the storage's limit.
#include <string>
#include <vector>

namespace msi {

// The most code units a storage element name may have (the terminator not counted).
constexpr size_t kMaxStreamNameUnits = 31;
// The mark before a table stream's packed name.
constexpr wchar_t kTableStreamPrefix = 0x4840;

std::wstring PackStreamName(const std::wstring& name, bool table_stream);
// The name a packed element stands for; table_stream tells whether it carried the table prefix.
std::wstring UnpackStreamName(const std::wstring& packed, bool& table_stream);

// The name Wine and Windows give a row's stream: the table, then each key's text (integers in signed
// decimal, a null key empty), joined by ".".
std::wstring RowStreamName(const std::wstring& table, const std::vector<std::wstring>& key_texts);

} // namespace msi

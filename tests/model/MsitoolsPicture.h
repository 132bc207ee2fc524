#pragma once
// What msitools (the Linux tools, run from Wine) read from a database, for tests that check our files
// outside Wine's own library.
#include <windows.h>
#include <string>
#include <vector>

namespace model_testing {

// The length and a hash of stream bytes, as the pictures below show a stream cell.
std::wstring StreamDigest(const std::vector<BYTE>& bytes);

// Every table msidump finds in the file: "[Table]\n" and its rows sorted, each cell followed by a tab,
// stream cells as StreamDigest. False (picture untouched) when msitools are not installed.
bool MsitoolsPicture(const std::wstring& path, std::wstring& picture);

} // namespace model_testing

#pragma once
// Prints a database as the model sees it: every table (name, column names, column type texts, then each
// row's display texts, tab-separated, in the table's row order) and then the summary information.
#include "model/MsiFile.h"

#include <string>

namespace model_dump {

// stream_digests: stream cells are extracted and shown as the MD5 of their bytes instead of "<binary>".
std::wstring DumpDatabase(MsiFile& file, bool stream_digests);
std::wstring DumpTable(MsiTable& table, bool stream_digests);
std::wstring DumpSummaryInformation(MsiFile& file);
std::wstring HexText(const std::vector<BYTE>& bytes);

} // namespace model_dump

#pragma once
// Databases on disk for the lookup tests, and small readers of what a lookup shows.
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "../MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace lookup_testing {

using model_testing::Param;

// One INSERT with its parameters.
struct Insert
{
    std::wstring sql;
    std::vector<Param> params;
};

// A database file in a scratch folder, made from statements and inserts, then opened writable.
class LookupDatabase
{
public:
    LookupDatabase(const std::vector<std::wstring>& statements, const std::vector<Insert>& inserts = {});
    MsiFile& file() { return *file_; }
    MsiTable& table(const std::wstring& name);
    const std::wstring& path() const { return path_; }
    // A file in the scratch folder holding the text.
    std::wstring text_file(const std::wstring& name, const std::string& content);
    // Opens the file again, dropping the old MsiFile and its tables.
    void reopen();

private:
    testing_support::ScratchFolder folder_;
    std::wstring path_;
    std::unique_ptr<MsiFile> file_;
};

// The texts of one column in the order of a sort column.
std::vector<std::wstring> ColumnTexts(MsiTableLookupBase& lookup, int column, int sort_column);
// The first key text of every row in the order of a sort column.
std::vector<std::wstring> KeyOrder(MsiTableLookupBase& lookup, int sort_column);

} // namespace lookup_testing

#include "LookupTesting.h"

#include <stdexcept>

namespace lookup_testing {

LookupDatabase::LookupDatabase(const std::vector<std::wstring>& statements,
                               const std::vector<Insert>& inserts)
{
    path_ = folder_.file(L"lookups.msi");
    model_testing::CreateDatabaseFile(path_, statements);
    if (!inserts.empty()) {
        MsiHandle database = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        for (const Insert& insert : inserts)
            model_testing::Execute(database.get(), insert.sql, insert.params);
        msi::DatabaseCommit(database.get());
    }
    reopen();
}
void LookupDatabase::reopen()
{
    file_.reset();
    file_.reset(new MsiFile());
    file_->Open(path_, MSIDBOPEN_TRANSACT);
}

MsiTable& LookupDatabase::table(const std::wstring& name)
{
    MsiTableRef table = file_->FindTable(name);
    if (!table)
        throw std::runtime_error("no such table");
    return *table;
}

std::wstring LookupDatabase::text_file(const std::wstring& name, const std::string& content)
{
    std::wstring path = folder_.file(name);
    testing_support::WriteFileBytes(path, std::vector<BYTE>(content.begin(), content.end()));
    return path;
}

std::vector<std::wstring> ColumnTexts(MsiTableLookupBase& lookup, int column, int sort_column)
{
    std::vector<std::wstring> texts;
    for (int position = 0; position < lookup.RowCount(); ++position)
        texts.push_back(lookup.GetCellText(column, position, sort_column));
    return texts;
}

std::vector<std::wstring> KeyOrder(MsiTableLookupBase& lookup, int sort_column)
{
    std::vector<std::wstring> keys;
    for (int position = 0; position < lookup.RowCount(); ++position)
        keys.push_back(lookup.GetKeyValuesAt(position, sort_column).at(0));
    return keys;
}

} // namespace lookup_testing

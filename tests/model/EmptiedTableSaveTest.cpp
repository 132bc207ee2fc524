// A table that loses every row in a session, saved in place and elsewhere: every other table must come
// back as it was, the files must be sound compound files, and the same open database keeps working.
#include "model/MsiFile.h"
#include "foundation/Convert.h"
#include "CompoundFileCheck.h"
#include "TransformTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using transform_testing::DatabaseText;
using transform_testing::DumpDatabase;

namespace {

DatabaseText FileText(const std::wstring& path)
{
    EXPECT_EQ("", model_testing::CompoundFileFault(path)) << tfc::to_narrow(path);
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    return DumpDatabase(database.get());
}

void ExpectSaved(const std::wstring& saved, const std::wstring& emptied, const DatabaseText& before)
{
    DatabaseText after = FileText(saved);
    ASSERT_EQ(before.size(), after.size());
    for (const auto& table : before) {
        if (table.first != emptied) {
            EXPECT_EQ(table.second, after[table.first]) << tfc::to_narrow(table.first);
            continue;
        }
        MsiHandle database = msi::OpenDatabase(saved, MSIDBOPEN_READONLY);
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT * FROM `" + emptied + L"`");
        msi::ViewExecute(view.get(), 0);
        EXPECT_FALSE(msi::ViewFetch(view.get()));
    }
}

// Empties the table through the model, saves elsewhere and in place, and compares both files; then puts
// the rows back into the same open database and saves in place again.
void ExpectEmptiedTableSaved(const std::wstring& source, const std::wstring& name, const DatabaseText& before)
{
    SCOPED_TRACE("emptied " + tfc::to_narrow(name));
    testing_support::ScratchFolder folder;
    std::wstring path = folder.copy_in(source, L"edited.msi"), copy = folder.file(L"saved as.msi");
    bool streams = false;
    {
        MsiFile file;
        file.Open(path, MSIDBOPEN_TRANSACT);
        MsiTable& table = *file.FindTable(name);
        std::vector<MsiRow> rows(table.rows().begin(), table.rows().end());
        while (!table.rows().empty())
            file.DeleteRow(table, table.rows().begin());
        file.SaveDatabaseAs(copy, false, L"");
        file.SaveInPlace(false, L"");
        ExpectSaved(copy, name, before);
        // Wine keeps the streams of deleted rows, so rows with stream cells are not put back here.
        for (const MsiFieldDefRef& column : table.columns())
            streams = streams || column->kind() == MsiFieldKind::Binary;
        if (!streams) {
            for (const MsiRow& row : rows)
                file.AddRow(table, row);
            file.SaveInPlace(false, L"");
        }
    }
    ExpectSaved(path, streams ? name : L"", before);
}

} // namespace

TEST(EmptiedTableSave, EveryOtherTableOfEachSharedPackageKeepsItsRows)
{
    int found = testing_support::ForEachSamplePackage([](const std::wstring&, const std::wstring& source) {
        DatabaseText before = FileText(source);
        std::vector<std::wstring> filled;
        {
            MsiFile file;
            file.Open(source, MSIDBOPEN_READONLY);
            for (auto& entry : file.tables())
                if (entry.second->user_table() && !entry.second->rows().empty())
                    filled.push_back(entry.first);
        }
        for (const std::wstring& name : filled)
            ExpectEmptiedTableSaved(source, name, before);
    });
    if (found == 0)
        GTEST_SKIP() << "no shared test packages";
}

// What a cascaded deletion takes, over the shared packages with the generated schema: with every row of
// every table asked for in turn, no row left behind loses a row it requires.
#include "model/CascadeRows.h"
#include "model/MsiFile.h"
#include "foundation/Convert.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <unordered_set>

namespace {

// A row outside the deleted ones whose required relationship finds only deleted rows, as
// "Table key -> Table key through relationship"; empty when there is none.
std::wstring DanglingAfter(const SchemaRelationships& links, const CascadeRows::RowList& deleted)
{
    std::unordered_set<const MsiRow*> going;
    for (const auto& row : deleted)
        going.insert(&*row.second);
    for (const auto& row : deleted) {
        for (const auto& table : links.GetReferencingRows(*row.first, row.second)) {
            for (const SchemaRelationships::LinkedRow& referring : table.second) {
                if (going.count(&*referring.row))
                    continue;
                for (const RelationshipDefPtr& relationship : referring.relationships) {
                    if (!relationship->required())
                        continue;
                    bool kept = false;
                    for (const auto& referred :
                         links.GetReferencedRows(*table.first, referring.row, row.first)) {
                        for (const SchemaRelationships::LinkedRow& other : referred.second)
                            kept = kept ||
                                   (!going.count(&*other.row) && other.relationships.count(relationship));
                    }
                    if (!kept)
                        return table.first->name() + L" " + table.first->RowKeyText(*referring.row) +
                               L" -> " + row.first->name() + L" " + row.first->RowKeyText(*row.second) +
                               L" through " + relationship->Describe();
                }
            }
        }
    }
    return std::wstring();
}

} // namespace

TEST(CascadeRows, NoRequiredReferenceDanglesAfterAnyCascadeOfTheSharedPackages)
{
    testing_support::ScratchFolder folder;
    int packages = 0;
    for (const wchar_t* name : {L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi",
                                L"two-saves.msi", L"transforms\\base.msi",
                                L"transforms\\dropped-table-columns-left.msi", L"saves\\with-dialogs.msi"}) {
        std::wstring path = testing_support::TestDataPath(name);
        if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;
        SCOPED_TRACE(tfc::to_narrow(name));
        ++packages;
        std::wstring copy = folder.copy_in(path, L"package.msi");
        MsiFile file;
        try {
            file.Open(copy, MSIDBOPEN_READONLY);
        } catch (const std::exception& error) {
            // Opening is not what this asks about.
            std::printf("%ls not opened: %s\n", name, error.what());
            continue;
        }
        file.relationships().Build(file);
        size_t cascades = 0, largest = 0;
        for (const auto& entry : file.tables()) {
            MsiTable& table = *entry.second;
            for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
                CascadeRows cascade;
                ASSERT_TRUE(cascade.Collect(file.relationships(), {{&table, row}}));
                CascadeRows::RowList deleted = cascade.DistinctRows();
                ASSERT_EQ(&*row, &*deleted.front().second);
                std::wstring dangling = DanglingAfter(file.relationships(), deleted);
                ASSERT_EQ(L"", dangling) << "deleting " << tfc::to_narrow(table.name()) << " "
                                         << tfc::to_narrow(table.RowKeyText(*row));
                ++cascades;
                largest = std::max(largest, deleted.size());
            }
        }
        EXPECT_GT(cascades, 0u);
        EXPECT_GT(largest, 1u);
    }
    if (!packages)
        GTEST_SKIP() << "shared test data absent";
}

// The component `Registry` takes its registry value and the feature's link to it, which requires it.
TEST(CascadeRows, AComponentTakesTheFeatureLinksThatRequireIt)
{
    std::wstring path = testing_support::TestDataPath(L"transforms\\base.msi");
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "shared test data absent";
    testing_support::ScratchFolder folder;
    MsiFile file;
    file.Open(folder.copy_in(path, L"base.msi"), MSIDBOPEN_READONLY);
    file.relationships().Build(file);
    MsiTable& components = *file.FindTable(L"Component");
    RowIterator registry = components.rows().begin();
    while (registry != components.rows().end() && components.RowKeyText(*registry) != L"Registry")
        ++registry;
    ASSERT_NE(components.rows().end(), registry);
    CascadeRows cascade;
    ASSERT_TRUE(cascade.Collect(file.relationships(), {{&components, registry}}));
    // Owned rows come in no particular order.
    std::set<std::wstring> lines;
    for (const CascadeRows::Entry& entry : cascade.entries())
        lines.insert(std::to_wstring(entry.parent) + L" " + entry.table->name() + L" " +
                     entry.table->RowKeyText(*entry.row) + L"\n");
    std::wstring picture;
    for (const std::wstring& line : lines)
        picture += line;
    EXPECT_EQ(L"-1 Component Registry\n0 FeatureComponents TEST|Registry\n0 Registry "
              L"reg302A797C45AD3AD1EC816DDC58DF65F3\n",
              picture);
}

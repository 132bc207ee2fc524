// Stream cells of stored rows in the shared packages: new bytes, bigger and smaller, two cells at once,
// reach the file through a save in place and a save elsewhere, and nothing else of the file changes.
#include "model/MsiFile.h"
#include "ChangesTesting.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <map>

using namespace model_testing;
using changes_testing::Bytes;

namespace {

// Every stream of the file by name, with its bytes.
std::map<std::string, std::string> StoredStreams(const std::wstring& path)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    std::map<std::string, std::string> streams;
    for (const auto& row : SelectRows(database.get(), L"SELECT `Name`, `Data` FROM `_Streams`"))
        streams[row[0]] = row[1];
    return streams;
}

MsiFieldDataRef StreamCell(const MsiFieldDef& column, const std::wstring& path)
{
    MsiFieldDataRef cell(new MsiFieldData());
    column.set_field_data(*cell, path);
    return cell;
}

// Gives the package two stored Binary rows, adding the table and rows it lacks, and saves it.
void SeedBinaryRows(const std::wstring& path, const testing_support::ScratchFolder& folder)
{
    MsiFile file;
    file.Open(path, MSIDBOPEN_TRANSACT);
    MsiTableRef binary = file.FindTable(L"Binary");
    if (!binary) {
        MsiTable source(L"Binary", nullptr);
        source.columns().push_back(MakeFieldDef(L"Name", true, L"s72", 0, nullptr));
        source.columns().push_back(MakeFieldDef(L"Data", false, L"v0", 1, nullptr));
        binary = file.AddTableWithRows(source);
    }
    for (int seed = 0; binary->rows().size() < 2; ++seed) {
        std::wstring bytes = folder.file(L"seed" + std::to_wstring(seed));
        testing_support::WriteFileBytes(bytes, Bytes("seed " + std::to_string(seed)));
        file.AddRow(*binary, {MsiFieldDataRef(new MsiFieldData(L"Seed" + std::to_wstring(seed))),
                              StreamCell(*binary->columns()[1], bytes)});
    }
    file.SaveInPlace(false, L"");
}

class StreamCellsTest : public ::testing::TestWithParam<const wchar_t*>
{
};

} // namespace

TEST_P(StreamCellsTest, StoredStreamCellsTakeNewBytesThroughEverySave)
{
    std::wstring source = testing_support::TestDataPath(GetParam());
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    testing_support::ScratchFolder folder;
    std::wstring path = folder.copy_in(source, GetParam());
    SeedBinaryRows(path, folder);

    struct Step
    {
        size_t size;
        bool in_place;
    };
    for (const Step& step : {Step{10000, true}, Step{51, false}}) {
        SCOPED_TRACE(step.size);
        std::map<std::string, std::string> expected_streams = StoredStreams(path);
        std::wstring target = step.in_place ? path : folder.file(L"saved-as");
        std::wstring expected;
        {
            MsiFile file;
            file.Open(path, MSIDBOPEN_TRANSACT);
            MsiTable& binary = *file.FindTable(L"Binary");
            const MsiFieldDef& data = *binary.columns()[1];
            char fill = 'a';
            for (RowIterator row = binary.rows().begin(); row != binary.rows().end() && fill < 'c'; ++row) {
                std::string bytes(step.size, fill++);
                std::wstring bytes_file = folder.file(L"new" + std::to_wstring(fill));
                testing_support::WriteFileBytes(bytes_file, Bytes(bytes));
                file.ModifyRow(data, row, StreamCell(data, bytes_file));
                std::wstring name = L"Binary." + binary.RowKeyText(*row);
                expected_streams[std::string(name.begin(), name.end())] = bytes;
            }
            expected = changes_testing::DatabasePicture(file, false);
            if (step.in_place)
                file.SaveInPlace(false, L"");
            else
                file.SaveDatabaseAs(target, false, L"");
        }
        EXPECT_EQ(expected, changes_testing::FilePicture(target, false));
        EXPECT_EQ(expected_streams, StoredStreams(target));
    }
}

INSTANTIATE_TEST_SUITE_P(SharedPackages, StreamCellsTest,
                         ::testing::Values(L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi"));

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

// Every stream of the file by name, with its bytes; the summary information (which a save rewrites) is
// compared property by property in the pictures.
std::map<std::string, std::string> StoredStreams(const std::wstring& path)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_READONLY);
    std::map<std::string, std::string> streams;
    for (const auto& row : SelectRows(database.get(), L"SELECT `Name`, `Data` FROM `_Streams`"))
        streams[row[0]] = row[1];
    streams.erase("\x5SummaryInformation");
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

// A stream that no row owns, deleted from `_Streams` of the merge module (the last in Wine's list of its
// streams), then a new stream cell in the same open: Wine would fault; saved, the file holds exactly that.
TEST(StreamCellsDeletionTest, UnownedStreamDeletedThenAStreamAddedInTheSameOpen)
{
    std::wstring source = testing_support::TestDataPath(L"MergeModule1.msm");
    if (source.empty())
        GTEST_SKIP() << "no shared test data";
    testing_support::ScratchFolder folder;
    std::wstring path = folder.copy_in(source, L"module.msm");
    std::map<std::string, std::string> expected = StoredStreams(path);
    ASSERT_EQ(1u, expected.erase("MergeModule.CABinet"));
    std::wstring added = folder.file(L"added.bin");
    testing_support::WriteFileBytes(added, Bytes("added"));
    expected["Binary.Added"] = "added";
    std::wstring picture;
    {
        MsiFile file;
        file.Open(path, MSIDBOPEN_TRANSACT);
        MsiTable& streams = *file.FindTable(L"_Streams");
        auto cabinet = std::find_if(streams.rows().begin(), streams.rows().end(), [&](const MsiRow& row) {
            return row[0]->string() == L"MergeModule.CABinet";
        });
        ASSERT_NE(streams.rows().end(), cabinet);
        file.DeleteRow(streams, cabinet);
        MsiTable& binary = *file.FindTable(L"Binary");
        file.AddRow(binary,
                    {MsiFieldDataRef(new MsiFieldData(L"Added")), StreamCell(*binary.columns()[1], added)});
        picture = changes_testing::DatabasePicture(file, false);
        file.SaveInPlace(false, L"");
    }
    EXPECT_EQ(picture, changes_testing::FilePicture(path, false));
    EXPECT_EQ(expected, StoredStreams(path));
}

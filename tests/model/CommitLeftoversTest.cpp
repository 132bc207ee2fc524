// A file an earlier session saved with a link to a freed directory entry (what Wine's commit leaves):
// opened, edited and saved twice in place, it must still reopen whole and be a sound compound file.
#include "model/MsiFile.h"
#include "foundation/Convert.h"
#include "CompoundFileCheck.h"
#include "ChangesTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

uint32_t U32(const std::vector<BYTE>& bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

// Links the first entry without a right sibling to the first free entry of the directory's first
// sector (a cleared entry, as Wine leaves them); false when the sector has no free entry.
bool LinkFreedEntry(std::vector<BYTE>& bytes)
{
    size_t sector = size_t(1) << (bytes[0x1E] | (bytes[0x1F] << 8));
    size_t directory = (U32(bytes, 0x30) + 1) * sector;
    size_t linked = 0, freed = 0;
    for (size_t id = 1; id < sector / 128; ++id) {
        size_t entry = directory + id * 128;
        if (!linked && bytes[entry + 0x42] == 2 && U32(bytes, entry + 0x48) == 0xFFFFFFFF)
            linked = entry;
        if (!freed && bytes[entry + 0x42] == 0)
            freed = id;
    }
    if (!linked || !freed)
        return false;
    std::fill(bytes.begin() + directory + freed * 128, bytes.begin() + directory + (freed + 1) * 128, 0);
    for (int i = 0; i < 4; ++i)
        bytes[linked + 0x48 + i] = static_cast<BYTE>(freed >> (8 * i));
    return true;
}

} // namespace

TEST(CommitLeftovers, FileWithLinkToFreedEntryStaysWholeThroughSavesInPlace)
{
    int tried = 0;
    for (const wchar_t* package : {L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi"}) {
        std::wstring source = testing_support::TestDataPath(package);
        if (source.empty())
            continue;
        SCOPED_TRACE(tfc::to_narrow(package));
        testing_support::ScratchFolder folder;
        std::vector<BYTE> bytes = testing_support::ReadFileBytes(source);
        if (!LinkFreedEntry(bytes))
            continue;
        ++tried;
        std::wstring path = folder.file(L"left over.msi");
        testing_support::WriteFileBytes(path, bytes);
        std::wstring expected;
        {
            MsiFile file;
            file.Open(path, MSIDBOPEN_TRANSACT);
            for (int round = 0; round < 2; ++round) {
                MsiTableRef largest = file.tables().begin()->second;
                for (auto& entry : file.tables())
                    if (entry.second->user_table() && entry.second->rows().size() > largest->rows().size())
                        largest = entry.second;
                file.DeleteRow(*largest, largest->rows().begin());
                file.SaveInPlace(false, L"");
            }
            expected = changes_testing::DatabasePicture(file, false);
        }
        EXPECT_EQ("", model_testing::CompoundFileFault(path));
        EXPECT_EQ(expected, changes_testing::FilePicture(path, false));
    }
    if (tried == 0)
        GTEST_SKIP() << "no shared test packages with a free directory entry";
}

// Files that are no sound installer database: each open says what is wrong and names the path, and a
// damaged copy of a real package either opens whole or is refused; the library never sees a file that
// would make it loop or read a table empty.
#include "model/installer/CompoundFileCheck.h"
#include "model/MsiFile.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"
#include "tools/ModelDump.h"

#include <gtest/gtest.h>
#include <random>

namespace {

const wchar_t kDamaged[] = L"The file is damaged or is not an installer database: ";

// What opening the file gives: the dump of the whole database, or the error's description. The open
// runs on a worker, so that a library that never returns fails the test instead of stopping the run.
std::wstring OpenOutcome(const std::wstring& path)
{
    struct Job
    {
        std::wstring path;
        std::wstring outcome;
    } job{path, std::wstring()};
    auto run = [](void* parameter) -> DWORD {
        Job& job = *static_cast<Job*>(parameter);
        try {
            MsiFile file;
            file.Open(job.path, MSIDBOPEN_READONLY);
            job.outcome = model_dump::DumpDatabase(file, true);
        } catch (const tfc::Win32Error& error) {
            job.outcome = error.description();
        } catch (const std::exception& error) {
            job.outcome = L"other error: " + tfc::to_wide(error.what());
        } catch (...) {
            job.outcome = L"other error";
        }
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, run, &job, 0, nullptr);
    if (!thread)
        return L"no thread";
    // A bound against a hang, far beyond any open of these small files.
    DWORD waited = WaitForSingleObject(thread, 120000);
    if (waited != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the open never returned";
        TerminateThread(thread, 1);
        CloseHandle(thread);
        return L"hung";
    }
    CloseHandle(thread);
    return job.outcome;
}

uint32_t U32(const std::vector<BYTE>& bytes, size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

class DamagedPackageTest : public ::testing::TestWithParam<const wchar_t*>
{
protected:
    void SetUp() override
    {
        source_ = testing_support::TestDataPath(GetParam());
        if (source_.empty())
            GTEST_SKIP() << "no shared test data";
        original_ = testing_support::ReadFileBytes(source_);
        whole_ = OpenOutcome(source_);
        ASSERT_EQ(std::wstring::npos, whole_.find(kDamaged)) << "the original opens";
    }

    // Writes the bytes as a damaged copy and checks what opening it gives.
    void ExpectWholeOrRefused(const std::vector<BYTE>& bytes, const std::string& what)
    {
        SCOPED_TRACE(what);
        std::wstring path = folder_.file(L"damaged" + std::to_wstring(++copies_) + L".msi");
        testing_support::WriteFileBytes(path, bytes);
        std::wstring outcome = OpenOutcome(path);
        if (outcome != whole_)
            EXPECT_EQ(kDamaged + path, outcome.substr(0, 300));
    }

    std::wstring source_;
    std::vector<BYTE> original_;
    std::wstring whole_;
    testing_support::ScratchFolder folder_;
    int copies_ = 0;
};

} // namespace

TEST_P(DamagedPackageTest, EveryCutOpensWholeOrIsRefused)
{
    for (size_t cut = 4096; cut < original_.size(); cut += 4096)
        ExpectWholeOrRefused(std::vector<BYTE>(original_.begin(), original_.begin() + cut),
                             "cut at " + std::to_string(cut));
}

TEST_P(DamagedPackageTest, OverwrittenHeaderFatAndDirectoryOpenWholeOrAreRefused)
{
    size_t sector = size_t(1) << (original_[0x1E] | (original_[0x1F] << 8));
    struct Region
    {
        const char* name;
        size_t start;
        size_t size;
    };
    // The header after its signature, the first FAT sector, the first directory sector.
    std::vector<Region> regions = {{"header", 8, 512 - 8},
                                   {"FAT", (U32(original_, 0x4C) + 1) * sector, sector},
                                   {"directory", (U32(original_, 0x30) + 1) * sector, sector}};
    std::mt19937 random(7);
    for (const Region& region : regions) {
        for (int round = 0; round < 3; ++round) {
            std::vector<BYTE> bytes = original_;
            for (size_t at = region.start; at < region.start + region.size && at < bytes.size(); ++at)
                bytes[at] = static_cast<BYTE>(random());
            ExpectWholeOrRefused(bytes, std::string(region.name) + " round " + std::to_string(round));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(SharedPackages, DamagedPackageTest,
                         ::testing::Values(L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi"));

TEST(DatabaseFileCheckTest, EachKindOfBadPathGetsItsOwnMessage)
{
    testing_support::ScratchFolder folder;
    std::wstring text = folder.file(L"text.msi");
    testing_support::WriteFileBytes(text, {'n', 'o', 't', ' ', 'a', ' ', 'd', 'b'});
    std::wstring empty = folder.file(L"empty.msi");
    testing_support::WriteFileBytes(empty, {});
    std::wstring cut = folder.file(L"cut.msi");
    std::vector<BYTE> header(512, 0);
    const BYTE signature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), header.begin());
    testing_support::WriteFileBytes(cut, header);
    struct Case
    {
        std::wstring path;
        const wchar_t* message;
    };
    const Case cases[] = {{folder.file(L"missing.msi"), L"The file does not exist: "},
                          {folder.file(L"no folder\\missing.msi"), L"The file does not exist: "},
                          {folder.path(), L"The path names a folder, not a file: "},
                          {text, L"The file is not an installer database: "},
                          {empty, L"The file is not an installer database: "},
                          {cut, kDamaged}};
    for (const Case& test : cases) {
        SCOPED_TRACE(tfc::to_narrow(test.path));
        MsiFile file;
        try {
            file.Open(test.path, MSIDBOPEN_TRANSACT);
            ADD_FAILURE() << "opened";
        } catch (const tfc::Win32Error& error) {
            EXPECT_EQ(test.message + test.path, error.description());
            EXPECT_EQ(L"MsiOpenDatabase", error.function());
        }
        EXPECT_TRUE(file.tables().empty());
    }
}

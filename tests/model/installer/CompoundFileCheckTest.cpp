// Files that are no sound installer database: each open says what is wrong and names the path, and a
// damaged copy of a real package either opens whole or is refused; the library never sees a file that
// would make it loop or read a table empty.
#include "model/installer/CompoundFileCheck.h"
#include "model/installer/DatabaseStreamsCheck.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TransformStorage.h"
#include "model/installer/TransformStreamNames.h"
#include "model/MsiFile.h"
#include "model/MsiQuery.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"
#include "support/TestSupport.h"
#include "tools/ModelDump.h"

#include <gtest/gtest.h>
#include <algorithm>
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

namespace {

// Offsets of the directory entries of a small package (its FAT fits the header's list).
std::vector<size_t> DirectoryEntries(const std::vector<BYTE>& bytes)
{
    size_t sector = size_t(1) << (bytes[0x1E] | (bytes[0x1F] << 8));
    std::vector<uint32_t> fat;
    for (size_t slot = 0; slot < 109 && U32(bytes, 0x4C + slot * 4) != 0xFFFFFFFF; ++slot)
        for (size_t at = 0; at < sector; at += 4)
            fat.push_back(U32(bytes, (U32(bytes, 0x4C + slot * 4) + 1) * sector + at));
    std::vector<size_t> entries;
    for (uint32_t s = U32(bytes, 0x30); s < fat.size() && entries.size() < 10000; s = fat[s])
        for (size_t at = 0; at < sector; at += 128)
            entries.push_back((s + 1) * sector + at);
    return entries;
}

std::wstring EntryName(const std::vector<BYTE>& bytes, size_t entry)
{
    std::wstring packed;
    for (size_t at = 0; at + 2 < (bytes[entry + 0x40] | (bytes[entry + 0x41] << 8)); at += 2)
        packed += static_cast<wchar_t>(bytes[entry + at] | (bytes[entry + at + 1] << 8));
    bool table = false;
    std::wstring name = msi::UnpackStreamName(packed, table);
    return table ? L"!" + name : name;
}

void SetU32(std::vector<BYTE>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<BYTE>(value >> (8 * i));
}

// Takes the entry out of the directory tree (its subtrees stay, in order); the entry itself stays in use.
void Unlink(std::vector<BYTE>& bytes, size_t entry)
{
    const uint32_t kNone = 0xFFFFFFFF;
    std::vector<size_t> entries = DirectoryEntries(bytes);
    uint32_t index =
        static_cast<uint32_t>(std::find(entries.begin(), entries.end(), entry) - entries.begin());
    uint32_t left = U32(bytes, entry + 0x44), right = U32(bytes, entry + 0x48);
    uint32_t replacement = left == kNone ? right : left;
    if (left != kNone && right != kNone) {
        uint32_t last = left;
        while (U32(bytes, entries[last] + 0x48) != kNone)
            last = U32(bytes, entries[last] + 0x48);
        SetU32(bytes, entries[last] + 0x48, right);
    }
    for (size_t other : entries)
        for (size_t link : {0x44, 0x48, 0x4C})
            if (bytes[other + 0x42] != 0 && U32(bytes, other + link) == index)
                SetU32(bytes, other + link, replacement);
}

} // namespace

// Damage of one to four bytes in the database's own streams, each of which made the library crash or
// lose tables without a word: the open is refused instead.
TEST_P(DamagedPackageTest, DamagedDatabaseStreamsAreRefused)
{
    std::vector<size_t> entries = DirectoryEntries(original_);
    // A user table that has rows: its stream is the one damaged below.
    std::wstring table;
    for (size_t entry : entries) {
        std::wstring name = EntryName(original_, entry);
        if (table.empty() && original_[entry + 0x42] == 2 && U32(original_, entry + 0x78) != 0 &&
            name.size() > 1 && name[0] == L'!' && name[1] != L'_')
            table = name;
    }
    ASSERT_FALSE(table.empty());
    using Change = void (*)(std::vector<BYTE>&, size_t);
    auto rename = [](std::vector<BYTE>& bytes, size_t entry) { bytes[entry + 2] ^= 0x01; };
    auto halve = [](std::vector<BYTE>& bytes, size_t entry) {
        SetU32(bytes, entry + 0x78, U32(bytes, entry + 0x78) / 2);
    };
    struct Case
    {
        const char* what;
        std::wstring stream;
        Change change;
    };
    const Case cases[] = {
        {"string pool renamed", L"!_StringPool", rename},
        {"string data renamed", L"!_StringData", rename},
        {"column catalog halved", L"!_Columns", halve},
        {"table list renamed", L"!_Tables", rename},
        {"table list halved", L"!_Tables", halve},
        {"table stream renamed", table, rename},
        {"table stream emptied", table,
         [](std::vector<BYTE>& bytes, size_t entry) { SetU32(bytes, entry + 0x78, 0); }},
        {"table stream size high word", table,
         [](std::vector<BYTE>& bytes, size_t entry) { SetU32(bytes, entry + 0x7C, 1); }},
        {"table stream entry freed", table,
         [](std::vector<BYTE>& bytes, size_t entry) { bytes[entry + 0x42] = 0; }},
        // Its rows would be lost: the library reads a table whose stream it does not reach as empty.
        {"table stream unlinked", table, Unlink},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        std::vector<BYTE> bytes = original_;
        size_t found = 0;
        for (size_t entry : entries)
            if (original_[entry + 0x42] == 2 && EntryName(original_, entry) == test.stream)
                found = entry;
        ASSERT_NE(0u, found);
        test.change(bytes, found);
        std::wstring path = folder_.file(L"damaged" + std::to_wstring(++copies_) + L".msi");
        testing_support::WriteFileBytes(path, bytes);
        EXPECT_EQ(kDamaged + path, OpenOutcome(path).substr(0, 300));
    }
}

// Structured storage never finds an entry in use that the directory tree does not reach (Wine's commit
// leaves such entries): a copy of a table's entry left in a free slot changes nothing.
TEST_P(DamagedPackageTest, UnreachedEntriesArePassedOver)
{
    std::vector<size_t> entries = DirectoryEntries(original_);
    size_t free_slot = 0, table = 0;
    for (size_t entry : entries) {
        if (!free_slot && original_[entry + 0x42] == 0)
            free_slot = entry;
        if (!table && original_[entry + 0x42] == 2 && EntryName(original_, entry) == L"!_Tables")
            table = entry;
    }
    if (!free_slot)
        GTEST_SKIP() << "no free directory entry";
    ASSERT_NE(0u, table);
    std::vector<BYTE> bytes = original_;
    std::copy(bytes.begin() + table, bytes.begin() + table + 128, bytes.begin() + free_slot);
    for (size_t link : {0x44, 0x48, 0x4C})
        SetU32(bytes, free_slot + link, 0xFFFFFFFF);
    std::wstring path = folder_.file(L"unreached.msi");
    testing_support::WriteFileBytes(path, bytes);
    EXPECT_EQ(whole_, OpenOutcome(path));
}

// Wine may keep the stream of a table dropped in a session (where it did not, the stream is put back): the
// table list no longer names it, so the library passes it over and the rest of the file reads whole.
TEST_P(DamagedPackageTest, AStreamKeptOfADroppedTableIsPassedOver)
{
    MsiFile original;
    original.Open(source_, MSIDBOPEN_READONLY);
    std::wstring dropped;
    for (auto& entry : original.tables())
        if (dropped.empty() && entry.first[0] != L'_' && !entry.second->rows().empty())
            dropped = entry.first;
    ASSERT_FALSE(dropped.empty());
    std::wstring path = folder_.copy_in(source_, L"dropped.msi");
    {
        MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
        MsiQuery::OpenAndExecute(database.get(), L"DROP TABLE `" + dropped + L"`", 0);
        msi::DatabaseCommit(database.get());
    }
    std::wstring expected = OpenOutcome(path);
    ASSERT_EQ(std::wstring::npos, expected.find(kDamaged));
    ASSERT_EQ(std::wstring::npos, expected.find(L"[" + dropped + L"]\n"));
    // The stream as it stood before the drop, where the library left none.
    std::wstring name = msi::PackStreamName(dropped, true);
    std::string rows;
    {
        msi::ComRef<IStorage> source;
        msi::ComRef<IStream> stream;
        ASSERT_EQ(S_OK, StgOpenStorage(source_.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                                       0, source.receive()));
        ASSERT_EQ(S_OK, source->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                           stream.receive()));
        char block[4096];
        ULONG read = 0;
        while (SUCCEEDED(stream->Read(block, sizeof(block), &read)) && read > 0)
            rows.append(block, read);
    }
    {
        msi::ComRef<IStorage> copy;
        msi::ComRef<IStream> stream;
        ASSERT_EQ(S_OK, StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                                       0, copy.receive()));
        if (copy->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.receive()) !=
            S_OK) {
            ASSERT_EQ(S_OK, copy->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE,
                                               0, 0, stream.receive()));
            ULONG written = 0;
            ASSERT_EQ(S_OK, stream->Write(rows.data(), static_cast<ULONG>(rows.size()), &written));
            ASSERT_EQ(S_OK, copy->Commit(STGC_DEFAULT));
        }
    }

    EXPECT_EQ(expected, OpenOutcome(path));
}

INSTANTIATE_TEST_SUITE_P(SharedPackages, DamagedPackageTest,
                         ::testing::Values(L"shortcuts.msi", L"MergeModule1.msm", L"OldClassTableDef.msi",
                                           L"two-saves.msi"));

// Every file of the shared test data opens as its note says: the damaged copies are refused as damaged
// (one used to stop the program, the others opened with tables or rows missing), and the files other
// writers made open with the tables they hold.
TEST(SharedTestDataTest, DamagedCopiesAreRefusedAndOtherWritersFilesOpen)
{
    struct Case
    {
        const wchar_t* file;
        const wchar_t* table; // a table the open shows; none: refused as damaged
    };
    const Case cases[] = {
        {L"damaged\\stringpool-codepage.msi", nullptr},
        {L"damaged\\suminfo-property-offset.msi", nullptr},
        {L"damaged\\directory-sector-zeroed.msi", nullptr},
        {L"damaged\\duplicate-stream-name.msi", nullptr},
        {L"damaged\\table-stream-made-storage.msi", nullptr},
        {L"damaged\\table-stream-renamed.msi", nullptr},
        {L"shortcuts.msi", L"Shortcut"},
        {L"MergeModule1.msm", L"ModuleSignature"},
        {L"OldClassTableDef.msi", L"Class"},
        {L"two-saves.msi", L"Property"},
        {L"saves\\ice-suite.cub", L"_TemplateGUIDs"},
        {L"saves\\with-dialogs.msi", L"Dialog"},
        {L"transforms\\base.msi", L"Directory"},
        {L"transforms\\dropped-table-columns-left.msi", L"Property"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(tfc::to_narrow(test.file));
        std::wstring path = testing_support::TestDataPath(test.file);
        if (path.empty())
            GTEST_SKIP() << "no shared test data";
        if (!test.table) {
            EXPECT_EQ(kDamaged + path, OpenOutcome(path).substr(0, 300));
            continue;
        }
        MsiFile file;
        try {
            file.Open(path, MSIDBOPEN_READONLY);
        } catch (const tfc::Win32Error& error) {
            ADD_FAILURE() << tfc::to_narrow(error.description());
        }
        EXPECT_TRUE(file.FindTable(test.table));
    }
    // The column definitions a dropped table left behind make no table.
    std::wstring left = testing_support::TestDataPath(L"transforms\\dropped-table-columns-left.msi");
    MsiFile file;
    file.Open(left, MSIDBOPEN_READONLY);
    EXPECT_FALSE(file.FindTable(L"Registry"));
}

// Packages another writer made (tools/testpackages) open whole, and so does one with a nested storage.
TEST(OtherWriterPackagesTest, OpenWhole)
{
    std::wstring strings = testing_support::BuildPath(L"testpackages\\strings-and-columns.msi");
    std::wstring streams = testing_support::BuildPath(L"testpackages\\streams.msi");
    if (GetFileAttributesW(strings.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no packages made by msitools";
    {
        // 3-byte string references, 45 columns, an empty table, code page 65001.
        MsiFile file;
        file.Open(strings, MSIDBOPEN_READONLY);
        ASSERT_TRUE(file.FindTable(L"Many"));
        EXPECT_EQ(70000u, file.FindTable(L"Many")->rows().size());
        ASSERT_TRUE(file.FindTable(L"Wide"));
        EXPECT_EQ(45u, file.FindTable(L"Wide")->columns().size());
        EXPECT_EQ(3u, file.FindTable(L"Wide")->rows().size());
        ASSERT_TRUE(file.FindTable(L"Empty"));
        EXPECT_NE(std::wstring::npos, model_dump::DumpDatabase(file, false)
                                          .find(L"\u017dlu\u0165ou\u010dk\u00fd k\u016f\u0148 \u2603"));
    }
    // `_Streams` rows, one of 50 MB; then the same with a storage that holds a stream.
    testing_support::ScratchFolder folder;
    std::wstring nested = folder.file(L"nested.msi");
    ASSERT_TRUE(CopyFileW(streams.c_str(), nested.c_str(), FALSE));
    {
        IStorage* root = nullptr;
        ASSERT_EQ(S_OK, StgOpenStorage(nested.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE,
                                       nullptr, 0, &root));
        IStorage* inner = nullptr;
        ASSERT_EQ(S_OK, root->CreateStorage(L"Inner", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                            0, &inner));
        IStream* stream = nullptr;
        ASSERT_EQ(S_OK, inner->CreateStream(L"Data", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                            0, &stream));
        ULONG written = 0;
        stream->Write("inner bytes", 11, &written);
        stream->Release();
        inner->Release();
        root->Release();
    }
    for (const std::wstring& path : {streams, nested}) {
        SCOPED_TRACE(tfc::to_narrow(path));
        MsiFile file;
        file.Open(path, MSIDBOPEN_READONLY);
        MsiTableRef table = file.FindTable(L"_Streams");
        ASSERT_TRUE(table);
        EXPECT_LE(2u, table->rows().size());
        EXPECT_TRUE(file.FindTable(L"Empty"));
    }
}

// Target paths from the rows of a Directory table: standard folders, long names, "." levels, missing
// parents, and parents that run in a circle.
#include "model/DirectoryResolver.h"
#include "model/MsiFile.h"
#include "model/installer/MsiApi.h"
#include "MsiTestDatabase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace model_testing;

namespace {

class DirectoryResolverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ = folder_.file(L"directories.msi");
        CreateDatabaseFile(
            path_, {L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` "
                    L"CHAR(72), `DefaultDir` CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)"});
        database_ = msi::OpenDatabase(path_, MSIDBOPEN_TRANSACT);
        add(L"TARGETDIR", nullptr, L"SourceDir");
        add(L"ProgramFilesFolder", L"TARGETDIR", L"PFiles");
        add(L"Product", L"ProgramFilesFolder", L"PRODUC~1|My Product");
        add(L"Bin", L"Product", L"bin");
        add(L"Same", L"Bin", L".");
        add(L"Deeper", L"Same", L"tgt:src");
        add(L"Programs", L"TARGETDIR", L"PROGRA~1|Program Files:.");
        add(L"ProgramFilesFolder.1234", L"Bin", L"PFiles");
        add(L"CommonFiles64Folder", L"TARGETDIR", L".");
        add(L"Orphan", L"Missing", L"orphan");
        add(L"Root", L"Root", L"root");
        add(L"Child", L"Root", L"child");
        add(L"Two1", L"Two2", L"two1");
        add(L"Two2", L"Two1", L"two2");
        add(L"Three1", L"Three3", L"three1");
        add(L"Three2", L"Three1", L"three2");
        add(L"Three3", L"Three2", L"three3");
        add(L"UnderLoop", L"Three2", L"under");
        resolver_.Load(database_.get());
    }

    void add(const wchar_t* id, const wchar_t* parent, const wchar_t* default_dir)
    {
        Execute(database_.get(),
                L"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES (?, ?, ?)",
                {Param::Text(id), parent ? Param::Text(parent) : Param::Null(), Param::Text(default_dir)});
    }

    testing_support::ScratchFolder folder_;
    std::wstring path_;
    MsiHandle database_;
    DirectoryResolver resolver_;
};

} // namespace

TEST_F(DirectoryResolverTest, PathsRunFromTheTopmostKnownFolder)
{
    EXPECT_EQ(L"TARGETDIR", resolver_.Resolve(L"TARGETDIR"));
    EXPECT_EQ(L"ProgramFilesFolder", resolver_.Resolve(L"ProgramFilesFolder"));
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\bin", resolver_.Resolve(L"Bin"));
    // "." stands for the parent's folder; the target part comes before ":".
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\bin", resolver_.Resolve(L"Same"));
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\bin\\tgt", resolver_.Resolve(L"Deeper"));
    EXPECT_EQ(L"TARGETDIR\\Program Files", resolver_.Resolve(L"Programs"));
    // Asked again, from the cache, the answers are the same.
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\bin\\tgt", resolver_.Resolve(L"Deeper"));
    EXPECT_EQ(L"ProgramFilesFolder\\My Product", resolver_.Resolve(L"Product"));
}

TEST_F(DirectoryResolverTest, StandardFolderNamesEndTheWalk)
{
    // A suffixed id stands for its standard folder, whatever its own parent.
    EXPECT_EQ(L"ProgramFilesFolder", resolver_.Resolve(L"ProgramFilesFolder.1234"));
    EXPECT_EQ(L"CommonFiles64Folder", resolver_.Resolve(L"CommonFiles64Folder"));
    EXPECT_EQ(L"CommonFiles64Folder", DirectoryResolver::StandardFolderPrefix(L"CommonFiles64Folder.x"));
    EXPECT_EQ(L"CommonFilesFolder", DirectoryResolver::StandardFolderPrefix(L"CommonFilesFolder"));
    EXPECT_EQ(L"", DirectoryResolver::StandardFolderPrefix(L"programfilesfolder"));
    EXPECT_EQ(24u, StandardFolderNames().size());
}

TEST_F(DirectoryResolverTest, UnknownLevelsShowAsErrors)
{
    EXPECT_EQ(L"<Error>", resolver_.Resolve(L"NotThere"));
    EXPECT_EQ(L"<Error>\\orphan", resolver_.Resolve(L"Orphan"));
}

TEST_F(DirectoryResolverTest, ParentLoopsEnd)
{
    // A row that is its own parent is a root.
    EXPECT_EQ(L"root", resolver_.Resolve(L"Root"));
    EXPECT_EQ(L"root\\child", resolver_.Resolve(L"Child"));
    // Longer circles end where the walk meets a row again, whichever row it started from.
    EXPECT_EQ(L"<Error>\\two2\\two1", resolver_.Resolve(L"Two1"));
    EXPECT_EQ(L"<Error>\\two1\\two2", resolver_.Resolve(L"Two2"));
    EXPECT_EQ(L"<Error>\\two2\\two1", resolver_.Resolve(L"Two1"));
    EXPECT_EQ(L"<Error>\\three1\\three2\\three3", resolver_.Resolve(L"Three3"));
    EXPECT_EQ(L"<Error>\\three2\\three3\\three1", resolver_.Resolve(L"Three1"));
    EXPECT_EQ(L"<Error>\\three3\\three1\\three2\\under", resolver_.Resolve(L"UnderLoop"));
}

TEST_F(DirectoryResolverTest, LoadingAgainForgetsEarlierPaths)
{
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\bin", resolver_.Resolve(L"Bin"));
    Execute(database_.get(), L"UPDATE `Directory` SET `DefaultDir`='BIN2|Binaries' WHERE `Directory`='Bin'");
    resolver_.Load(database_.get());
    EXPECT_EQ(L"ProgramFilesFolder\\My Product\\Binaries", resolver_.Resolve(L"Bin"));

    // A database without a Directory table resolves nothing.
    std::wstring empty = folder_.file(L"empty.msi");
    CreateDatabaseFile(empty, {L"CREATE TABLE `Other` (`Key` CHAR(72) NOT NULL PRIMARY KEY `Key`)"});
    MsiHandle other = msi::OpenDatabase(empty, MSIDBOPEN_READONLY);
    resolver_.Load(other.get());
    EXPECT_EQ(L"<Error>", resolver_.Resolve(L"Bin"));
}

// The table as the open database holds it gives every path the query gives, null parents included.
TEST_F(DirectoryResolverTest, TheTableInMemoryResolvesAsTheQuery)
{
    msi::DatabaseCommit(database_.get());
    database_.reset();
    MsiFile file;
    file.Open(path_, MSIDBOPEN_READONLY);
    DirectoryResolver from_table;
    from_table.Load(*file.FindTable(L"Directory"));
    for (const wchar_t* id :
         {L"TARGETDIR", L"Bin", L"Same", L"Deeper", L"Programs", L"ProgramFilesFolder.1234", L"Orphan",
          L"Child", L"Two1", L"UnderLoop", L"NotThere"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(resolver_.Resolve(id), from_table.Resolve(id));
    }
}

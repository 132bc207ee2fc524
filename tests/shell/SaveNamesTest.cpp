// Backup names, the save dialog's default extension and the user name.
#include "support/TestSupport.h"

#include "foundation/Errors.h"
#include "shell/SaveNames.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(SaveNames, BackupNamesCountOnFromTheFileNamesOwnNumber)
{
    struct Case
    {
        const wchar_t* path;
        const wchar_t* backup;
    } cases[] = {
        {L"D:\\pkg\\Setup.msi", L"D:\\pkg\\Setup_V1.msi"},
        {L"D:\\pkg\\Setup_V7.msi", L"D:\\pkg\\Setup_V8.msi"},
        {L"D:\\pkg\\Setup_v7.msi", L"D:\\pkg\\Setup_v7_V1.msi"},
        {L"D:\\pkg\\Readme", L"D:\\pkg\\Readme_V1"},
        // The last dot belongs to a folder: the name has no extension.
        {L"D:\\my.dir\\Readme", L"D:\\my.dir\\Readme_V1"},
        {L"D:\\pkg\\Setup_V.msi", L"D:\\pkg\\Setup_V_V1.msi"},
        {L"D:\\pkg\\a.b.msi", L"D:\\pkg\\a.b_V1.msi"},
        {L"Setup_V09", L"Setup_V10"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BackupName(c.path), c.backup) << c.path;
    EXPECT_EQ(BackupName(L"D:\\pkg\\Setup_V7.msi", 12), L"D:\\pkg\\Setup_V12.msi");

    struct Extension
    {
        const wchar_t* path;
        const wchar_t* extension;
    } extensions[] = {
        {L"C:\\a\\Setup.msi", L".msi"},   {L"C:\\a\\Module.msm", L".msm"}, {L"C:\\a\\x.wsi", L".wsi"},
        {L"C:\\my.dir\\Readme", L".msi"}, {L"C:\\a\\Readme.", L".msi"},    {L"C:\\a\\b.data", L".data"},
    };
    for (const Extension& e : extensions)
        EXPECT_EQ(DefaultSaveExtension(e.path), e.extension) << e.path;
    // One rule for every caller: a longer extension is whole, a dot in a folder is none.
    EXPECT_EQ(DefaultSaveExtension(L"C:\\a\\Readme", L".mst"), L".mst");
    EXPECT_EQ(DefaultSaveExtension(L"C:\\a\\b.data", L".mst"), L".data");
    EXPECT_TRUE(HasExtension(L"C:\\a\\X.MST", L".mst"));
    EXPECT_FALSE(HasExtension(L"C:\\a\\b.xmst", L".mst"));
    EXPECT_FALSE(HasExtension(L"C:\\a.mst\\b", L".mst"));
}

TEST(SaveNames, NextFreeBackupSkipsExistingFiles)
{
    ScratchFolder folder;
    std::wstring setup = folder.file(L"Setup.msi");
    WriteFileBytes(setup, {1});
    EXPECT_EQ(NextFreeBackupName(setup), folder.file(L"Setup_V1.msi"));
    WriteFileBytes(folder.file(L"Setup_V1.msi"), {1});
    WriteFileBytes(folder.file(L"Setup_V2.msi"), {1});
    EXPECT_EQ(NextFreeBackupName(setup), folder.file(L"Setup_V3.msi"));
    EXPECT_EQ(NextFreeBackupName(folder.file(L"Setup_V1.msi")), folder.file(L"Setup_V3.msi"));
    EXPECT_FALSE(GetCurrentUserName().empty());
}

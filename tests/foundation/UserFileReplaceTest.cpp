// Replacing a user's file with a written one: one move of a checked copy, and nothing changed when any
// step fails.
#include "support/TestSupport.h"

#include "foundation/Errors.h"
#include "foundation/UserFileReplace.h"

#include <gtest/gtest.h>
#include <stdexcept>

using namespace testing_support;

namespace {

// The names in the folder but the given ones: a replacement leaves no temporary file behind.
std::vector<std::wstring> Leftovers(const ScratchFolder& folder, std::vector<std::wstring> expected)
{
    std::vector<std::wstring> extra;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(folder.file(L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return extra;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L".." &&
            std::find(expected.begin(), expected.end(), name) == expected.end())
            extra.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return extra;
}

} // namespace

TEST(UserFileReplace, ReplacingIsOneMoveOfACheckedCopyThatLeavesAFailedTargetAlone)
{
    ScratchFolder folder;
    std::wstring target = folder.file(L"target.msi"), source = folder.file(L"new.tmp");

    // A read-only target is replaced; hidden stays; what was written stays too.
    WriteFileBytes(target, {1, 2, 3});
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    WriteFileBytes(source, {9, 9});
    std::wstring checked;
    ReplaceUserFile(source, target, [&](const std::wstring& copy) {
        checked = copy;
        EXPECT_EQ(ReadFileBytes(copy), (std::vector<BYTE>{9, 9}));
    });
    EXPECT_EQ(ReadFileBytes(target), (std::vector<BYTE>{9, 9}));
    EXPECT_EQ(ReadFileBytes(source), (std::vector<BYTE>{9, 9}));
    EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // The checked copy was beside the target and is what took its place.
    EXPECT_EQ(folder.path(), checked.substr(0, checked.rfind(L'\\')));
    EXPECT_EQ(GetFileAttributesW(checked.c_str()), INVALID_FILE_ATTRIBUTES);

    // A check that refuses, and a target held open: the target stays byte for byte with its read-only
    // attribute, and no copy is left.
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteFileBytes(source, {7});
    EXPECT_THROW(ReplaceUserFile(source, target, [](const std::wstring&) { throw std::runtime_error("no"); }),
                 std::runtime_error);
    HANDLE held =
        CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_THROW(ReplaceUserFile(source, target), tfc::Win32Error);
    CloseHandle(held);
    EXPECT_EQ(ReadFileBytes(target), (std::vector<BYTE>{9, 9}));
    EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Leftovers(folder, {L"target.msi", L"new.tmp"}), std::vector<std::wstring>());
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A new file, named with forward slashes.
    std::wstring slashed = folder.file(L"fresh.msi");
    for (wchar_t& c : slashed)
        if (c == L'\\')
            c = L'/';
    ReplaceUserFile(source, slashed);
    EXPECT_EQ(ReadFileBytes(folder.file(L"fresh.msi")), (std::vector<BYTE>{7}));
}

TEST(UserFileReplace, StampsTellAReplacedOrRewrittenFile)
{
    ScratchFolder folder;
    std::wstring path = folder.file(L"a.msi"), other = folder.file(L"b.msi");
    WriteFileBytes(path, {1});
    WriteFileBytes(other, {2});
    FileStamp first = ReadFileStamp(path);
    ASSERT_TRUE(first.known);
    EXPECT_TRUE(SameFileStamp(first, ReadFileStamp(path)));
    EXPECT_FALSE(SameFileStamp(first, ReadFileStamp(other)));
    // Rewritten in place: the same file with another write time.
    HANDLE file =
        CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME later = first.written;
    later.dwHighDateTime += 1;
    SetFileTime(file, nullptr, nullptr, &later);
    CloseHandle(file);
    EXPECT_FALSE(SameFileStamp(first, ReadFileStamp(path)));
    // A file removed since differs; one that cannot be read compares equal: nothing to tell.
    EXPECT_FALSE(SameFileStamp(first, ReadFileStamp(folder.file(L"none.msi"))));
    EXPECT_TRUE(SameFileStamp(first, FileStamp()));
}

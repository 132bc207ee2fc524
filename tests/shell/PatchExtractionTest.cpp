// Taking a patch apart: transforms and cabinets into the chosen folder, nothing anywhere else, and the
// patch never left locked.
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "shell/PatchExtraction.h"

#include <gtest/gtest.h>
#include <set>

using namespace testing_support;
using namespace shell_testing;

namespace {

void WriteStream(IStorage* storage, const std::wstring& name, const std::vector<BYTE>& bytes)
{
    ComRef<IStream> stream;
    ASSERT_EQ(storage->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                    stream.out()),
              S_OK)
        << std::string(name.begin(), name.end());
    ULONG written = 0;
    ASSERT_EQ(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written), S_OK);
}

void AddTransform(IStorage* root, const std::wstring& name, BYTE fill)
{
    ComRef<IStorage> transform;
    ASSERT_EQ(root->CreateStorage(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                  transform.out()),
              S_OK);
    WriteStream(transform.get(), L"inner", std::vector<BYTE>(3000, fill));
}

// T1 and T2, a cabinet, the summary information, hostile names and 150 more streams.
void BuildPatch(const std::wstring& path)
{
    ComRef<IStorage> root;
    ASSERT_EQ(
        StgCreateDocfile(path.c_str(), STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_READWRITE, 0, root.out()),
        S_OK);
    AddTransform(root.get(), L"T1", 1);
    AddTransform(root.get(), L"T2", 2);
    AddTransform(root.get(), L"..\\evil", 3);
    WriteStream(root.get(), L"cab1", std::vector<BYTE>(200000, 7));
    WriteStream(root.get(), L"\x05SummaryInformation", {1, 2, 3});
    WriteStream(root.get(), L"a/b", {4});
    WriteStream(root.get(), L"c:d", {5});
    for (int i = 0; i < 150; ++i) {
        wchar_t name[8];
        swprintf(name, 8, L"s%03d", i);
        WriteStream(root.get(), name, {static_cast<BYTE>(i)});
    }
    ASSERT_EQ(root->Commit(STGC_DEFAULT), S_OK);
}

std::set<std::wstring> FilesIn(const std::wstring& folder)
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L".."))
            names.insert(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

} // namespace

TEST(PatchExtraction, TransformsAndCabinetsLandInTheFolderAndNowhereElse)
{
    ScratchFolder scratch;
    std::wstring patch = scratch.file(L"update.msp");
    BuildPatch(patch);
    std::wstring out = scratch.file(L"out");
    ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr));
    // An existing output is replaced.
    WriteFileBytes(out + L"\\cab1.cab", std::vector<BYTE>(500000, 9));
    {
        ComRef<IStorage> root = OpenPatchStorage(patch);
        ExtractPatchTransforms(*root.get(), out);
    }
    std::set<std::wstring> expected = {L"T1.mst", L"T2.mst", L"cab1.cab"};
    for (int i = 0; i < 150; ++i) {
        wchar_t name[16];
        swprintf(name, 16, L"s%03d.cab", i);
        expected.insert(name);
    }
    EXPECT_EQ(FilesIn(out), expected);
    EXPECT_EQ(FilesIn(scratch.path()), (std::set<std::wstring>{L"out", L"update.msp"}));
    EXPECT_EQ(ReadFileBytes(out + L"\\cab1.cab"), std::vector<BYTE>(200000, 7));
    EXPECT_EQ(ReadFileBytes(out + L"\\s149.cab"), std::vector<BYTE>{149});

    ComRef<IStorage> transform;
    ASSERT_EQ(StgOpenStorage((out + L"\\T2.mst").c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                             0, transform.out()),
              S_OK);
    ComRef<IStream> inner;
    ASSERT_EQ(transform->OpenStream(L"inner", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, inner.out()),
              S_OK);
    std::vector<BYTE> bytes(4000);
    ULONG read = 0;
    inner->Read(bytes.data(), 4000, &read);
    bytes.resize(read);
    EXPECT_EQ(bytes, std::vector<BYTE>(3000, 2));

    // Names that are no plain file names are refused; the ones that are pass.
    for (const wchar_t* bad : {L"..\\x", L"a/b", L"c:d", L"\x05Summary", L"tab\there", L"..", L"", L"x*"})
        EXPECT_FALSE(IsPlainElementName(bad));
    for (const wchar_t* good : {L"T1", L"#Patch.cab", L"a b.c"})
        EXPECT_TRUE(IsPlainElementName(good));
}

TEST(PatchExtraction, OpeningAPatchAsksForAFolderAndNeverLeavesItLocked)
{
    ScratchFolder scratch;
    std::wstring patch = scratch.file(L"update.msp");
    BuildPatch(patch);
    std::wstring out = scratch.file(L"out");
    CreateDirectoryW(out.c_str(), nullptr);
    TestFrame frame;
    ScriptedPrompts prompts;

    // Cancelled folder choice: nothing written, no message, the patch can be deleted at once.
    prompts.answer(PromptAnswer{});
    frame->OpenFiles({patch}, false);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].kind, PromptKind::Folder);
    EXPECT_EQ(prompts.asked()[0].caption, L"Please choose the folder to extract the transforms to");
    EXPECT_TRUE(FilesIn(out).empty());
    std::wstring moved = scratch.file(L"moved.msp");
    EXPECT_TRUE(MoveFileW(patch.c_str(), moved.c_str()));
    EXPECT_TRUE(MoveFileW(moved.c_str(), patch.c_str()));

    // A folder that cannot be written to: the open failure, and the patch free again.
    PromptAnswer missing;
    missing.paths = {scratch.file(L"missing")};
    prompts.answer(missing);
    prompts.answer(IDOK);
    frame->OpenFiles({patch}, false);
    ASSERT_EQ(prompts.asked().size(), 3u);
    EXPECT_EQ(prompts.asked()[2].text, L"Failed to open file: " + patch + L"\r\nFailed to open output file");
    EXPECT_TRUE(MoveFileW(patch.c_str(), moved.c_str()));
    EXPECT_TRUE(MoveFileW(moved.c_str(), patch.c_str()));

    // Extracted, then "No" to browsing: no tab, no recent entry, the patch free again.
    PromptAnswer folder;
    folder.paths = {out};
    prompts.answer(folder);
    prompts.answer(IDNO);
    frame->OpenFiles({patch}, false);
    ASSERT_EQ(prompts.asked().size(), 5u);
    EXPECT_EQ(prompts.asked()[4].caption, L"Extraction of patch transforms successful.");
    EXPECT_EQ(prompts.asked()[4].text,
              L"Successfully extracted the patch transforms and file to:\r\n" + out +
                  L"\r\nWould you like to browse to the folder to open one or more of "
                  L"the transforms?");
    EXPECT_EQ(FilesIn(out).size(), 153u);
    EXPECT_TRUE(frame->GetTabs().Documents().empty());
    EXPECT_TRUE(DeleteFileW(patch.c_str()));

    // A file that is no storage: the open failure, under the patch's path.
    WriteFileBytes(patch, {'n', 'o', 't'});
    prompts.answer(IDOK);
    frame->OpenFiles({patch}, false);
    ASSERT_EQ(prompts.asked().size(), 6u);
    EXPECT_EQ(prompts.asked()[5].text, L"Failed to open file: " + patch + L"\r\nStgOpenStorage failed");
}

#include "foundation/Clipboard.h"
#include "foundation/CmdLine.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/Prompt.h"
#include "foundation/TempFiles.h"
#include "foundation/WindowText.h"
#include "support/WindowTesting.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <cstring>
#include <gtest/gtest.h>

namespace {

class OptionRecorder : public CmdLine
{
public:
    std::vector<std::pair<std::wstring, std::wstring>> options;

protected:
    void on_option() override { options.emplace_back(option_, value_); }
};

} // namespace

TEST(CmdLine, PathsOptionsAndBrokenQuotes)
{
    OptionRecorder line;
    line.parse(L"C:\\prog.exe \"C:\\a b\\x.msi\" plain.msi /x:1 -y=\"q r\" /flag", true);
    ASSERT_EQ(line.paths.size(), 2u);
    EXPECT_EQ(line.paths[0], L"C:\\a b\\x.msi");
    EXPECT_EQ(line.paths[1], L"plain.msi");
    ASSERT_EQ(line.options.size(), 3u);
    EXPECT_EQ(line.options[0], std::make_pair(std::wstring(L"x"), std::wstring(L"1")));
    EXPECT_EQ(line.options[1], std::make_pair(std::wstring(L"y"), std::wstring(L"q r")));
    EXPECT_EQ(line.options[2], std::make_pair(std::wstring(L"flag"), std::wstring()));

    CmdLine broken;
    broken.parse(L"\"C:\\my prog.exe\" a.msi \"unterminated path", true);
    ASSERT_EQ(broken.paths.size(), 2u);
    EXPECT_EQ(broken.paths[1], L"unterminated path");

    CmdLine nothing;
    nothing.parse(nullptr, true);
    nothing.parse(L"   ", false);
    EXPECT_TRUE(nothing.paths.empty());
}

TEST(Clipboard, QuotingRule)
{
    EXPECT_EQ(QuoteClipboardCell(L"a\"b"), L"a\"b");
    EXPECT_EQ(QuoteClipboardCell(L"\"x"), L"\"\"\"x\"");
    EXPECT_EQ(QuoteClipboardCell(L"a\tb"), L"\"a\tb\"");
    EXPECT_EQ(QuoteClipboardCell(L"a\nb"), L"\"a\nb\"");
    EXPECT_EQ(QuoteClipboardCell(L"a\rb"), L"a\rb");
    EXPECT_EQ(QuoteClipboardCell(L""), L"");
}

TEST(Clipboard, TextRoundTrip)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    {
        Clipboard clipboard;
        clipboard.Open(owner);
        clipboard.SetText(L"row1\tcell\r\n\"quoted\ttab\"");
    }
    Clipboard reader;
    reader.Open(owner);
    EXPECT_EQ(reader.GetText(), L"row1\tcell\r\n\"quoted\ttab\"");
    reader.Close();
    DestroyWindow(owner);
}

TEST(TempFiles, LifetimeOfRecordedFiles)
{
    std::wstring first, second, released, adopted;
    testing_support::ScratchFolder folder;
    {
        TempFiles files;
        first = files.Create(L"key");
        ASSERT_TRUE(FileExists(first));
        EXPECT_NE(first.find(L"\\Dravnetta\\"), std::wstring::npos);
        second = files.Create(L"key");
        EXPECT_FALSE(FileExists(first)) << "a second file under one key replaces the first";
        EXPECT_TRUE(FileExists(second));
        EXPECT_EQ(files.FindPath(L"key"), second);
        released = files.Create(L"", folder.path());
        EXPECT_EQ(released.rfind(folder.path(), 0), 0u);
        EXPECT_EQ(files.Release(released), released);
        EXPECT_EQ(files.Release(L"unknown"), L"");
        adopted = folder.file(L"adopted.bin");
        testing_support::WriteFileBytes(adopted, {1, 2, 3});
        files.Adopt(L"mine", adopted);
        files.Adopt(L"mine", adopted);
        EXPECT_TRUE(FileExists(adopted)) << "adopting the same file again must not delete it";
    }
    EXPECT_FALSE(FileExists(second));
    EXPECT_FALSE(FileExists(adopted));
    EXPECT_TRUE(FileExists(released));
}

TEST(FileUtil, PathsAndPieces)
{
    std::wstring folder, name;
    SplitPathAtLastBackslash(L"C:\\a\\b.msi", folder, name);
    EXPECT_EQ(folder, L"C:\\a");
    EXPECT_EQ(name, L"b.msi");
    SplitPathAtLastBackslash(L"b.msi", folder, name);
    EXPECT_EQ(folder, L"");
    EXPECT_EQ(name, L"b.msi");
    SplitPathAtLastBackslash(L"C:\\a\\", folder, name);
    EXPECT_EQ(name, L"");
    for (const wchar_t* path : {L"C:\\a\\b.msi", L"C:/a/b.msi", L"b.msi"})
        EXPECT_EQ(FileNameOf(path), L"b.msi") << path;

    // A long path keeps its start and its file name, "..." between them; a short one stays whole.
    std::wstring deep_path = L"C:\\" + std::wstring(90, L'f') + L"\\sub\\package.msi";
    std::wstring shown = ShortenedPath(deep_path, 40);
    EXPECT_LE(shown.size(), 40u) << shown;
    EXPECT_EQ(shown.find(L"C:\\fff"), 0u) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 11), L"package.msi") << shown;
    EXPECT_NE(shown.find(L"..."), std::wstring::npos) << shown;
    EXPECT_EQ(ShortenedPath(L"C:\\a\\b.msi", 40), L"C:\\a\\b.msi");
    EXPECT_EQ(SplitString(L"", L'|'), std::vector<std::wstring>{L""});
    EXPECT_EQ(SplitString(L"a||b|", L'|'), (std::vector<std::wstring>{L"a", L"", L"b", L""}));

    testing_support::ScratchFolder scratch;
    std::wstring deep = scratch.path() + L"\\x\\y\\z";
    CreateDirectoryRecursive(deep);
    EXPECT_TRUE(FileExists(deep));
    EXPECT_NO_THROW(CreateDirectoryRecursive(deep));
}

TEST(FileUtil, SamePathsThroughAnyOfTheirNames)
{
    testing_support::ScratchFolder scratch;
    std::wstring file = scratch.file(L"a.mst");
    struct Case
    {
        std::wstring other;
        bool same;
    } cases[] = {{file, true},
                 {scratch.path() + L"\\.\\A.MST", true},
                 {scratch.path() + L"\\x\\..\\a.mst", true},
                 {scratch.file(L"b.mst"), false},
                 {L"a.mst", false}};
    for (const Case& test : cases)
        EXPECT_EQ(IsSamePath(test.other, file), test.same)
            << std::string(test.other.begin(), test.other.end());
}

TEST(OpenLink, AProgramThatEndsWithAFailureOrIsMissingDidNotOpenTheLink)
{
    // Under Wine the launcher's exit code tells whether the link opened; a batch file plays the launcher.
    testing_support::ScratchFolder scratch;
    struct Case
    {
        const char* script; // null: no file at all
        bool opened;
    } cases[] = {{"@exit 0\r\n", true}, {"@exit 1\r\n", false}, {nullptr, false}};
    // The real call, not the tests' stand-in for prompts.
    PromptResponder previous = SetPromptResponder(PromptResponder());
    int index = 0;
    for (const Case& test : cases) {
        std::wstring path = scratch.file(L"link" + std::to_wstring(index++) + L".bat");
        if (test.script)
            testing_support::WriteFileBytes(
                path, std::vector<BYTE>(test.script, test.script + strlen(test.script)));
        EXPECT_EQ(OpenLink(nullptr, path), test.opened) << index;
    }
    SetPromptResponder(previous);
}

TEST(FileDialogs, MultipleSelectionAndPromptSeam)
{
    const wchar_t buffer[] = L"C:\\folder\0one.msi\0two.msm\0";
    std::vector<std::wstring> paths;
    SplitOpenFilesBuffer(buffer, paths);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"C:\\folder\\one.msi", L"C:\\folder\\two.msm"}));
    paths.clear();
    SplitOpenFilesBuffer(L"C:\\single.msi\0", paths);
    EXPECT_EQ(paths, std::vector<std::wstring>{L"C:\\single.msi"});

    testing_support::ScriptedPrompts prompts;
    prompts.answer(PromptAnswer{IDOK, {L"C:\\x.msi"}, true});
    prompts.answer(PromptAnswer{IDCANCEL, {}, false});
    bool read_only = false;
    paths.clear();
    EXPECT_TRUE(
        ShowOpenFilesDialog(nullptr, std::wstring(L"All\0*.*", 7), 0, L"Open", &read_only, L"", paths));
    EXPECT_TRUE(read_only);
    EXPECT_EQ(BrowseForSaveFile(nullptr, L"", L"", 0, L"Save", L"msi"), L"");
    ASSERT_EQ(prompts.asked().size(), 2u);
    EXPECT_EQ(prompts.asked()[1].kind, PromptKind::SaveFile);
}

TEST(WindowText, ListViewCellsAreReadInTwoSizes)
{
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(list);
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    column.cx = 100;
    ListView_InsertColumn(list, 0, &column);
    std::wstring long_text(600, L'w');
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.pszText = &long_text[0];
    ListView_InsertItem(list, &item);
    std::wstring short_text = L"short";
    ListView_SetItemText(list, 0, 0, &short_text[0]);
    EXPECT_EQ(GetListViewItemText(list, 0, 0), L"short");
    ListView_SetItemText(list, 0, 0, &long_text[0]);
    EXPECT_EQ(GetListViewItemText(list, 0, 0).size(), 511u);
    DestroyWindow(list);
}

TEST(FileDialogs, TheSaveDialogGivesATypedNameTheDefaultExtension)
{
    struct Case
    {
        const wchar_t* extension;
        const wchar_t* expected_name;
    };
    const Case cases[] = {{L".msm", L"plain.msm"}, {L"msi", L"plain.msi"}, {L"", L"plain"}};
    testing_support::ScratchFolder folder;
    // The platform's own dialog this time, worked from a timer.
    PromptResponder scripted = SetPromptResponder({});
    for (const Case& c : cases) {
        // The file name box of the platform's save dialog is the combo box 0x47C.
        window_testing::DialogDriver driver([&](HWND dialog) {
            if (!GetDlgItem(dialog, 0x47C))
                return false;
            SetDlgItemTextW(dialog, 0x47C, folder.file(L"plain").c_str());
            window_testing::ClickDialogButton(dialog, IDOK);
            return true;
        });
        std::wstring path = BrowseForSaveFile(nullptr, L"", std::wstring(L"All Files (*.*)\0*.*", 19),
                                              OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY, L"Save", c.extension);
        EXPECT_TRUE(driver.finished());
        EXPECT_EQ(path, folder.file(c.expected_name)) << c.extension;
    }
    SetPromptResponder(scripted);
}

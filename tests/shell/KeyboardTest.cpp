// Two packages open and driven as a person does, with synthesized keys and clicks: after every way of
// switching documents the menus answer, and the keys, pastes and commands reach the document shown.
#include "PackageTesting.h"
#include "ShellTesting.h"
#include "support/TestSupport.h"

#include "foundation/Clipboard.h"
#include "model/installer/DatabaseCodePage.h"
#include "resources/DocumentDialogsIds.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/grid/ObjectWindow.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <msiquery.h>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

using namespace shell_testing;
using namespace testing_support;
using window_testing::BringToForeground;
using window_testing::ClickScreen;
using window_testing::ModalDriver;
using window_testing::PressKeys;

namespace {

// Every message through the frame's own loop step (accelerators, dialog keys) until done (bounded).
bool PumpFrame(MainWindow& frame, const std::function<bool()>& done)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 5000)
            return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != WM_QUIT)
                frame.ProcessMessage(message);
        }
    }
    return true;
}

// A loop that never returns inside one message would hold the test program until the run's own limit:
// this ends it at once with a failure that says what stopped answering.
class Watchdog
{
public:
    explicit Watchdog(const char* what) : what_(what), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = CreateThread(nullptr, 0, &Watch, this, 0, nullptr);
    }
    ~Watchdog()
    {
        SetEvent(done_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(done_);
    }

private:
    static DWORD WINAPI Watch(void* parameter)
    {
        auto* self = static_cast<Watchdog*>(parameter);
        if (WaitForSingleObject(self->done_, 60000) == WAIT_OBJECT_0)
            return 0;
        std::fprintf(stderr, "FAILED: the frame stopped answering: %s\n", self->what_);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
    }

    const char* what_;
    HANDLE done_;
    HANDLE thread_ = nullptr;
};

void PutOnClipboard(const std::wstring& text)
{
    Clipboard clipboard;
    clipboard.Open(nullptr);
    clipboard.SetText(text);
}

std::wstring ProductName(MsiFileTab& tab)
{
    std::shared_ptr<MsiTableLookupBase> lookup = tab.GetTableLookup(L"Property");
    int row = lookup->FindRow({L"ProductName"}, 0);
    return row < lookup->RowCount() ? lookup->GetCellText(1, row, 0) : L"<none>";
}

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class KeyboardTest : public testing::Test
{
protected:
    void SetUp() override
    {
        first_ = folder_.file(L"First.msi");
        second_ = folder_.file(L"Second.msi");
        BuildPackage(first_, 2, 0, true);
        BuildPackage(second_, 2, 0, true);
    }

    MsiFileTab* Document(DatabaseFrame& frame, size_t index)
    {
        return dynamic_cast<MsiFileTab*>(frame->GetTabs().Documents().at(index).get());
    }

    // The tab strip, the title, the shown window and the focus all name one document, the current one.
    void ExpectOneDocument(DatabaseFrame& frame, MsiFileTab* expected)
    {
        MsiFileTab* current = frame.current();
        ASSERT_EQ(current, expected);
        EXPECT_EQ(WindowText(frame->GetWindowHandle()),
                  current->GetPath().substr(current->GetPath().rfind(L'\\') + 1) + L" - Dravnetta - Varnock");
        for (const auto& document : frame->GetTabs().Documents())
            EXPECT_EQ(IsWindowVisible(document->GetWindowHandle()) != FALSE, document.get() == current);
        HWND focus = GetFocus();
        EXPECT_TRUE(focus && IsChild(current->GetWindowHandle(), focus) && IsWindowVisible(focus));
    }

    ScratchFolder folder_;
    std::wstring first_, second_;
};

} // namespace

TEST_F(KeyboardTest, MenuKeysAfterCtrlTabOpenTheMenus)
{
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\" \"" + second_ + L"\"");
    HWND window = frame->GetWindowHandle();
    ASSERT_TRUE(BringToForeground(window));
    MsiFileTab* first = Document(frame, 0);
    MsiFileTab* second = Document(frame, 1);
    // As after start-up: the second document's tree has the keys.
    SetFocus(second->GetTablesTree()->GetWindow());

    Watchdog watchdog("Ctrl+Tab, then a menu key");
    PressKeys({VK_CONTROL, VK_TAB});
    ASSERT_TRUE(
        PumpFrame(frame.frame(), [&] { return frame.current() == first && !frame->GetTabs().IsCycling(); }));
    ExpectOneDocument(frame, first);

    // Alt+T opens the Tables menu; Escape closes it.
    bool shown = false;
    ModalDriver menu([&] {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup))
            return false;
        shown = true;
        PressKeys({VK_ESCAPE});
        PressKeys({VK_ESCAPE});
        return true;
    });
    PressKeys({VK_MENU, 'T'});
    EXPECT_TRUE(PumpFrame(frame.frame(), [&] { return menu.finished(); }));
    EXPECT_TRUE(shown);
    PumpFrame(frame.frame(), [] { return !IsWindowVisible(FindWindowW(L"#32768", nullptr)); });

    // Back with Ctrl+Tab, Alt+R then N: New Transform asks for its file, for the document shown.
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer());
    PressKeys({VK_CONTROL, VK_TAB});
    ASSERT_TRUE(
        PumpFrame(frame.frame(), [&] { return frame.current() == second && !frame->GetTabs().IsCycling(); }));
    ExpectOneDocument(frame, second);
    PressKeys({VK_MENU, 'R'});
    PressKeys({'N'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return !prompts.asked().empty(); }));
    EXPECT_EQ(prompts.asked()[0].caption, L"New Transform");
    EXPECT_EQ(frame.current(), second);
    EXPECT_FALSE(first->IsDirty());
    EXPECT_FALSE(second->IsDirty());
}

TEST_F(KeyboardTest, PastesReachTheDocumentShownWhicheverWayItWasChosen)
{
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\" \"" + second_ + L"\"");
    HWND window = frame->GetWindowHandle();
    MoveWindow(window, 0, 0, 900, 650, TRUE);
    ASSERT_TRUE(BringToForeground(window));
    MsiFileTab* first = Document(frame, 0);
    MsiFileTab* second = Document(frame, 1);
    // Each document left with its grid on the ProductName value.
    for (size_t index : {0u, 1u}) {
        frame->GetTabs().SelectTab(static_cast<int>(index));
        ASSERT_TRUE(
            Document(frame, index)->ShowFound(FindCriteria(L"", L"Property", L"Value", {L"ProductName"})));
    }
    ExpectOneDocument(frame, second);

    Watchdog watchdog("switching documents, then Ctrl+V");
    // Waits for the paste in the document expected to take it; the other one is checked after.
    auto paste = [&](MsiFileTab* target, const std::wstring& text) {
        PutOnClipboard(text);
        PressKeys({VK_CONTROL, 'V'});
        PumpFrame(frame.frame(), [&] { return ProductName(*target) == text; });
    };
    auto switched_to = [&](MsiFileTab* tab) {
        return PumpFrame(frame.frame(),
                         [&] { return frame.current() == tab && !frame->GetTabs().IsCycling(); });
    };

    PressKeys({VK_CONTROL, VK_TAB});
    ASSERT_TRUE(switched_to(first));
    ExpectOneDocument(frame, first);
    paste(first, L"After Ctrl+Tab");
    EXPECT_EQ(ProductName(*first), L"After Ctrl+Tab");
    EXPECT_EQ(ProductName(*second), L"Before");

    PressKeys({VK_CONTROL, VK_SHIFT, VK_TAB});
    ASSERT_TRUE(switched_to(second));
    ExpectOneDocument(frame, second);
    paste(second, L"After Ctrl+Shift+Tab");
    EXPECT_EQ(ProductName(*second), L"After Ctrl+Shift+Tab");
    EXPECT_EQ(ProductName(*first), L"After Ctrl+Tab");

    // A click on the first document's tab.
    RECT item = {};
    SendMessageW(frame->GetTabs().GetTabControl(), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item));
    POINT centre = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(frame->GetTabs().GetTabControl(), &centre);
    ClickScreen(centre);
    ASSERT_TRUE(switched_to(first));
    ExpectOneDocument(frame, first);
    paste(first, L"After a click");
    EXPECT_EQ(ProductName(*first), L"After a click");
    EXPECT_EQ(ProductName(*second), L"After Ctrl+Shift+Tab");

    // Ctrl+F4 closes the first document without saving; the second takes the keys.
    ScriptedPrompts prompts;
    prompts.answer(IDNO);
    PressKeys({VK_CONTROL, VK_F4});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return frame->GetTabs().Documents().size() == 1; }));
    ExpectOneDocument(frame, second);
    paste(second, L"After closing");
    EXPECT_EQ(ProductName(*second), L"After closing");
    EXPECT_EQ(QueryText(first_, L"SELECT `Value` FROM `Property` WHERE `Property`='ProductName'"), L"Before");
}

TEST_F(KeyboardTest, AReadOnlyDocumentsTablesMenuGreysEveryCommandThatWrites)
{
    SetFileAttributesW(first_.c_str(), FILE_ATTRIBUTE_READONLY);
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\" \"" + second_ + L"\"");
    HWND window = frame->GetWindowHandle();
    ASSERT_TRUE(BringToForeground(window));
    Watchdog watchdog("Ctrl+Tab, then the Tables menu");
    PressKeys({VK_CONTROL, VK_TAB});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return frame.current() == Document(frame, 0); }));
    ASSERT_TRUE(frame.current()->IsReadOnly());

    // What the open Tables menu shows, item by item.
    std::vector<std::pair<std::wstring, bool>> items;
    ModalDriver menu([&] {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup || !IsWindowVisible(popup))
            return false;
        HMENU tables = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (int i = 0; tables && i < GetMenuItemCount(tables); ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(tables, i, text, 64, MF_BYPOSITION);
            if (text[0])
                items.emplace_back(text, (GetMenuState(tables, i, MF_BYPOSITION) & MF_GRAYED) != 0);
        }
        PressKeys({VK_ESCAPE});
        PressKeys({VK_ESCAPE});
        return true;
    });
    PressKeys({VK_MENU, 'T'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return menu.finished(); }));
    std::vector<std::pair<std::wstring, bool>> expected = {
        {L"&Add Tables...", true},  {L"&Import Tables...", true}, {L"&Export Tables...", false},
        {L"&Drop Tables...", true}, {L"&Summary Info...", false}, {L"&Code Page...", true},
        {L"&Validate\tF7", false},
    };
    EXPECT_EQ(items, expected);
    PumpFrame(frame.frame(), [] { return !IsWindowVisible(FindWindowW(L"#32768", nullptr)); });
    SetFileAttributesW(first_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {

void ForceCodePage(const std::wstring& path, UINT code_page)
{
    MSIHANDLE database = 0;
    ASSERT_EQ(MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_TRANSACT, &database), 0u);
    msi::WriteDatabaseCodePage(database, code_page);
    EXPECT_EQ(MsiDatabaseCommit(database), 0u);
    MsiCloseHandle(database);
}

// The texts of the prompts asked so far, one line each.
std::wstring AskedTexts(const ScriptedPrompts& prompts)
{
    std::wstring texts;
    for (const PromptRequest& request : prompts.asked())
        texts += request.caption + L": " + request.text + L"\n";
    return texts;
}

} // namespace

TEST_F(KeyboardTest, TextsTheCodePageCannotHoldAreRefusedWhereTheyAreEntered)
{
    const std::wstring japanese = L"\u65e5\u672c";
    ForceCodePage(first_, 1252);
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\"");
    MoveWindow(frame->GetWindowHandle(), 0, 0, 900, 650, TRUE);
    ASSERT_TRUE(BringToForeground(frame->GetWindowHandle()));
    MsiFileTab* tab = frame.current();
    ASSERT_TRUE(tab->ShowFound(FindCriteria(L"", L"Property", L"Value", {L"ProductName"})));
    Watchdog watchdog("entering texts the code page cannot hold");
    ScriptedPrompts prompts;
    auto refused = [&](size_t count) {
        return PumpFrame(frame.frame(), [&] { return prompts.asked().size() == count; });
    };
    const std::wstring named = L"code page 1252 cannot hold the characters \"" + japanese + L"\"";

    // The cell editor: F2, the text, Enter.
    prompts.answer(IDOK);
    PressKeys({VK_F2});
    ASSERT_TRUE(
        PumpFrame(frame.frame(), [&] { return GetFocus() != tab->GetTreeContext()->GetWindowHandle(); }));
    window_testing::TypeText(L"x" + japanese);
    PressKeys({VK_RETURN});
    ASSERT_TRUE(refused(1)) << AskedTexts(prompts);
    EXPECT_NE(prompts.asked()[0].text.find(named), std::wstring::npos) << AskedTexts(prompts);

    // Ctrl+V into the cell.
    PumpFrame(frame.frame(), [&] { return GetFocus() == tab->GetTreeContext()->GetWindowHandle(); });
    PutOnClipboard(japanese);
    prompts.answer(IDOK);
    PressKeys({VK_CONTROL, 'V'});
    ASSERT_TRUE(refused(2)) << AskedTexts(prompts);
    EXPECT_NE(prompts.asked()[1].text.find(named), std::wstring::npos) << AskedTexts(prompts);

    // Ctrl+Shift+V of whole rows: the one that fits comes in only with the other.
    PutOnClipboard(L"Fits\tplain\r\nJapanese\t" + japanese + L"\r\n");
    prompts.answer(IDOK);
    PressKeys({VK_CONTROL, VK_SHIFT, 'V'});
    ASSERT_TRUE(refused(3)) << AskedTexts(prompts);
    EXPECT_EQ(prompts.asked()[2].text.rfind(L"Cannot paste the rows into the Property table: ", 0), 0u)
        << AskedTexts(prompts);
    EXPECT_NE(prompts.asked()[2].text.find(named), std::wstring::npos) << AskedTexts(prompts);

    EXPECT_EQ(ProductName(*tab), L"Before");
    EXPECT_EQ(tab->GetTableLookup(L"Property")->RowCount(), 1);
    EXPECT_FALSE(tab->IsDirty());
}

TEST_F(KeyboardTest, RowsThatDoNotFitATableAreRefusedWithTheTableNamed)
{
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\"");
    ASSERT_TRUE(BringToForeground(frame->GetWindowHandle()));
    MsiFileTab* tab = frame.current();
    // A Property row copied, pasted into Binary, whose second field is a stream.
    ASSERT_TRUE(tab->ShowFound(FindCriteria(L"", L"Property", L"Value", {L"ProductName"})));
    Watchdog watchdog("pasting rows that do not fit");
    PressKeys({VK_CONTROL, VK_SHIFT, 'C'});
    std::wstring copied;
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] {
        Clipboard clipboard;
        clipboard.Open(nullptr);
        copied = clipboard.GetText();
        return copied == L"ProductName\tBefore\r\n";
    })) << std::string(copied.begin(), copied.end());
    ASSERT_TRUE(tab->ShowFound(FindCriteria(L"", L"Binary", L"Name", {L"Icon"})));
    ScriptedPrompts prompts;
    prompts.answer(IDOK);
    PressKeys({VK_CONTROL, VK_SHIFT, 'V'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return !prompts.asked().empty(); }));
    EXPECT_EQ(prompts.asked()[0].text, L"Cannot paste the rows into the Binary table: its Data field holds a "
                                       L"stream, which a row brings as the path of a file, and \"Before\" is "
                                       L"no file.");
    EXPECT_EQ(prompts.asked()[0].caption, L"Cannot paste rows");

    // Rows of another field count are refused as well instead of being left out without a word.
    PutOnClipboard(L"One\tTwo\tThree\r\n");
    prompts.answer(IDOK);
    PressKeys({VK_CONTROL, VK_SHIFT, 'V'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] { return prompts.asked().size() == 2; }));
    EXPECT_EQ(prompts.asked()[1].text, L"Cannot paste the rows into the Binary table: it has 2 fields, a "
                                       L"pasted row has 3.");
    EXPECT_EQ(tab->GetTableLookup(L"Binary")->RowCount(), 1);
    EXPECT_FALSE(tab->IsDirty());
}

TEST_F(KeyboardTest, ASummaryTitleTheCodePageCannotHoldIsRefusedInTheDialog)
{
    const std::wstring japanese = L"\u65e5\u672c";
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\"");
    ASSERT_TRUE(BringToForeground(frame->GetWindowHandle()));
    MsiFileTab* tab = frame.current();
    Watchdog watchdog("the Summary Information dialog");
    ScriptedPrompts prompts;
    prompts.answer(IDOK);
    // Alt+T, S opens the dialog; the title typed, Enter is refused, Escape leaves.
    int stage = 0;
    window_testing::DialogDriver dialog([&](HWND window) {
        if (stage == 0) {
            HWND title = GetDlgItem(window, IDC_SI_TITLE);
            SetFocus(title);
            SendMessageW(title, EM_SETSEL, 0, -1);
            window_testing::TypeText(japanese);
            PressKeys({VK_RETURN});
            stage = 1;
            return false;
        }
        if (prompts.asked().empty())
            return false;
        PressKeys({VK_ESCAPE});
        return true;
    });
    PressKeys({VK_MENU, 'T'});
    PressKeys({'S'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] {
        return dialog.finished() && !window_testing::FindThreadDialog();
    })) << AskedTexts(prompts);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].caption, L"Summary Information");
    if (GetACP() == 1252) {
        EXPECT_NE(prompts.asked()[0].text.find(L"code page 1252 cannot hold the characters \"" + japanese),
                  std::wstring::npos)
            << AskedTexts(prompts);
    }
    EXPECT_FALSE(tab->IsDirty());
}

TEST_F(KeyboardTest, ANewRowWithATextTheCodePageCannotHoldIsRefusedInItsCell)
{
    const std::wstring japanese = L"\u65e5\u672c";
    ForceCodePage(first_, 1252);
    DatabaseFrame frame(L"Dravnetta.exe \"" + first_ + L"\"");
    ASSERT_TRUE(BringToForeground(frame->GetWindowHandle()));
    MsiFileTab* tab = frame.current();
    ASSERT_TRUE(tab->ShowFound(FindCriteria(L"", L"Property", L"Value", {L"ProductName"})));
    Watchdog watchdog("the New Row dialog");
    ScriptedPrompts prompts;
    prompts.answer(IDOK);
    // Ctrl+R; in the dialog F2 on the Property field, a name, Enter; F2 on the Value field, the text, Enter
    // (refused); Escape twice.
    int stage = 0;
    window_testing::DialogDriver dialog([&](HWND) {
        if (stage == 0) {
            PressKeys({VK_F2});
            window_testing::TypeText(L"NewName");
            PressKeys({VK_RETURN});
            PressKeys({VK_F2});
            window_testing::TypeText(japanese);
            PressKeys({VK_RETURN});
            stage = 1;
            return false;
        }
        if (prompts.asked().empty())
            return false;
        PressKeys({VK_ESCAPE});
        PressKeys({VK_ESCAPE});
        return true;
    });
    PressKeys({VK_CONTROL, 'R'});
    ASSERT_TRUE(PumpFrame(frame.frame(), [&] {
        return dialog.finished() && !window_testing::FindThreadDialog();
    })) << AskedTexts(prompts);
    ASSERT_EQ(prompts.asked().size(), 1u) << AskedTexts(prompts);
    EXPECT_NE(prompts.asked()[0].text.find(L"code page 1252 cannot hold the characters \"" + japanese),
              std::wstring::npos)
        << AskedTexts(prompts);
    EXPECT_EQ(tab->GetTableLookup(L"Property")->RowCount(), 1);
    EXPECT_FALSE(tab->IsDirty());
}

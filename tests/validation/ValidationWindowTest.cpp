// The results store and pane: colours and tips by row and cell, column sizing, copying, filtering,
// closing a document, and messages arriving from other threads while the pane refills and sorts.
#include "foundation/Clipboard.h"
#include "shell/ShellTesting.h"
#include "validation/ValidationWindow.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using shell_testing::PumpPending;
using shell_testing::PumpUntil;

namespace {

const wchar_t kDoc[] = L"C:\\pkg\\one.msi";
const wchar_t kOther[] = L"C:\\pkg\\two.msi";

ValidationMessage Message(const std::wstring& document, const std::wstring& type, const std::wstring& column,
                          const std::wstring& key, const std::wstring& description = L"text")
{
    return ValidationMessage::FromFields({L"ICE01", type, description, L"help", L"Property", column, key},
                                         document, L"full.cub");
}

int ItemCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

int ColumnWidth(HWND list, int column)
{
    return static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
}

} // namespace

TEST(ValidationStoreTest, RowsAndCellsAreColouredByTheirShownErrorsAndWarnings)
{
    ValidationStore store;
    store.Add(Message(kDoc, L"1", L"", L"K1"));
    store.Add(Message(kDoc, L"2", L"Value", L"K2", L"warned"));
    store.Add(Message(kDoc, L"1", L"", L"K3", L"first"));
    store.Add(Message(kDoc, L"2", L"Value", L"K3", L"second"));
    store.Add(Message(kDoc, L"0", L"", L"K4"));
    store.Add(Message(kDoc, L"3", L"", L"K4"));
    store.Add(Message(kOther, L"1", L"", L"K1"));
    store.HideDocument(kOther);
    struct Case
    {
        const wchar_t* document;
        const wchar_t* column;
        const wchar_t* key;
        unsigned flags;
    } cases[] = {
        {kDoc, L"Value", L"K1", 1},   {kDoc, L"Property", L"K1", 1}, // no column: the whole row
        {kDoc, L"Value", L"K2", 2},   {kDoc, L"Property", L"K2", 0}, // a column: that cell only
        {kDoc, L"Value", L"K3", 3},   {kDoc, L"Property", L"K3", 1},
        {kDoc, L"Value", L"K4", 0},   // failures and information colour nothing
        {kOther, L"Value", L"K1", 0}, // a closed document's messages are hidden
        {kDoc, L"Value", L"K9", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.flags,
                  store.GetRowValidationInfo(FindCriteria(c.document, L"Property", c.column, {c.key})))
            << c.key << "." << c.column;
    EXPECT_EQ(L"first\r\nsecond\r\n",
              store.GetFieldMessages(FindCriteria(kDoc, L"Property", L"Value", {L"K3"})));
    EXPECT_EQ(L"first\r\n", store.GetFieldMessages(FindCriteria(kDoc, L"Property", L"Other", {L"K3"})));
    EXPECT_EQ(L"", store.GetFieldMessages(FindCriteria(kOther, L"Property", L"", {L"K1"})));
}

TEST(ValidationStoreTest, MessagesFromResultLinesOfAnyLength)
{
    struct Case
    {
        std::vector<std::wstring> fields;
        std::wstring table, column;
        std::vector<std::wstring> keys;
    } cases[] = {
        {{L"ICE1", L"1", L"d"}, L"", L"", {}},
        {{L"ICE1", L"1", L"d", L"h", L"T", L"C"}, L"T", L"C", {}},
        {{L"ICE1", L"1", L"d", L"h", L"T", L"C", L"a", L"b", L"c"}, L"T", L"C", {L"a", L"b", L"c"}},
    };
    for (const Case& c : cases) {
        ValidationMessage message = ValidationMessage::FromFields(c.fields, kDoc, L"x.cub");
        EXPECT_EQ(FindCriteria(kDoc, c.table, c.column, c.keys), message.location);
        EXPECT_EQ(L"ICE1", message.ice);
        EXPECT_EQ(L"x.cub", message.cub);
    }
    ValidationMessage odd = ValidationMessage::FromFields({L"ICE1", L"7"}, kDoc, L"x.cub");
    EXPECT_EQ(L"7", odd.TypeText());
    EXPECT_EQ(L"Warning", Message(kDoc, L"2", L"", L"k").TypeText());
}

class ValidationWindowTest : public ::testing::Test
{
protected:
    ValidationWindow& pane() { return frame->GetLogTabs().Validation(); }
    HWND list() { return pane().GetListWindow(); }
    std::wstring ClipboardText()
    {
        Clipboard clipboard;
        clipboard.Open(frame->GetWindowHandle());
        return clipboard.GetText();
    }

    shell_testing::TestFrame frame;
};

TEST_F(ValidationWindowTest, ColumnsAreSizedForTheFirstTenMessagesThenEveryTenth)
{
    frame.Open(kDoc);
    for (int i = 1; i <= 20; ++i) {
        SendMessageW(list(), LVM_SETCOLUMNWIDTH, 3, 1);
        pane().AddMessage(Message(kDoc, L"1", L"", std::to_wstring(i), L"a rather long description text"));
        bool sized = i <= 10 || i == 20;
        EXPECT_EQ(sized, ColumnWidth(list(), 3) > 1) << "message " << i;
        if (sized)
            EXPECT_EQ(0, ColumnWidth(list(), 0)) << "one document: no File column";
    }
    frame.Open(kOther);
    for (int i = 21; i <= 30; ++i)
        pane().AddMessage(Message(kOther, L"1", L"", std::to_wstring(i)));
    EXPECT_GT(ColumnWidth(list(), 0), 0);
}

TEST_F(ValidationWindowTest, CopiesTheSelectedRowsAsTabSeparatedText)
{
    frame.Open(kDoc);
    pane().AddMessage(Message(kDoc, L"1", L"Value", L"K1", L"has\ta tab"));
    pane().AddMessage(Message(kDoc, L"2", L"", L"K2", L"plain"));
    pane().AddMessage(Message(kDoc, L"9", L"", L"K3", L"third"));
    pane().CopySelectedResults(); // nothing selected: nothing copied
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    SendMessageW(list(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list(), LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    pane().CopySelectedResults();
    EXPECT_EQ(L"File\tICE\tType\tDescription\tHelp\tTable\tColumn\tKey\tCub\r\n"
              L"one.msi\tICE01\tError\thas\\ta tab\thelp\tProperty\tValue\tK1\tfull.cub\r\n"
              L"one.msi\tICE01\t9\tthird\thelp\tProperty\t\tK3\tfull.cub",
              ClipboardText());

    // A long text is copied whole.
    std::wstring long_text(3000, L'x');
    pane().AddMessage(Message(kDoc, L"1", L"", L"K4", long_text));
    state.state = 0;
    SendMessageW(list(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    state.state = LVIS_SELECTED;
    SendMessageW(list(), LVM_SETITEMSTATE, 3, reinterpret_cast<LPARAM>(&state));
    pane().CopySelectedResults();
    EXPECT_EQ(L"File\tICE\tType\tDescription\tHelp\tTable\tColumn\tKey\tCub\r\n"
              L"one.msi\tICE01\tError\t" +
                  long_text + L"\thelp\tProperty\t\tK4\tfull.cub",
              ClipboardText());
}

TEST_F(ValidationWindowTest, FilterSortAndClosingADocument)
{
    auto one = frame.Open(kDoc);
    auto two = frame.Open(kOther);
    for (const wchar_t* key : {L"b", L"C", L"a"}) {
        pane().AddMessage(Message(kDoc, L"1", L"", key));
        pane().AddMessage(Message(kOther, L"1", L"", key));
    }
    EXPECT_EQ(6, ItemCount(list()));
    // The first two.msi message (key b) is selected: it stays selected wherever the sort puts it.
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED;
    SendMessageW(list(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    pane().SortByColumn(7);
    wchar_t text[16] = {};
    ListView_GetItemText(list(), 0, 7, text, 16);
    EXPECT_STREQ(L"a", text);
    ListView_GetItemText(list(), 5, 7, text, 16);
    EXPECT_STREQ(L"C", text);
    auto selected = [this] {
        std::vector<ptrdiff_t> numbers;
        for (int row = -1; (row = ListView_GetNextItem(list(), row, LVNI_SELECTED)) >= 0;)
            numbers.push_back(pane().MessageNumberAt(row));
        return numbers;
    };
    EXPECT_EQ(std::vector<ptrdiff_t>{1}, selected());
    pane().SortByColumn(7);
    ListView_GetItemText(list(), 0, 7, text, 16);
    EXPECT_STREQ(L"C", text) << "the second click sorts downwards";
    EXPECT_EQ(std::vector<ptrdiff_t>{1}, selected());

    // Only the active document's messages; the other document (active now) is two.msi.
    SendMessageW(pane().GetWindowHandle(), WM_COMMAND, MAKEWPARAM(ValidationWindow::kCheckBox, BN_CLICKED),
                 reinterpret_cast<LPARAM>(pane().GetCheckBox()));
    EXPECT_EQ(3, ItemCount(list()));
    SendMessageW(pane().GetWindowHandle(), WM_COMMAND, MAKEWPARAM(ValidationWindow::kCheckBox, BN_CLICKED),
                 reinterpret_cast<LPARAM>(pane().GetCheckBox()));
    EXPECT_EQ(6, ItemCount(list()));

    // Refilled in the store's order; one message of each document selected.
    SendMessageW(list(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list(), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    frame->GetTabs().CloseCurrent();
    EXPECT_EQ(3, ItemCount(list()));
    EXPECT_EQ(std::vector<ptrdiff_t>{0}, selected()) << "one.msi's message stays selected";
    frame->GetTabs().CloseCurrent();
    EXPECT_EQ(0, ItemCount(list()));
    pane().Refill();
    EXPECT_EQ(0, ItemCount(list())) << "closed documents' messages stay hidden";
}

TEST_F(ValidationWindowTest, MessagesFromThreeThreadsAreListedOnceWhileThePaneRefillsAndSorts)
{
    frame.Open(kDoc);
    const int kPerThread = 100;
    std::vector<std::thread> workers;
    std::atomic<int> finished{0};
    for (int t = 0; t < 3; ++t) {
        workers.emplace_back([this, t, &finished] {
            for (int i = 0; i < kPerThread; ++i)
                pane().AddMessage(Message(kDoc, L"1", L"", std::to_wstring(t * kPerThread + i)));
            ++finished;
        });
    }
    int rounds = 0;
    PumpUntil(
        [&] {
            pane().Refill();
            pane().SortByColumn(7);
            ++rounds;
            return pane().Store().Count() == 3 * kPerThread;
        },
        60000);
    // The last message is stored before its row is sent over: a worker may still wait for this thread.
    PumpUntil([&] { return finished == 3; }, 60000);
    for (std::thread& worker : workers)
        worker.join();
    // The last rows reach the list with the next count it is told.
    PumpUntil([&] { return ItemCount(list()) == 3 * kPerThread; }, 30000);
    std::multiset<ptrdiff_t> listed;
    for (int i = 0; i < ItemCount(list()); ++i)
        listed.insert(pane().MessageNumberAt(i));
    EXPECT_EQ(static_cast<size_t>(3 * kPerThread), listed.size());
    EXPECT_EQ(static_cast<size_t>(3 * kPerThread), std::set<ptrdiff_t>(listed.begin(), listed.end()).size());
    EXPECT_EQ(0u, listed.count(-1));
    EXPECT_GT(rounds, 0);
}

// A long list is fitted over its widest rows only: the widths come out as fitting over every row does,
// and the list keeps its rows and where it was scrolled to.
TEST_F(ValidationWindowTest, LongListsAreFittedAsOverEveryRow)
{
    frame.Open(kDoc);
    frame.Open(kOther);
    for (int i = 0; i < 400; ++i)
        pane().Store().Add(Message(i % 2 ? kDoc : kOther, std::to_wstring(i % 4), i % 3 ? L"Value" : L"",
                                   L"K" + std::to_wstring(i * 7919 % 400),
                                   std::wstring(static_cast<size_t>(i % 37), L'w') + L"i" +
                                       std::wstring(static_cast<size_t>(i % 53), L'i')));
    pane().Refill();
    ASSERT_EQ(400, ItemCount(list()));
    for (int column = 0; column < 9; ++column) {
        int fitted = ColumnWidth(list(), column);
        SendMessageW(list(), LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
        EXPECT_EQ(ColumnWidth(list(), column), fitted) << "column " << column;
    }

    SendMessageW(list(), LVM_ENSUREVISIBLE, 399, FALSE);
    LRESULT top = SendMessageW(list(), LVM_GETTOPINDEX, 0, 0);
    int description = ColumnWidth(list(), 3);
    for (int i = 0; i < 10; ++i)
        pane().AddMessage(Message(kDoc, L"1", L"", L"new" + std::to_wstring(i), std::wstring(90, L'W')));
    EXPECT_EQ(410, ItemCount(list()));
    EXPECT_EQ(top, SendMessageW(list(), LVM_GETTOPINDEX, 0, 0));
    EXPECT_GT(ColumnWidth(list(), 3), description) << "the tenth message refits the columns";
}

// A run's fits measure only the rows added since the last one, yet every tenth message leaves each column
// as a fit over every row would: wider texts, a column the user narrowed, a selection that keeps the
// control measuring every row.
TEST_F(ValidationWindowTest, ARunsFitsFollowWhatItAdds)
{
    frame.Open(kDoc);
    frame.Open(kOther);
    auto add = [&](int count, size_t description, const std::wstring& column) {
        for (int i = 0; i < count; ++i)
            pane().AddMessage(Message(kDoc, L"1", column, L"K" + std::to_wstring(ItemCount(list())),
                                      std::wstring(description, L'w')));
    };
    auto expect_as_over_every_row = [&](const char* when) {
        for (int column = 0; column < 9; ++column) {
            int fitted = ColumnWidth(list(), column);
            SendMessageW(list(), LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
            EXPECT_EQ(ColumnWidth(list(), column), fitted) << when << ", column " << column;
            SendMessageW(list(), LVM_SETCOLUMNWIDTH, column, fitted);
        }
    };
    add(300, 20, L"Value");
    expect_as_over_every_row("300 rows");
    add(10, 60, L"Value");
    expect_as_over_every_row("a wider description");
    SendMessageW(list(), LVM_SETCOLUMNWIDTH, 6, 3);
    add(10, 10, L"Value");
    expect_as_over_every_row("a narrowed column");

    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list(), LVM_SETITEMSTATE, 5, reinterpret_cast<LPARAM>(&state));
    add(10, 10, L"ALongerColumnNameThanAnyBefore");
    expect_as_over_every_row("a selection");
    EXPECT_EQ(5, SendMessageW(list(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    EXPECT_EQ(330, ItemCount(list()));

    // A run on its own thread: its rows reach the list a few times a second, fitted as the tenth is due.
    std::thread run([&] {
        for (int i = 0; i < 25; ++i)
            pane().AddMessage(
                Message(kDoc, L"2", L"Value", L"R" + std::to_wstring(i), std::wstring(80, L'W')));
    });
    PumpUntil([&] { return ItemCount(list()) == 355; }, 30000);
    run.join();
    PumpUntil([&] { return ItemCount(list()) == 355; }, 30000);
    ASSERT_EQ(355, ItemCount(list()));
    expect_as_over_every_row("a run's thread");
}

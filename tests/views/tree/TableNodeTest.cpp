// Table nodes over a real package in a document tab: the view state they keep, the clipboard, deleting in
// a comparison view, new GUIDs, find, read-only documents, and validation messages on their cells.
#include "NodeTesting.h"

#include "foundation/Clipboard.h"
#include "model/MsiModification.h"
#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "resources/NodesIds.h"
#include "shell/MDITabsParent.h"
#include "foundation/Options.h"
#include "validation/ValidationWindow.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiDiffTableNode.h"
#include "views/tree/TreeView.h"

#include <gtest/gtest.h>

using namespace grid_testing;
using namespace node_testing;

namespace {

class TableNodeTest : public ::testing::Test
{
protected:
    std::shared_ptr<NodeTab> Open(NodeTab::Setup setup)
    {
        if (setup.package.empty())
            setup.package = L"shortcuts.msi";
        auto tab = frame.Open(setup);
        if (!tab->ok())
            return nullptr;
        return tab;
    }
    ObjectWindow& List(NodeTab& tab) { return *tab.GetTreeContext(); }
    int Position(MsiTableNode& node, const std::wstring& key)
    {
        return node.GetLookup()->FindRow({key}, std::max(0, node.AttachedList()->GetSortColumn()));
    }
    void Focus(NodeTab& tab, int item, int column)
    {
        ObjectWindow& list = List(tab);
        list.SetSelection({item});
        list.FocusItem(item);
        list.SetCurrentColumn(column);
    }
    void PutClipboard(const std::wstring& text)
    {
        Clipboard clipboard;
        clipboard.Open(frame.frame().GetWindowHandle());
        clipboard.SetText(text);
    }

    NodeFrame frame;
    testing_support::ScriptedPrompts prompts;
};

// Prepares the edited copy: a row only the base has.
void DropProductName(MSIHANDLE database)
{
    RunSql(database, L"DELETE FROM `Property` WHERE `Property`='ProductName'");
}

} // namespace

TEST_F(TableNodeTest, ReselectingATableRestoresWidthsSortAndCurrentRow)
{
    auto tab = Open({});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"InstallExecuteSequence");
    MsiTableNode* node = tab->FindTableNode(L"InstallExecuteSequence");
    ObjectWindow& list = List(*tab);
    ASSERT_EQ(node, list.GetHandler());
    // The user sorts by the third column through the header, widens columns and moves to a cell.
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list.GetWindowHandle();
    click.hdr.code = LVN_COLUMNCLICK;
    click.iSubItem = 2;
    SendMessageW(tab->GetWindowHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    list.SetColumnWidths({130, 71, 52});
    Focus(*tab, 4, 1);
    std::vector<std::wstring> key = node->GetLookup()->GetKeyValuesAt(4, 2);

    tab->ShowTable(L"Property");
    EXPECT_EQ(tab->FindTableNode(L"Property"), list.GetHandler());
    tab->ShowTable(L"InstallExecuteSequence");

    EXPECT_EQ((std::vector<int>{130, 71, 52}), list.GetColumnWidths());
    EXPECT_EQ(2, list.GetSortColumn());
    ASSERT_GE(list.GetFocusedItem(), 0);
    EXPECT_EQ(key, node->GetLookup()->GetKeyValuesAt(list.GetFocusedItem(), 2));
    EXPECT_EQ(1, list.GetCurrentColumn());
}

TEST_F(TableNodeTest, CopiedRowsPasteBackAndARefusedPasteAddsNothing)
{
    auto tab = Open({});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"Property");
    MsiTableNode* node = tab->FindTableNode(L"Property");
    ObjectWindow& list = List(*tab);
    auto lookup = node->GetLookup();
    int rows = lookup->RowCount();

    list.SetSelection({0, 1, 2});
    node->CopyRows();
    std::wstring copied;
    {
        Clipboard clipboard;
        clipboard.Open(list.GetWindowHandle());
        copied = clipboard.GetText();
    }
    std::wstring expected;
    for (int i = 0; i < 3; ++i)
        expected += lookup->GetRowClipboardText(i, 0) + L"\r\n";
    EXPECT_EQ(expected, copied);

    // Pasting them back adds three rows under new keys; the tab is dirty.
    node->PasteRows();
    EXPECT_EQ(rows + 3, lookup->RowCount());
    EXPECT_EQ(lookup->RowCount(), list.GetItemCount());
    EXPECT_TRUE(tab->IsDirty());
    EXPECT_EQ(3u, list.GetSelectedItems().size());

    // The second row's Value is empty but required: the paste is refused before any row goes in, with
    // the table named, and the clipboard is free.
    tab->SetDirty(false);
    PutClipboard(L"PastedOne\tone\r\nPastedTwo\t\r\nPastedThree\tthree\r\n");
    {
        testing_support::ScriptedPrompts prompts;
        prompts.answer(IDOK);
        node->PasteRows();
        ASSERT_EQ(prompts.asked().size(), 1u);
        EXPECT_EQ(
            prompts.asked()[0].text,
            L"Cannot paste the rows into the Property table: its Value field needs a value, a pasted row "
            L"has none.");
    }
    EXPECT_EQ(rows + 3, lookup->RowCount());
    EXPECT_EQ(lookup->FindRow({L"PastedOne"}, 0), lookup->RowCount());
    EXPECT_EQ(lookup->RowCount(), list.GetItemCount());
    EXPECT_FALSE(tab->IsDirty());
    ASSERT_TRUE(OpenClipboard(frame.frame().GetWindowHandle())) << "the paste left the clipboard open";
    CloseClipboard();
}

TEST_F(TableNodeTest, PastingIntoAFieldChecksItsColumn)
{
    auto tab = Open({});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    const wchar_t* refused = L"Cannot paste an empty string into this field as it requires a non-null value";
    struct Case
    {
        const wchar_t* table;
        const wchar_t* key;
        int column;
        const wchar_t* text;
        const wchar_t* message; // null: none, and the cell shows the text
    } cases[] = {
        {L"Property", L"ProductName", 1, L"Renamed", nullptr},
        {L"Property", L"ProductName", 1, L"", refused},
        {L"InstallExecuteSequence", L"CostInitialize", 2, L"", nullptr},
        {L"InstallExecuteSequence", L"CostInitialize", 2, L"0x20", nullptr},
        {L"File", nullptr, 7, L"", refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.table) + L" <- \"" + c.text + L"\"");
        tab->ShowTable(c.table);
        MsiTableNode* node = tab->FindTableNode(c.table);
        int item = c.key ? Position(*node, c.key) : 0;
        Focus(*tab, item, c.column);
        PutClipboard(c.text);
        size_t asked = prompts.asked().size();
        if (c.message)
            prompts.answer(IDOK);
        node->PasteField();
        if (c.message) {
            ASSERT_EQ(asked + 1, prompts.asked().size());
            EXPECT_EQ(c.message, prompts.asked().back().text);
            EXPECT_EQ(L"Invalid clipbaord data", prompts.asked().back().caption);
        } else {
            std::wstring shown = node->GetLookup()->GetCellEditText(c.column, Position(*node, c.key), 0);
            EXPECT_EQ(std::wstring(c.text) == L"0x20" ? L"32" : c.text, shown);
        }
    }
}

TEST_F(TableNodeTest, ReadOnlyDocumentIgnoresEditingKeysAndGreysTheMenu)
{
    auto tab = Open({L"", true});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"Property");
    MsiTableNode* node = tab->FindTableNode(L"Property");
    ObjectWindow& list = List(*tab);
    int rows = node->GetLookup()->RowCount();
    Focus(*tab, 0, 1);
    PutClipboard(L"Pasted\tvalue\r\n");
    DefaultKeyTarget = [&list] { return list.GetWindowHandle(); };
    struct
    {
        WORD key;
        bool control, shift;
    } keys[] = {{VK_DELETE, false, false}, {'R', true, false}, {'G', true, false},
                {'V', true, false},        {'V', true, true},  {'X', true, true}};
    for (const auto& key : keys)
        PressKey(key.key, key.control, key.shift);
    DefaultKeyTarget = nullptr;
    EXPECT_EQ(rows, node->GetLookup()->RowCount());
    EXPECT_FALSE(tab->IsDirty());
    EXPECT_TRUE(prompts.asked().empty());

    // The list menu from the keyboard: its editing items are grey, copying is not.
    std::map<UINT, bool> grey;
    ModalDriver driver([&grey] {
        HWND menu_window = FindWindowW(L"#32768", nullptr);
        if (!menu_window)
            return false;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
        if (!menu)
            return false;
        for (UINT id : {ID_ROWS_CUT, ID_ROWS_COPY, ID_ROWS_PASTE, ID_ROWS_ADD, ID_ROWS_DELETE})
            grey[id] = (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
        EndMenu();
        return true;
    });
    node->OnContextMenu(list, list.GetWindowHandle(), -1, -1);
    ASSERT_TRUE(driver.finished());
    EXPECT_EQ((std::map<UINT, bool>{{ID_ROWS_CUT, true},
                                    {ID_ROWS_COPY, false},
                                    {ID_ROWS_PASTE, true},
                                    {ID_ROWS_ADD, true},
                                    {ID_ROWS_DELETE, true}}),
              grey);
}

TEST_F(TableNodeTest, DeletingInAComparisonViewCountsWhatWasDeleted)
{
    struct Case
    {
        const wchar_t* key;
        bool tracking;
        bool deleted;
    } cases[] = {
        {L"Manufacturer", false, true}, // on both sides: it stays, shown as removed
        {L"ProductName", false, false}, // only the base has it
        {L"Manufacturer", true, true},  // through the cascade dialog
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.key) + (c.tracking ? L" tracking" : L""));
        auto tab = Open({L"", false, true, c.tracking, &DropProductName});
        if (!tab)
            GTEST_SKIP() << "shared test data absent";
        tab->ShowTable(L"Property");
        MsiTableNode* node = tab->FindTableNode(L"Property");
        ObjectWindow& list = List(*tab);
        auto lookup = node->GetLookup();
        Focus(*tab, Position(*node, c.key), 0);
        size_t asked = prompts.asked().size();
        prompts.answer(IDYES);
        if (!c.deleted)
            prompts.answer(IDOK);
        node->DeleteSelectedRows();
        ASSERT_EQ(asked + (c.deleted ? 1 : 2), prompts.asked().size());
        EXPECT_EQ(L"Delete Row(s)?", prompts.asked()[asked].caption);
        if (!c.deleted)
            EXPECT_EQ(L"None of the selected rows exist in the file being edited.",
                      prompts.asked().back().text);
        EXPECT_EQ(c.deleted, tab->IsDirty());
        EXPECT_FALSE(tab->package().file().FindTable(L"Property")->rows().empty());
        EXPECT_EQ(lookup->RowCount(), list.GetItemCount());
        int position = lookup->FindRow({c.key}, 0);
        ASSERT_LT(position, lookup->RowCount()) << "the base row is still shown";
        EXPECT_FALSE(lookup->IsEditableRow(lookup->GetIndexedRow(position, 0)));
        if (tab->IsDirty())
            prompts.answer(IDNO); // "Save ...?"
        frame.frame().GetTabs().CloseCurrent();
    }
}

// With tracking off the selected rows go in one deletion: it must leave exactly what deleting them one
// at a time left (the rows, the change log, the list), in sorted lists, the Directory view that keeps
// paths, and a comparison view where a selected row exists only in the base.
TEST_F(TableNodeTest, DeletingSelectedRowsLeavesWhatDeletingThemOneByOneLeft)
{
    struct Case
    {
        const wchar_t* table;
        int sort;
        std::vector<int> positions;
        bool comparison;
    } cases[] = {
        {L"Property", 0, {0, 2, 3, 6}, false},
        {L"Property", 1, {1, 4, 5}, false},
        {L"InstallExecuteSequence", 2, {0, 1, 6, 12, 13, 20}, false},
        {L"Directory", 0, {0, 2}, false},
        {L"Property", 0, {0, 1, 2, 3, 4, 5, 6, 7}, true},
    };
    struct Left
    {
        std::vector<std::wstring> rows;
        std::vector<std::wstring> log;
        int items = 0;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.table) + L" sorted by " + std::to_wstring(c.sort) +
                     (c.comparison ? L" compared" : L""));
        Left left[2];
        for (bool batch : {true, false}) {
            auto tab = Open({L"", false, c.comparison, false, &DropProductName});
            if (!tab)
                GTEST_SKIP() << "shared test data absent";
            tab->ShowTable(c.table);
            MsiTableNode* node = tab->FindTableNode(c.table);
            ObjectWindow& list = List(*tab);
            auto lookup = node->GetLookup();
            if (c.sort > 0) {
                NMLISTVIEW click = {};
                click.hdr.hwndFrom = list.GetWindowHandle();
                click.hdr.code = LVN_COLUMNCLICK;
                click.iSubItem = c.sort;
                SendMessageW(tab->GetWindowHandle(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
            }
            ASSERT_EQ(c.sort, std::max(0, list.GetSortColumn()));
            ASSERT_LT(c.positions.back(), lookup->RowCount());
            if (batch) {
                list.SetSelection(c.positions);
                prompts.answer(IDYES);
                node->DeleteSelectedRows();
            } else {
                // As the node deleted before: position by position, each moved up by the rows gone.
                int offset = 0;
                for (int position : c.positions) {
                    int at = position - offset;
                    if (!lookup->IsEditableRow(lookup->GetIndexedRow(at, c.sort)))
                        continue;
                    int before = lookup->RowCount();
                    lookup->DeleteRow(c.sort, at);
                    offset += before - lookup->RowCount();
                }
                list.SetItemCount(lookup->RowCount());
            }
            Left& result = left[batch ? 0 : 1];
            for (int row = 0; row < lookup->RowCount(); ++row)
                result.rows.push_back(lookup->GetRowClipboardText(row, c.sort));
            for (const auto& entry : tab->GetMsiFile().change_log()) {
                auto* sql = dynamic_cast<MsiSqlModification*>(entry.get());
                ASSERT_NE(sql, nullptr);
                std::wstring text = sql->sql();
                for (const LoggedCell& cell : sql->params())
                    text += L" | " + cell.column->display_str(*cell.value);
                result.log.push_back(text);
            }
            result.items = list.GetItemCount();
            tab->SetDirty(false);
            frame.frame().GetTabs().CloseCurrent();
        }
        EXPECT_FALSE(left[0].log.empty());
        EXPECT_EQ(left[1].rows, left[0].rows);
        EXPECT_EQ(left[1].log, left[0].log);
        EXPECT_EQ(left[1].items, left[0].items);
    }
}

TEST_F(TableNodeTest, NewGuidOnlyForARowOfTheEditedTable)
{
    auto tab = Open({L"", false, true, false, &DropProductName});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"Property");
    MsiTableNode* node = tab->FindTableNode(L"Property");
    auto lookup = node->GetLookup();
    MsiTable& edited = *tab->package().file().FindTable(L"Property");
    size_t rows = edited.rows().size();

    Focus(*tab, Position(*node, L"ProductName"), 1);
    node->NewGuidForField();
    EXPECT_EQ(rows, edited.rows().size()) << "a base-only row got a value in the edited table";
    EXPECT_FALSE(tab->IsDirty());

    Focus(*tab, Position(*node, L"Manufacturer"), 1);
    node->NewGuidForField();
    std::wstring value = lookup->GetCellText(1, Position(*node, L"Manufacturer"), 0);
    EXPECT_EQ(38u, value.size());
    EXPECT_EQ(L'{', value.front());
    EXPECT_TRUE(tab->IsDirty());
}

TEST_F(TableNodeTest, FindStaysInsideItsTable)
{
    auto tab = Open({});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"Property");
    MsiTableNode* node = tab->FindTableNode(L"Property");
    auto lookup = node->GetLookup();
    int last = lookup->RowCount() - 1;
    std::wstring first_key = lookup->GetCellText(0, 0, 0);
    std::wstring last_value = lookup->GetCellText(1, last, 0);
    std::wstring last_key = lookup->GetCellText(0, last, 0);
    auto matches = [&](const std::wstring& text) { return text == first_key || text == last_value; };
    FindCriteria at_last(L"", L"Property", L"Value", {last_key});
    FindCriteria at_first(L"", L"Property", L"Property", {first_key});
    struct Case
    {
        FindCriteria filters;
        FindCriteria start;
        bool upward;
        bool step_past;
        FindCriteria expected;
    } cases[] = {
        {{L"free", L"", L"", {}}, {}, false, false, {L"free", L"Property", L"Property", {first_key}}},
        {{}, {}, true, false, at_last},
        {{}, at_last, false, true, {}}, // past the last cell: nothing more here, no wrap
        {{}, at_first, true, true, {}},
        {{}, at_last, true, true, at_first},
        {{L"", L"", L"Value", {}}, {}, false, false, at_last},
        {{L"", L"Directory", L"", {}}, {}, false, false, {}},
    };
    for (const Case& c : cases) {
        FindCriteria found = node->Find(c.filters, matches, c.start, c.upward, c.step_past);
        EXPECT_EQ(c.expected, found) << "found " << found.table_name.size() << " in " << &c - cases;
    }
}

TEST_F(TableNodeTest, TransformMessagesColourItsCellsJumpAndGoWithItsTab)
{
    auto tab = Open({L"", false, true, false, &DropProductName});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    ValidationWindow& results = frame.frame().GetLogTabs().Validation();
    ValidationMessage message = ValidationMessage::FromFields(
        {L"ICE03", L"1", L"Bad value", L"", L"Property", L"", L"Manufacturer"}, tab->GetPath(), L"test.cub");
    results.AddMessage(message);
    results.AddMessage(ValidationMessage::FromFields(
        {L"ICE04", L"2", L"Odd value", L"", L"Property", L"Value", L"ProductCode"}, tab->GetPath(),
        L"test.cub"));
    ASSERT_EQ(2, SendMessageW(results.GetListWindow(), LVM_GETITEMCOUNT, 0, 0));

    // Selecting the message's line (focused and selected) shows its row.
    LVITEMW state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(results.GetListWindow(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    MsiTableNode* node = tab->FindTableNode(L"Property");
    ObjectWindow& list = List(*tab);
    ASSERT_EQ(node, list.GetHandler());
    ASSERT_GE(list.GetFocusedItem(), 0);
    EXPECT_EQ(std::vector<std::wstring>{L"Manufacturer"},
              node->GetLookup()->GetKeyValuesAt(list.GetFocusedItem(), 0));
    EXPECT_EQ(ValidationStore::kError, results.GetRowValidationInfo(FindCriteria(
                                           tab->GetPath(), L"Property", L"Value", {L"Manufacturer"})));

    EnsureGdiplus();
    RedrawWindow(frame.frame().GetWindowHandle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpPending();
    SaveScreenshot(frame.frame().GetWindowHandle(), testing_support::BuildPath(L"table-node-validation.png"));

    frame.frame().GetTabs().CloseCurrent();
    EXPECT_EQ(0, SendMessageW(results.GetListWindow(), LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0u, results.GetRowValidationInfo(
                      FindCriteria(message.location.text, L"Property", L"", {L"Manufacturer"})));
}

TEST_F(TableNodeTest, CellTipsNameTheValuesFlagsAndAChangedCellsBaseValue)
{
    auto tab = Open({L"", false, true});
    if (!tab)
        GTEST_SKIP() << "shared test data absent";
    tab->ShowTable(L"File");
    auto* node = dynamic_cast<MsiDiffTableNode*>(tab->FindTableNode(L"File"));
    ASSERT_TRUE(node);
    MsiTable& edited = *tab->package().file().FindTable(L"File");
    const MsiFieldDef& attributes = *edited.columns()[6];
    bool tips = gOptions.field_tips;
    const std::wstring description = attributes.field_schema()->description;
    struct Case
    {
        int value; // -1: null
        bool field_tips;
        std::wstring expected;
    } cases[] = {
        {512, false, L"\r\n| Vital"},
        {0x203, false, L"Original value: 0x0200\r\n\r\n\r\n| Read-only\r\n| Hidden\r\n| Vital"},
        {0x8, false, L"Original value: 0x0200\r\n\r\n\r\n| Unknown"},
        {-1, true, L"Original value: 0x0200\r\n\r\n" + description},
        {512, true, L"\r\n| Vital\r\n\r\n" + description},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        gOptions.field_tips = c.field_tips;
        tab->package().file().ModifyRow(attributes, edited.rows().begin(),
                                        c.value < 0 ? MakeNullFieldData() : MakeIntegerFieldData(c.value));
        std::wstring tip;
        node->GetFieldTip(tip, 0, 6);
        EXPECT_EQ(c.expected, tip);
    }
    gOptions.field_tips = false;
    node->RevertCell(0, 6);
    EXPECT_EQ(512, (*edited.rows().begin())[6]->integer());
    std::wstring tip;
    node->GetFieldTip(tip, 0, 6);
    EXPECT_EQ(L"\r\n| Vital", tip);
    // The sequence is a plain number: no names, so no tip without the descriptions.
    node->GetFieldTip(tip, 0, 7);
    EXPECT_EQ(L"", tip);
    gOptions.field_tips = tips;
}

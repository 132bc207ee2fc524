// The owner-data list in a real window: texts through LVN_GETDISPINFOW, sorting by header clicks, the cell
// cursor driven by synthesized keys and clicks, editing, and handlers that go away.
#include "GridTesting.h"

#include "foundation/WindowText.h"
#include "views/grid/ObjectBase.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <functional>
#include <numeric>
#include <set>
#include <stdexcept>

using namespace grid_testing;

namespace {

// Counts how often it was opened and where.
class ProbeEditor : public InPlaceEditor
{
public:
    void BeginEdit(HWND parent, const RECT& cell) override
    {
        parent_ = parent;
        cell_ = cell;
    }
    bool EndEdit(const std::wstring&) override { return true; }
    bool IsCancelled() const override { return false; }
    HWND parent_ = nullptr;
    RECT cell_ = {};
};

// Rows of texts in memory, sorted on request; every cell editable with a probe editor.
class TextHandler : public ObjectBase
{
public:
    TextHandler(std::vector<std::wstring> captions, std::vector<std::vector<std::wstring>> rows)
        : captions(std::move(captions)), rows(std::move(rows))
    {
        order.resize(this->rows.size());
        std::iota(order.begin(), order.end(), 0);
    }

    LRESULT GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info) override
    {
        int item = info->item.iItem;
        int column = info->item.iSubItem;
        // Item counts may be stale: positions past the rows answer an empty text.
        if (item < 0 || item >= static_cast<int>(order.size()) || column < 0 ||
            column >= static_cast<int>(captions.size()))
            SetDispText(info, std::wstring());
        else
            SetDispText(info, rows[order[item]][column]);
        return 1;
    }
    void Sort(int old_column, int new_column, bool ascending) override
    {
        sorts.push_back({old_column, new_column, ascending ? 1 : 0});
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return ascending ? rows[a][new_column] < rows[b][new_column]
                             : rows[b][new_column] < rows[a][new_column];
        });
    }
    InPlaceEditorPtr CreateEditor(ObjectWindow&, int item, int column) override
    {
        edits.push_back({item, column});
        editor = std::make_shared<ProbeEditor>();
        return editor;
    }
    LRESULT OnKeyDown(ObjectWindow& list, NMLVKEYDOWN* key) override
    {
        keys.push_back({key->wVKey, list.GetCurrentColumn()});
        return 0;
    }
    LRESULT OnItemChanged(ObjectWindow&, NMLISTVIEW* change) override
    {
        changes.push_back(*change);
        return 0;
    }
    void Show(ObjectWindow& list) { list.SetHandler(this, captions, static_cast<int>(rows.size()), -1, 0); }

    std::vector<std::wstring> captions;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<int> order;
    std::vector<std::vector<int>> sorts;
    std::vector<std::pair<int, int>> edits;
    std::vector<std::pair<WORD, int>> keys;
    std::vector<NMLISTVIEW> changes;
    std::shared_ptr<ProbeEditor> editor;
};

TextHandler ThreeRows()
{
    return TextHandler({L"Name", L"Value", L"Note"},
                       {{L"b", L"2", L"second"}, {L"c", L"1", L"third"}, {L"a", L"3", L"first"}});
}

int HeaderFormat(HWND list, int column)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    HDITEMW item = {};
    item.mask = HDI_FORMAT;
    SendMessageW(header, HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
    return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
}

HWND Header(HWND list)
{
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

// In the header's client coordinates.
POINT HeaderItemCentre(HWND list, int column)
{
    RECT rect = {};
    SendMessageW(Header(list), HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT CellCentre(HWND list, int item, int column)
{
    RECT rect = {};
    rect.top = column;
    rect.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&rect));
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

void SelectAndFocus(ObjectWindow& list, int item)
{
    list.SetSelection({item});
    list.FocusItem(item);
}

// Two lists of the same 300 rows: keys go to `list` through its own code, and to `plain` as a test wants
// them, to compare.
struct TwinLists
{
    static std::vector<std::vector<std::wstring>> Rows()
    {
        std::vector<std::vector<std::wstring>> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back({L"row " + std::to_wstring(i)});
        return rows;
    }
    static std::vector<int> Range(int from, int to, int step = 1)
    {
        std::vector<int> items;
        for (int item = from; item <= to; item += step)
            items.push_back(item);
        return items;
    }
    TwinLists() : plain_handler({L"Name"}, Rows()), handler({L"Name"}, Rows())
    {
        plain_handler.Show(plain_host.list());
        handler.Show(host.list());
    }
    TextHandler plain_handler, handler;
    ListHost plain_host, host;
    ObjectWindow& plain = plain_host.list();
    ObjectWindow& list = host.list();
};

} // namespace

TEST(ListView, CellTextsComeFromTheHandler)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    HWND list = host.list_window();
    EXPECT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(3, host.list().GetColumnCount());
    EXPECT_EQ(L"c", GetListViewItemText(list, 1, 0));
    EXPECT_EQ(L"third", GetListViewItemText(list, 1, 2));
    EXPECT_EQ(L"3", GetListViewItemText(list, 2, 1));
    UpdateWindow(list);

    // A text longer than the list's buffer is cut to the buffer, never past it.
    handler.rows[0][2] = std::wstring(5000, L'x');
    wchar_t buffer[64];
    wmemset(buffer, L'#', 64);
    LVITEMW item = {};
    item.iSubItem = 2;
    item.pszText = buffer;
    item.cchTextMax = 32;
    EXPECT_EQ(31, SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(L'#', buffer[32]);
}

TEST(ListView, HeaderClicksSortAndMoveTheArrow)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    HWND list = host.list_window();

    ClickAt(Header(list), HeaderItemCentre(list, 1));
    ASSERT_TRUE(PumpUntil([&] { return handler.sorts.size() == 1; }));
    EXPECT_EQ((std::vector<int>{-1, 1, 1}), handler.sorts[0]);
    EXPECT_EQ(HDF_SORTUP, HeaderFormat(list, 1));
    EXPECT_EQ(0, HeaderFormat(list, 0));
    EXPECT_EQ(L"c", GetListViewItemText(list, 0, 0)) << "rows in the order of column 1";
    EXPECT_EQ(L"a", GetListViewItemText(list, 2, 0));

    ClickAt(Header(list), HeaderItemCentre(list, 1));
    ASSERT_TRUE(PumpUntil([&] { return handler.sorts.size() == 2; }));
    EXPECT_EQ((std::vector<int>{1, 1, 0}), handler.sorts[1]) << "the same column again: descending";
    EXPECT_EQ(HDF_SORTDOWN, HeaderFormat(list, 1));
    EXPECT_EQ(L"a", GetListViewItemText(list, 0, 0));

    ClickAt(Header(list), HeaderItemCentre(list, 0));
    ASSERT_TRUE(PumpUntil([&] { return handler.sorts.size() == 3; }));
    EXPECT_EQ((std::vector<int>{1, 0, 1}), handler.sorts[2]) << "another column starts ascending";
    EXPECT_EQ(HDF_SORTUP, HeaderFormat(list, 0));
    EXPECT_EQ(0, HeaderFormat(list, 1));
    EXPECT_EQ(0, host.list().GetSortColumn());
}

TEST(ListView, KeysMoveTheCellCursorInDisplayOrder)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    ObjectWindow& list = host.list();
    SelectAndFocus(list, 1);
    host.Activate();

    PressKey(VK_LEFT);
    EXPECT_EQ(-1, list.GetCurrentColumn()) << "Left without a cursor does nothing";
    PressKey(VK_RIGHT);
    EXPECT_EQ(0, list.GetCurrentColumn());
    PressKey(VK_RIGHT);
    PressKey(VK_RIGHT);
    EXPECT_EQ(2, list.GetCurrentColumn());
    PressKey(VK_RIGHT);
    EXPECT_EQ(2, list.GetCurrentColumn()) << "Right at the last column stays";
    PressKey(VK_LEFT);
    EXPECT_EQ(1, list.GetCurrentColumn());
    ASSERT_FALSE(handler.keys.empty());
    EXPECT_EQ(VK_LEFT, handler.keys.back().first) << "the handler hears keys after the cursor moved";
    EXPECT_EQ(1, handler.keys.back().second);

    // After the user dragged the columns into another order.
    int order[] = {2, 0, 1};
    SendMessageW(host.list_window(), LVM_SETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
    list.SetCurrentColumn(-1);
    PressKey(VK_RIGHT);
    EXPECT_EQ(2, list.GetCurrentColumn()) << "the first column shown";
    PressKey(VK_RIGHT);
    EXPECT_EQ(0, list.GetCurrentColumn());
    PressKey(VK_LEFT);
    PressKey(VK_LEFT);
    EXPECT_EQ(2, list.GetCurrentColumn());
}

TEST(ListView, EnterF2AndCtrlAWorkOnTheFocusedRow)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    ObjectWindow& list = host.list();
    host.Activate();

    SelectAndFocus(list, 2);
    PressKey(VK_RETURN);
    EXPECT_TRUE(handler.edits.empty()) << "no current column: nothing to edit";
    list.SetCurrentColumn(1);
    PressKey(VK_RETURN);
    ASSERT_EQ(1u, handler.edits.size());
    EXPECT_EQ(std::make_pair(2, 1), handler.edits[0]);
    ASSERT_TRUE(handler.editor);
    EXPECT_EQ(host.list_window(), handler.editor->parent_);
    EXPECT_EQ(list.GetEditor(), handler.editor) << "the list holds the open editor";
    PressKey(VK_F2);
    EXPECT_EQ(2u, handler.edits.size());

    PressKey('A', true);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), list.GetSelectedItems());
    list.SetSelection({});
    PressKey(VK_RETURN);
    EXPECT_EQ(2u, handler.edits.size()) << "a focused row that is not selected is not edited";
}

TEST(ListView, ASecondClickOnTheCurrentCellEditsIt)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    ObjectWindow& list = host.list();
    HWND window = host.list_window();

    ClickAt(window, CellCentre(window, 1, 2));
    EXPECT_EQ(2, list.GetCurrentColumn());
    EXPECT_EQ(1, list.GetFocusedItem());
    EXPECT_TRUE(handler.edits.empty()) << "the click that focuses the row only moves the cursor";
    ClickAt(window, CellCentre(window, 1, 2));
    ASSERT_EQ(1u, handler.edits.size());
    EXPECT_EQ(std::make_pair(1, 2), handler.edits[0]);

    ClickAt(window, CellCentre(window, 0, 1), true);
    ASSERT_TRUE(PumpUntil([&] { return handler.edits.size() == 2; }));
    EXPECT_EQ(std::make_pair(0, 1), handler.edits[1]) << "a double click edits whatever the cursor was";
}

TEST(ListView, AHandlerThatDiesIsDetachedBeforeTheNextPaint)
{
    ListHost host;
    HWND list = host.list_window();
    {
        TextHandler handler = ThreeRows();
        handler.Show(host.list());
        UpdateWindow(list);
        EXPECT_EQ(&handler, host.list().GetHandler());
        EXPECT_EQ(&host.list(), handler.AttachedList());
    }
    EXPECT_EQ(nullptr, host.list().GetHandler());
    EXPECT_EQ(0, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
    PumpPending();

    // A node moved to another list leaves the first one.
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    ListHost other;
    handler.Show(other.list());
    EXPECT_EQ(nullptr, host.list().GetHandler());
    EXPECT_EQ(&other.list(), handler.AttachedList());
    EXPECT_EQ(L"b", GetListViewItemText(other.list_window(), 0, 0));
}

TEST(ListView, TheCursorCellOfTheFocusedRowIsDrawnByHand)
{
    ListHost host;
    TextHandler handler = ThreeRows();
    handler.Show(host.list());
    ObjectWindow& list = host.list();
    SelectAndFocus(list, 1);
    list.SetCurrentColumn(2);
    HDC dc = GetDC(host.list_window());
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdc = dc;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    auto drawn = [&](int item, int column, bool& selected) {
        draw.nmcd.dwItemSpec = item;
        draw.iSubItem = column;
        LRESULT result = -1;
        selected = list.DrawCellHighlight(&draw, result);
        return result;
    };
    bool selected = false;
    EXPECT_EQ(CDRF_SKIPDEFAULT, drawn(1, 2, selected));
    EXPECT_TRUE(selected);
    EXPECT_EQ(CDRF_DODEFAULT, drawn(1, 0, selected)) << "another column of the row is the control's";
    EXPECT_TRUE(selected);
    EXPECT_EQ(CDRF_DODEFAULT, drawn(0, 2, selected)) << "an unselected row is the caller's";
    EXPECT_FALSE(selected);
    ReleaseDC(host.list_window(), dc);
}

// A handler whose every paint throws: the first failure reaches the window that reports it, the others
// (every further cell, also while the report is up) are left to the control, until the list shows a
// handler again.
TEST(ListView, APaintThatAlwaysThrowsIsReportedOnce)
{
    class ThrowingPainter : public TextHandler
    {
    public:
        ThrowingPainter() : TextHandler({L"Name"}, {{L"a"}, {L"b"}}) {}
        LRESULT OnCustomDraw(ObjectWindow&, NMLVCUSTOMDRAW*) override
        {
            ++paints;
            throw std::runtime_error("paint");
        }
        int paints = 0;
    };
    ListHost host;
    ThrowingPainter handler;
    handler.Show(host.list());
    NMLVCUSTOMDRAW draw = {};
    draw.nmcd.hdr.hwndFrom = host.list_window();
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    auto paint = [&] { return host.list().OnNotify(&draw.nmcd.hdr); };
    for (int round = 0; round < 2; ++round) {
        EXPECT_THROW(paint(), std::runtime_error);
        for (int cell = 0; cell < 3; ++cell)
            EXPECT_EQ(paint(), CDRF_DODEFAULT);
        handler.Show(host.list());
    }
    EXPECT_EQ(handler.paints, 8);
}

// A long list is fitted over its widest rows only: the widths must be those of fitting over every row
// (which the list does while a row is selected), and the list keeps its rows.
TEST(ListView, ALongListIsFittedAsWideAsOverEveryRow)
{
    struct Case
    {
        const char* what;
        int rows;
        // Text of a row in the second column.
        std::function<std::wstring(int)> text;
    } cases[] = {
        {"the widest text is the longest", 600, [](int row) { return std::wstring(row % 37, L'x'); }},
        {"narrow letters outnumber wide ones", 600,
         [](int row) { return row == 411 ? std::wstring(20, L'W') : std::wstring(row % 30, L'i'); }},
        {"the widest row is the last", 300,
         [](int row) { return row == 299 ? L"Mmm mmm MMM www" : std::to_wstring(row * 7919); }},
        {"short lists fit over every row anyway", 40, [](int row) { return std::wstring(row, L'm'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<std::wstring>> rows;
        for (int row = 0; row < c.rows; ++row)
            rows.push_back({std::to_wstring(row), c.text(row), row % 5 ? L"" : L"note " + c.text(row)});
        ListHost host;
        TextHandler handler({L"Key", L"Text", L"Note"}, rows);
        handler.Show(host.list());
        host.list().AutoFitColumns();
        std::vector<int> sampled = host.list().GetColumnWidths();
        EXPECT_EQ(c.rows, host.list().GetItemCount());

        host.list().SetColumnWidths({10, 10, 10});
        host.list().SetSelection({0});
        host.list().AutoFitColumns();
        EXPECT_EQ(host.list().GetColumnWidths(), sampled);
    }
}

// Shift with a cursor key selects from the mark to where the key moves the focus, whatever the selection
// was: checked against the same keys without Shift in a list of the same size, which the control moves
// alone.
TEST(ListView, ShiftKeysSelectFromTheMarkToWhereTheKeyMoves)
{
    TwinLists twins;
    TextHandler& handler = twins.handler;
    ObjectWindow &plain = twins.plain, &list = twins.list;
    auto range = [](int from, int to) {
        std::vector<int> items;
        for (int item = std::min(from, to); item <= std::max(from, to); ++item)
            items.push_back(item);
        return items;
    };
    auto top = [](ObjectWindow& view) { return SendMessageW(view.GetWindowHandle(), LVM_GETTOPINDEX, 0, 0); };
    struct Case
    {
        const char* name;
        std::vector<int> selected; // then the focus at 7 and the mark at 5
    } cases[] = {
        {"the range from the mark", {5, 6, 7}},
        {"as many items, one outside the range", {2, 5, 6}},
        {"more items than the range", {5, 6, 7, 200}},
    };
    const WORD keys[] = {VK_DOWN, VK_DOWN,  VK_NEXT, VK_NEXT, VK_NEXT, VK_UP,   VK_PRIOR,
                         VK_END,  VK_PRIOR, VK_UP,   VK_HOME, VK_NEXT, VK_DOWN, VK_PRIOR};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (ObjectWindow* view : {&plain, &list}) {
            view->SetSelection(c.selected);
            view->FocusItem(7);
            SendMessageW(view->GetWindowHandle(), LVM_SETSELECTIONMARK, 0, 5);
            SendMessageW(view->GetWindowHandle(), LVM_ENSUREVISIBLE, 0, FALSE);
        }
        size_t heard = handler.keys.size();
        for (WORD key : keys) {
            SCOPED_TRACE(key);
            DefaultKeyTarget = [&plain] { return plain.GetWindowHandle(); };
            PressKey(key);
            DefaultKeyTarget = [&list] { return list.GetWindowHandle(); };
            PressKey(key, false, true);
            ASSERT_EQ(plain.GetFocusedItem(), list.GetFocusedItem());
            EXPECT_EQ(top(plain), top(list));
            EXPECT_EQ(range(5, list.GetFocusedItem()), list.GetSelectedItems());
            EXPECT_EQ(5, SendMessageW(list.GetWindowHandle(), LVM_GETSELECTIONMARK, 0, 0));
        }
        DefaultKeyTarget = nullptr;
        EXPECT_EQ(heard + std::size(keys), handler.keys.size()) << "the owner hears of every key";
    }
}

// A cursor key without Shift selects only the item it moves the focus to, however many items were selected:
// checked against the same key given to the control's own procedure in a list of the same size and
// selection, down to what the owners hear.
TEST(ListView, PlainKeysSelectOnlyWhereTheKeyMoves)
{
    TwinLists twins;
    TextHandler &plain_handler = twins.plain_handler, &handler = twins.handler;
    ObjectWindow &plain = twins.plain, &list = twins.list;
    auto range = &TwinLists::Range;
    auto top = [](ObjectWindow& view) { return SendMessageW(view.GetWindowHandle(), LVM_GETTOPINDEX, 0, 0); };
    auto mark = [](ObjectWindow& view) {
        return SendMessageW(view.GetWindowHandle(), LVM_GETSELECTIONMARK, 0, 0);
    };
    auto heard = [](const TextHandler& owner) {
        std::vector<std::vector<int>> changes;
        for (const NMLISTVIEW& change : owner.changes)
            changes.push_back({change.iItem, static_cast<int>(change.uChanged),
                               static_cast<int>(change.uOldState), static_cast<int>(change.uNewState)});
        return changes;
    };
    auto control_key = [](HWND window, WORD key) {
        BYTE modifiers[256];
        GetKeyboardState(modifiers);
        modifiers[VK_SHIFT] = modifiers[VK_CONTROL] = 0;
        SetKeyboardState(modifiers);
        auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
        CallWindowProcW(procedure, window, WM_KEYDOWN, key, 1);
        CallWindowProcW(procedure, window, WM_KEYUP, key, 0xC0000001);
        PumpPending();
    };
    struct Case
    {
        const char* name;
        std::vector<int> selected;
        int focus;
        int shown_before; // made visible before the focus: the focus ends at the top or the bottom of the
                          // page
    } cases[] = {
        {"the focused item alone", {60}, 60, 0},
        {"the range up to the focus, at the bottom", range(0, 120, 1), 120, 0},
        {"every other item, the focus not selected, at the top", range(0, 298, 2), 151, 299},
        {"the range from the focus, at the first item", range(0, 80, 1), 0, 299},
        {"the range up to the focus, at the last item", range(200, 299, 1), 299, 0},
        {"none", {}, 150, 299},
    };
    const WORD keys[] = {VK_NEXT, VK_PRIOR, VK_DOWN, VK_UP, VK_HOME, VK_END};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (WORD key : keys) {
            SCOPED_TRACE(key);
            for (ObjectWindow* view : {&plain, &list}) {
                view->SetSelection(c.selected);
                view->FocusItem(c.shown_before);
                view->FocusItem(c.focus);
            }
            ASSERT_EQ(top(plain), top(list));
            size_t keys_heard = handler.keys.size();
            plain_handler.changes.clear();
            handler.changes.clear();
            control_key(plain.GetWindowHandle(), key);
            DefaultKeyTarget = [&list] { return list.GetWindowHandle(); };
            PressKey(key);
            DefaultKeyTarget = nullptr;
            ASSERT_EQ(plain.GetFocusedItem(), list.GetFocusedItem());
            EXPECT_EQ(top(plain), top(list));
            EXPECT_EQ(mark(plain), mark(list));
            EXPECT_EQ(plain.GetSelectedItems(), list.GetSelectedItems());
            EXPECT_EQ(heard(plain_handler), heard(handler));
            EXPECT_EQ(keys_heard + 1, handler.keys.size()) << "the owner hears of the key";
            // Shift then extends from where the key went (a key that moved nothing changed nothing).
            int moved = list.GetFocusedItem();
            if (list.GetSelectedItems() != std::vector<int>{moved})
                continue;
            DefaultKeyTarget = [&list] { return list.GetWindowHandle(); };
            PressKey(VK_UP, false, true);
            DefaultKeyTarget = nullptr;
            EXPECT_EQ(moved > 0 ? range(moved - 1, moved, 1) : range(0, 0, 1), list.GetSelectedItems());
        }
    }
}

// A plain click on an item outside a selection of several items leaves that item alone selected and
// focused, as the control's own click does; the owner, following what it hears, ends knowing the same.
TEST(ListView, PlainClickOutsideTheSelectionSelectsOnlyThatItem)
{
    TwinLists twins;
    TextHandler &plain_handler = twins.plain_handler, &handler = twins.handler;
    ObjectWindow &plain = twins.plain, &list = twins.list;
    auto range = &TwinLists::Range;
    // The selection and focus an owner builds from the notifications, starting from what it was shown.
    auto known = [](const TextHandler& owner, const std::vector<int>& shown, int focus) {
        std::set<int> selected(shown.begin(), shown.end());
        for (const NMLISTVIEW& change : owner.changes) {
            bool was = (change.uOldState & LVIS_SELECTED) != 0, is = (change.uNewState & LVIS_SELECTED) != 0;
            if (change.iItem < 0) {
                if (was && !is)
                    selected.clear();
                continue;
            }
            if (is)
                selected.insert(change.iItem);
            else if (was)
                selected.erase(change.iItem);
            if (change.uNewState & LVIS_FOCUSED)
                focus = change.iItem;
            else if ((change.uOldState & LVIS_FOCUSED) && focus == change.iItem)
                focus = -1;
        }
        return std::make_pair(std::vector<int>(selected.begin(), selected.end()), focus);
    };
    struct Case
    {
        const char* name;
        std::vector<int> selected;
        int focus, clicked;
        WPARAM keys;
    } cases[] = {
        {"a range, the row after it", range(0, 120, 1), 120, 121, 0},
        {"every other item, a row between", range(0, 298, 2), 10, 11, 0},
        {"a range, a row inside it", range(0, 120, 1), 110, 105, 0},
        {"a range, with Control", range(0, 120, 1), 120, 122, MK_CONTROL},
        {"the focused item alone", {60}, 60, 62, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (ObjectWindow* view : {&plain, &list}) {
            view->SetSelection(c.selected);
            view->FocusItem(c.focus);
            SendMessageW(view->GetWindowHandle(), LVM_ENSUREVISIBLE, c.clicked, FALSE);
        }
        plain_handler.changes.clear();
        handler.changes.clear();
        RECT row = {};
        row.left = LVIR_LABEL;
        SendMessageW(plain.GetWindowHandle(), LVM_GETITEMRECT, c.clicked, reinterpret_cast<LPARAM>(&row));
        POINT where = {row.left + 4, (row.top + row.bottom) / 2};
        HWND window = plain.GetWindowHandle();
        auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
        CallWindowProcW(procedure, window, WM_LBUTTONDOWN, MK_LBUTTON | c.keys, MAKELPARAM(where.x, where.y));
        CallWindowProcW(procedure, window, WM_LBUTTONUP, c.keys, MAKELPARAM(where.x, where.y));
        PumpPending();
        LPARAM at = MAKELPARAM(where.x, where.y);
        PostMessageW(list.GetWindowHandle(), WM_LBUTTONDOWN, MK_LBUTTON | c.keys, at);
        PostMessageW(list.GetWindowHandle(), WM_LBUTTONUP, c.keys, at);
        PumpPending();
        ASSERT_EQ(plain.GetFocusedItem(), list.GetFocusedItem());
        EXPECT_EQ(c.clicked, list.GetFocusedItem());
        EXPECT_EQ(plain.GetSelectedItems(), list.GetSelectedItems());
        EXPECT_EQ(SendMessageW(window, LVM_GETSELECTIONMARK, 0, 0),
                  SendMessageW(list.GetWindowHandle(), LVM_GETSELECTIONMARK, 0, 0));
        EXPECT_EQ(known(plain_handler, c.selected, c.focus), known(handler, c.selected, c.focus));
        EXPECT_EQ(std::make_pair(list.GetSelectedItems(), c.clicked), known(handler, c.selected, c.focus));
    }
}

#include "GridTesting.h"

#include "views/grid/CreateFieldEditor.h"

#include "foundation/Errors.h"

#include <gtest/gtest.h>
#include <objidl.h>
#include <gdiplus.h>
#include <msiquery.h>
#include <algorithm>
#include <vector>

namespace grid_testing {
namespace {

// The list of the newest ListHost: where keys go when nothing of this thread has the focus.
HWND g_newest_list = nullptr;

} // namespace

namespace {

// The lists shown in the host window, by their window handles.
std::map<HWND, ObjectWindow*>& ShownLists()
{
    static std::map<HWND, ObjectWindow*> lists;
    return lists;
}

// One top-level window for the whole test program: destroying a top-level window costs Wine two seconds
// under Xvfb, while its children come and go freely.
HWND SharedHostWindow()
{
    static HWND window = [] {
        WNDCLASSEXW window_class = {};
        window_class.cbSize = sizeof(window_class);
        window_class.lpfnWndProc = &ListHost::HostProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        window_class.lpszClassName = L"GridTestHost";
        RegisterClassExW(&window_class);
        return CreateWindowExW(0, L"GridTestHost", L"Grid test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                               600, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }();
    return window;
}

} // namespace

ListHost::ListHost()
{
    window_ = SharedHostWindow();
    list_ = std::make_unique<ObjectWindow>();
    list_->Create(window_, nullptr);
    ShownLists()[list_->GetWindowHandle()] = list_.get();
    g_newest_list = list_->GetWindowHandle();
    RECT client = {};
    GetClientRect(window_, &client);
    MoveWindow(list_->GetWindowHandle(), 0, 0, client.right, client.bottom, TRUE);
    SetWindowPos(list_->GetWindowHandle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    Activate();
}

ListHost::~ListHost()
{
    ShownLists().erase(list_->GetWindowHandle());
    list_.reset();
    PumpPending();
}

void ListHost::Activate()
{
    SetForegroundWindow(window_);
    SetActiveWindow(window_);
    SetFocus(list_->GetWindowHandle());
    PumpPending();
}

LRESULT CALLBACK ListHost::HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lparam);
        auto shown = ShownLists().find(header->hwndFrom);
        if (shown != ShownLists().end()) {
            try {
                return shown->second->OnNotify(header);
            } catch (const std::exception& error) {
                ADD_FAILURE() << "OnNotify threw: " << error.what();
            } catch (...) {
                ADD_FAILURE() << "OnNotify threw";
            }
            return 0;
        }
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void SetModifiers(bool control, bool shift)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = state[VK_LCONTROL] = control ? 0x80 : 0;
    state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
}

std::function<HWND()> DefaultKeyTarget;

namespace {

// Not GetFocus: while another program has the foreground, the focus of this thread may be nowhere or on
// the top-level window.
HWND KeyTarget()
{
    if (DefaultKeyTarget) {
        HWND target = DefaultKeyTarget();
        if (target)
            return target;
    }
    return g_newest_list && IsWindow(g_newest_list) ? g_newest_list : nullptr;
}

} // namespace

void PressKey(WORD key, bool control, bool shift, bool pump)
{
    HWND focus = KeyTarget();
    ASSERT_TRUE(focus) << "no window to type into";
    SetModifiers(control, shift);
    UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (scan << 16);
    PostMessageW(focus, WM_KEYDOWN, key, down);
    PostMessageW(focus, WM_KEYUP, key, down | (1u << 30) | (1u << 31));
    if (pump) {
        PumpPending();
        SetModifiers(false, false);
    }
}

void TypeText(const std::wstring& text, bool pump)
{
    HWND focus = KeyTarget();
    ASSERT_TRUE(focus) << "no window to type into";
    SetModifiers(false, false);
    for (wchar_t c : text)
        PostMessageW(focus, WM_CHAR, c, 1);
    if (pump)
        PumpPending();
}

void ClickAt(HWND window, POINT client_point, bool twice)
{
    LPARAM where = MAKELPARAM(client_point.x, client_point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
    if (twice) {
        PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, where);
        PostMessageW(window, WM_LBUTTONUP, 0, where);
    }
    PumpPending();
}

OpenPackage::OpenPackage(const std::wstring& name, bool read_only,
                         const std::function<void(MSIHANDLE database)>& prepare)
    : read_only_(read_only)
{
    std::wstring source = testing_support::TestDataPath(name);
    if (source.empty())
        return;
    // A package of a subfolder of the test data lands in the scratch folder itself.
    path_ = folder_.copy_in(source, name.substr(name.find_last_of(L"\\/") + 1));
    if (prepare) {
        MSIHANDLE database = 0;
        EXPECT_EQ(0u, MsiOpenDatabaseW(path_.c_str(), MSIDBOPEN_TRANSACT, &database));
        prepare(database);
        EXPECT_EQ(0u, MsiDatabaseCommit(database));
        MsiCloseHandle(database);
    }
    file_ = std::make_unique<MsiFile>();
    file_->Open(path_, read_only ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
}

MsiTable& OpenPackage::table(const std::wstring& name)
{
    MsiTableRef table = file_->FindTable(name);
    if (!table)
        throw std::runtime_error("no such table in the test package");
    return *table;
}

void OpenPackage::SaveAndReopen()
{
    file_->SaveInPlace(false, std::wstring());
    file_.reset();
    file_ = std::make_unique<MsiFile>();
    file_->Open(path_, read_only_ ? MSIDBOPEN_READONLY : MSIDBOPEN_TRANSACT);
}

void RunSql(MSIHANDLE database, const std::wstring& sql)
{
    MSIHANDLE view = 0;
    ASSERT_EQ(0u, MsiDatabaseOpenViewW(database, sql.c_str(), &view)) << std::string(sql.begin(), sql.end());
    EXPECT_EQ(0u, MsiViewExecute(view, 0)) << std::string(sql.begin(), sql.end());
    MsiViewClose(view);
    MsiCloseHandle(view);
}

RowIterator FindRowByKey(MsiTable& table, const std::wstring& key)
{
    for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row) {
        if (table.RowKeyText(*row) == key)
            return row;
    }
    return table.rows().end();
}

LookupHandler::LookupHandler(std::shared_ptr<MsiTableLookupBase> lookup) : lookup(std::move(lookup)) {}

void LookupHandler::Show(ObjectWindow& list)
{
    list_ = &list;
    std::vector<std::wstring> captions;
    for (int column = lookup->FirstColumn(); column < lookup->ColumnCount(); ++column)
        captions.push_back(lookup->GetFieldDef(column)->name());
    list.SetHandler(this, captions, lookup->RowCount(), 0, lookup->GetSortDirection(0));
}

int LookupHandler::SortColumn() const
{
    return list_ ? std::max(0, list_->GetSortColumn()) : 0;
}

LRESULT LookupHandler::GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info)
{
    int item = info->item.iItem;
    int column = info->item.iSubItem;
    if (item < 0 || item >= lookup->RowCount() || column < 0 || column >= lookup->ColumnCount())
        SetDispText(info, std::wstring());
    else
        SetDispText(info, lookup->GetCellText(column, item, SortColumn()));
    return 1;
}

LRESULT LookupHandler::OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        int item = static_cast<int>(draw->nmcd.dwItemSpec);
        int column = draw->iSubItem;
        if (item >= lookup->RowCount() || column >= lookup->ColumnCount())
            return CDRF_DODEFAULT;
        COLORREF colour = lookup->GetCellTextColour(column, item, SortColumn());
        if (colour)
            draw->clrText = colour;
        UINT state = static_cast<UINT>(
            SendMessageW(list.GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
        auto flags = row_flags.find(item);
        return lookup->DrawListCell(column, item, SortColumn(), list.GetWindowHandle(),
                                    flags == row_flags.end() ? 0 : flags->second, state,
                                    column == list.GetCurrentColumn());
    }
    }
    return CDRF_DODEFAULT;
}

void LookupHandler::Sort(int old_column, int new_column, bool ascending)
{
    std::vector<int> selected = list_->GetSelectedItems();
    int focused = list_->GetFocusedItem();
    lookup->Sort(new_column, ascending, std::max(0, old_column), selected, focused);
    list_->SetSelection(selected);
    if (focused >= 0)
        list_->FocusItem(focused);
}

InPlaceEditorPtr LookupHandler::CreateEditor(ObjectWindow&, int item, int column)
{
    if (make_editor)
        return make_editor(item, column);
    if (!editor_handler)
        return CreateLookupEditor(lookup, column, item, SortColumn(), this);
    SetLookupEditHandler(lookup, this);
    return CreateFieldEditor(*editor_handler, *lookup->GetTable(), lookup->GetIndexedRow(item, SortColumn()),
                             *lookup->GetFieldDef(column));
}

void LookupHandler::Refresh(bool)
{
    ++refreshes;
    if (list_) {
        list_->SetItemCount(lookup->RowCount());
        InvalidateRect(list_->GetWindowHandle(), nullptr, FALSE);
    }
}

std::wstring RecordingHandler::ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                                  const MsiFieldDataRef& value)
{
    ++validations;
    return target_.ValidateFieldValue(def, row, value);
}

void RecordingHandler::CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                                        bool changed)
{
    ++commits;
    last_changed = changed;
    last_value = value;
    target_.CommitFieldValue(def, row, value, changed);
}

} // namespace grid_testing

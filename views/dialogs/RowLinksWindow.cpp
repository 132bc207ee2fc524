#include "views/dialogs/RowLinksWindow.h"
#include "views/grid/HeaderWidth.h"
#include "views/dialogs/DialogHelpers.h"

#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/tree/TableViewsTab.h"
#include "views/grid/ObjectWindow.h"

namespace {

const int kCheckBoxId = 1;
const int kListId = 2;

std::wstring JoinKey(const std::vector<std::wstring>& key)
{
    std::wstring text;
    for (size_t i = 0; i < key.size(); ++i)
        text += (i ? L"|" : L"") + key[i];
    return text;
}

std::wstring JoinDescriptions(const RelationshipSet& relationships)
{
    std::wstring text;
    for (const RelationshipDefPtr& relationship : relationships)
        text += (text.empty() ? L"" : L" | ") + relationship->Describe();
    return text;
}

} // namespace

RowLinksWindow::RowLinksWindow() : RowLinksWindow(true) {}

// A ManageableError here goes to the error dialog like any other failure.
RowLinksWindow::RowLinksWindow(bool has_check_box)
    : Window(L"RowLinksWindow", tfc::ErrorHandling::NoManageable), has_check_box_(has_check_box)
{
}

RowLinksWindow::~RowLinksWindow()
{
    destroy_window(window_);
}

void RowLinksWindow::Create(HWND parent, const RECT& rect, HIMAGELIST images, ActiveTabSource active_tab)
{
    images_ = images;
    active_tab_ = std::move(active_tab);
    tfc::register_window_class(L"RowLinksWindow", IDC_ARROW,
                               LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1000)));
    create_window(WS_EX_CONTROLPARENT, L"RowLinksWindow", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                  rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent);
}

void RowLinksWindow::CreateInDialog(HWND dialog, HWND placeholder, HIMAGELIST images, DWORD extended_styles)
{
    images_ = images;
    RECT rect = {};
    GetWindowRect(placeholder, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    MakeList(dialog, rect, WS_BORDER);
    SetWindowLongPtrW(list_, GWLP_ID, GetDlgCtrlID(placeholder));
    SetWindowPos(list_, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(placeholder);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, extended_styles, extended_styles);
}

void RowLinksWindow::MakeList(HWND parent, const RECT& rect, DWORD extra_style)
{
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS |
                                LVS_SHAREIMAGELISTS | extra_style,
                            rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), GetModuleHandleW(nullptr),
                            nullptr);
    if (!list_)
        tfc::throw_last_error(L"CreateWindowEx");
    SendMessageW(list_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
    SendMessageW(list_, CCM_SETVERSION, 5, 0);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const wchar_t* captions[] = {L"Table", L"Row Key", L"Relationship Description"};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(captions[i]);
        SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
        // 100 pixels, or what the caption needs.
        int caption = HeaderItemWidth(list_, i);
        if (caption > column.cx)
            SendMessageW(list_, LVM_SETCOLUMNWIDTH, i, caption);
    }
}

LRESULT RowLinksWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lparam), HIWORD(lparam));
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == kCheckBoxId && HIWORD(wparam) == BN_CLICKED) {
            ToggleTracking();
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lparam)->hwndFrom == list_)
            return OnListNotify(reinterpret_cast<NMHDR*>(lparam));
        break;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void RowLinksWindow::OnCreate(HWND window)
{
    window_ = window;
    RECT client = {};
    GetClientRect(window, &client);
    if (has_check_box_) {
        check_box_ = CreateWindowExW(0, L"Button", L"Enable Row Reference Tracking",
                                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 5, 5, 200, 20, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckBoxId)),
                                     GetModuleHandleW(nullptr), nullptr);
        SendMessageW(check_box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
    }
    MakeList(window, client, 0);
    OnSize(client.right, client.bottom);
}

void RowLinksWindow::OnSize(int width, int height)
{
    int list_top = 0;
    if (check_box_) {
        MoveWindow(check_box_, 5, 5, width - 10 > 0 ? width - 10 : 0, 20, TRUE);
        list_top = 30;
    }
    if (list_)
        MoveWindow(list_, 0, list_top, width, height - list_top > 0 ? height - list_top : 0, TRUE);
}

void RowLinksWindow::ClearLines()
{
    if (list_)
        SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    lines_.clear();
}

void RowLinksWindow::AddLine(Line line)
{
    lines_.push_back(std::move(line));
    const Line& added = lines_.back();
    std::wstring texts[3] = {added.table_name, JoinKey(added.key), added.description};
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<wchar_t*>(texts[0].c_str());
    item.iImage = added.image;
    item.lParam = static_cast<LPARAM>(lines_.size() - 1);
    int index = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 3; ++column) {
        LVITEMW sub = {};
        sub.iSubItem = column;
        sub.pszText = const_cast<wchar_t*>(texts[column].c_str());
        SendMessageW(list_, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&sub));
    }
}

void RowLinksWindow::FitColumns()
{
    if (SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0) == 0)
        return;
    for (int column = 0; column < 3; ++column) {
        SendMessageW(list_, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
        // Never so narrow that the caption is cut.
        int caption = HeaderItemWidth(list_, column);
        if (SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0) < caption)
            SendMessageW(list_, LVM_SETCOLUMNWIDTH, column, caption);
    }
}

void RowLinksWindow::ShowRowLinks(MsiTable* table, RowIterator row)
{
    ClearLines();
    if (!table) {
        shown_file_ = nullptr;
        shown_table_.clear();
        shown_key_.clear();
        return;
    }
    // Remembered also while tracking is off: turning it on lists this row, not one selected before.
    shown_file_ = table->owner();
    shown_table_ = table->name();
    shown_key_ = table->KeyValues(*row);
    if (check_box_ && SendMessageW(check_box_, BM_GETCHECK, 0, 0) != BST_CHECKED)
        return;
    TableViewsTab* tab = ActiveTab();
    if (!tab)
        return;
    SchemaRelationships& references = tab->GetMsiFile().relationships();
    if (!references.IsEnabled() || &tab->GetMsiFile() != table->owner())
        return;
    auto add_all = [this](const SchemaRelationships::RowsByTable& rows, int image) {
        for (const auto& related : rows) {
            for (const SchemaRelationships::LinkedRow& linked : related.second) {
                Line line;
                line.table = related.first.get();
                line.table_name = related.first->name();
                line.key = related.first->KeyValues(*linked.row);
                line.description = JoinDescriptions(linked.relationships);
                line.image = image;
                AddLine(std::move(line));
            }
        }
    };
    add_all(references.GetReferencedRows(*table, row), kReferredImage);
    add_all(references.GetReferencingRows(*table, row), kReferringImage);
    FitColumns();
}

void RowLinksWindow::Refresh()
{
    TableViewsTab* tab = ActiveTab();
    MsiTable* table = nullptr;
    RowIterator row;
    if (tab && shown_file_ == &tab->GetMsiFile()) {
        if (MsiTableRef found = tab->GetMsiFile().FindTable(shown_table_)) {
            for (RowIterator it = found->rows().begin(); it != found->rows().end(); ++it) {
                if (found->KeyValues(*it) == shown_key_) {
                    table = found.get();
                    row = it;
                    break;
                }
            }
        }
    }
    ShowRowLinks(table, row);
}

void RowLinksWindow::UpdateTrackingCheck()
{
    TableViewsTab* tab = ActiveTab();
    if (!check_box_ || !tab)
        return;
    ShowTrackingState(tab->GetMsiFile().relationships().IsEnabled());
}

void RowLinksWindow::ShowTrackingState(bool on)
{
    if (!check_box_)
        return;
    SendMessageW(check_box_, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (!on)
        ClearLines();
}

void RowLinksWindow::ToggleTracking()
{
    TableViewsTab* tab = ActiveTab();
    if (!check_box_ || !tab)
        return;
    bool wanted = SendMessageW(check_box_, BM_GETCHECK, 0, 0) != BST_CHECKED;
    if (!wanted)
        ClearLines();
    MsiFile& file = tab->GetMsiFile();
    SchemaRelationships& references = file.relationships();
    bool was_on = references.IsEnabled();
    if (was_on != wanted) {
        WaitCursor wait;
        try {
            if (wanted)
                references.Build(file, static_cast<StatusBarManager*>(tab));
            else
                references.Clear();
            // The build's last line is no news once it has ended.
            tab->UpdateStatusBar();
        } catch (...) {
            // Whatever a failed build made goes, and the box says tracking is off.
            references.Clear();
            tab->UpdateStatusBar();
            UpdateTrackingCheck();
            if (was_on && tracking_changed_)
                tracking_changed_(*tab, false);
            throw;
        }
    }
    UpdateTrackingCheck();
    if (was_on != references.IsEnabled() && tracking_changed_)
        tracking_changed_(*tab, references.IsEnabled());
    if (ObjectWindow* list = tab->GetTreeContext())
        InvalidateRect(list->GetWindowHandle(), nullptr, FALSE);
    if (references.IsEnabled())
        Refresh();
}

int RowLinksWindow::GetLineCount() const
{
    return list_ ? static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

const RowLinksWindow::Line* RowLinksWindow::LineOfItem(int item) const
{
    LVITEMW query = {};
    query.mask = LVIF_PARAM;
    query.iItem = item;
    if (item < 0 || !SendMessageW(list_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)))
        return nullptr;
    size_t index = static_cast<size_t>(query.lParam);
    return index < lines_.size() ? &lines_[index] : nullptr;
}

std::wstring RowLinksWindow::GetItemText(int line, int column) const
{
    const Line* found = LineOfItem(line);
    if (!found)
        return std::wstring();
    switch (column) {
    case 0:
        return found->table_name;
    case 1:
        return JoinKey(found->key);
    case 2:
        return found->description;
    }
    return std::wstring();
}

std::vector<std::wstring> RowLinksWindow::GetItemKey(int line) const
{
    const Line* found = LineOfItem(line);
    return found ? found->key : std::vector<std::wstring>();
}

void RowLinksWindow::Jump(int line)
{
    const Line* found = LineOfItem(line);
    TableViewsTab* tab = ActiveTab();
    if (!found || !tab)
        return;
    std::shared_ptr<MsiTableLookupBase> lookup = tab->GetTableLookup(found->table_name);
    if (!lookup || !lookup->GetOwnerNode())
        return;
    lookup->GetOwnerNode()->SelectTable(FindCriteria(L"", found->table_name, L"", found->key));
    SetFocus(tab->GetWindowHandle());
}

int CALLBACK RowLinksWindow::CompareLines(LPARAM a, LPARAM b, LPARAM self)
{
    auto* pane = reinterpret_cast<RowLinksWindow*>(self);
    const Line& left = pane->lines_[static_cast<size_t>(a)];
    const Line& right = pane->lines_[static_cast<size_t>(b)];
    auto text = [pane](const Line& line) {
        switch (pane->sort_column_) {
        case 0:
            return line.table_name;
        case 1:
            return JoinKey(line.key);
        default:
            return line.description;
        }
    };
    int result = lstrcmpiW(text(left).c_str(), text(right).c_str());
    return pane->ascending_ ? result : -result;
}

void RowLinksWindow::SortByColumn(int column)
{
    if (column == sort_column_) {
        ascending_ = !ascending_;
    } else {
        sort_column_ = column;
        ascending_ = true;
    }
    SortLines();
}

// By item data: LVM_SORTITEMSEX with texts read by index sorts wrongly under Wine.
void RowLinksWindow::SortLines()
{
    SendMessageW(list_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(this),
                 reinterpret_cast<LPARAM>(&CompareLines));
}

LRESULT RowLinksWindow::OnListNotify(NMHDR* header)
{
    switch (header->code) {
    case NM_DBLCLK:
        Jump(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        return 0;
    case NM_RETURN:
        Jump(static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)));
        return 0;
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    }
    return 0;
}

void FieldRowLinksWindow::Create(HWND dialog, HWND placeholder, HIMAGELIST images, ActiveTabSource tab)
{
    SetActiveTabSource(std::move(tab));
    CreateInDialog(dialog, placeholder, images, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
}

void FieldRowLinksWindow::ShowFieldLinks(MsiFile& file, MsiTable& table, RowIterator row, int column)
{
    ClearLines();
    const MsiFieldDefRef& changed = table.columns().at(static_cast<size_t>(column));
    SchemaRelationships& references = file.relationships();
    if (!references.IsEnabled())
        return;
    auto through_column = [&](const RelationshipDef& relationship) {
        // Formatted text names a row by its first key column.
        if (relationship.kind() == RelationshipKind::Formatted)
            return column == 0;
        for (const RelationshipDef::ColumnPair& pair : relationship.pairs()) {
            if (pair.second->table() == table.name() && pair.second->column() == changed->name())
                return true;
        }
        return false;
    };
    for (const auto& related : references.GetReferencingRows(table, row)) {
        for (const SchemaRelationships::LinkedRow& linked : related.second) {
            for (const RelationshipDefPtr& relationship : linked.relationships) {
                if (!through_column(*relationship))
                    continue;
                Line line;
                line.table = related.first.get();
                line.table_name = related.first->name();
                line.key = related.first->KeyValues(*linked.row);
                line.description = relationship->Describe();
                line.relationship = relationship;
                line.image = kReferringImage;
                AddLine(std::move(line));
            }
        }
    }
    FitColumns();
}

bool FieldRowLinksWindow::IsChecked(int item) const
{
    // State image 2 is a check; any other image (1, or 0 for none) is not.
    UINT state = static_cast<UINT>(SendMessageW(list_, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool FieldRowLinksWindow::IsUnchecked(int item) const
{
    UINT state = static_cast<UINT>(SendMessageW(list_, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(1);
}

void FieldRowLinksWindow::SetCheck(int item, bool checked)
{
    LVITEMW state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(list_, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&state));
}

FieldRowLinksWindow::Entry FieldRowLinksWindow::GetEntry(int item) const
{
    const Line* line = LineOfItem(item);
    if (!line)
        return Entry{nullptr, std::wstring(), {}, nullptr};
    return Entry{line->table, line->table_name, line->key, line->relationship};
}

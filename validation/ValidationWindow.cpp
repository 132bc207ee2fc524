#include "validation/ValidationWindow.h"
#include "foundation/ListScroll.h"
#include "foundation/TextWidths.h"
#include "foundation/FileUtil.h"
#include "foundation/WindowPlace.h"

#include "foundation/Clipboard.h"
#include "foundation/NoRedraw.h"
#include "frame/DocumentTab.h"
#include "frame/DocumentTabs.h"

#include <algorithm>

namespace {

const wchar_t* const kColumnTitles[] = {L"File",  L"ICE",    L"Type", L"Description", L"Help",
                                        L"Table", L"Column", L"Key",  L"Cub"};
const int kColumnCount = 9;

// Lists this long are fitted over their widest rows only; the control's buffer for a row's text.
const size_t kFitEveryRowUpTo = 256;
const size_t kFitCandidates = 16;
const size_t kFitTextLength = 259;

// A run's rows reach the list at this pace: each new row count costs the list its scroll bars, about
// 0.35 ms under Wine, which a run of many messages would spend at every one.
const UINT_PTR kNewRowsTimer = 1;
const UINT kNewRowsMilliseconds = 50;

std::wstring ColumnText(const ValidationMessage& message, int column)
{
    switch (column) {
    case 0:
        return FileNameOf(message.location.text);
    case 1:
        return message.ice;
    case 2:
        return message.TypeText();
    case 3:
        return message.description;
    case 4:
        return message.help;
    case 5:
        return message.location.table_name;
    case 6:
        return message.location.column_name;
    case 7:
        return message.KeyText();
    case 8:
        return message.cub;
    }
    return std::wstring();
}

// The text as the sort orders it (case ignored, as CompareString would): its sort key's bytes.
std::string SortKey(std::wstring text)
{
    if (text.size() > 1024)
        text.resize(1024);
    if (text.empty())
        return std::string();
    int length = static_cast<int>(text.size());
    int size =
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), length, nullptr, 0);
    std::string key(static_cast<size_t>(std::max(size, 0)), '\0');
    if (size <= 0 || LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), length,
                                  reinterpret_cast<wchar_t*>(&key[0]), size) <= 0)
        return std::string();
    // The key ends with a zero byte, which compares below every other.
    while (!key.empty() && key.back() == '\0')
        key.pop_back();
    return key;
}

} // namespace

ValidationWindow::ValidationWindow() : Window(L"ValidationWindow")
{
    ForgetFits();
}

ValidationWindow::~ValidationWindow()
{
    destroy_window(window_);
}

void ValidationWindow::Create(HWND parent, DocumentTabs* tabs)
{
    tabs_ = tabs;
    tfc::register_window_class(L"ValidationWindow", IDC_ARROW,
                               LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1000)));
    create_window(WS_EX_CONTROLPARENT, L"ValidationWindow", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 10,
                  10, parent);
}

LRESULT ValidationWindow::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        return 0;
    case WM_NCDESTROY:
        // Destroyed with its parent: forget the handles before they can be reused.
        window_ = check_box_ = button_ = list_ = nullptr;
        return call_previous_proc(window, message, wparam, lparam);
    case WM_SIZE:
        OnSize();
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lparam));
    case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
    case kAddRowMessage: {
        ValidationMessage stored;
        if (!store_.Get(static_cast<size_t>(wparam), stored) || !Passes(stored))
            return 0;
        // From a run on another thread the row is shown with those that follow it shortly.
        if (!count_due_ && InSendMessage() && SetTimer(window_, kNewRowsTimer, kNewRowsMilliseconds, nullptr))
            count_due_ = true;
        InsertMessageRow(static_cast<size_t>(wparam), stored, static_cast<size_t>(lparam));
        return 0;
    }
    case WM_TIMER:
        if (wparam != kNewRowsTimer)
            break;
        ShowNewRows();
        return 0;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

void ValidationWindow::OnCreate(HWND window)
{
    window_ = window;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    check_box_ = CreateWindowExW(0, L"Button", L"Show validation messages for active window only",
                                 WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX, 0, 0, 280, 20, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCheckBox)), instance, nullptr);
    button_ = CreateWindowExW(0, L"Button", L"Copy Selected Results", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                              0, 150, 20, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCopyButton)),
                              instance, nullptr);
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA, 0, 30, 10, 10,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kList)), instance, nullptr);
    if (!check_box_ || !button_ || !list_)
        tfc::throw_last_error(L"CreateWindowEx");
    for (HWND control : {check_box_, button_, list_})
        SendMessageW(control, WM_SETFONT, font, FALSE);
    SendMessageW(list_, CCM_SETVERSION, 5, 0);
    SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < kColumnCount; ++i) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.cx = 100;
        column.pszText = const_cast<wchar_t*>(kColumnTitles[i]);
        column.iSubItem = i;
        SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void ValidationWindow::OnSize()
{
    RECT client = {};
    GetClientRect(window_, &client);
    // At least the usual sizes, wider where the font needs it so that no label is cut.
    int check_width = std::max(280, ControlTextWidth(check_box_) + GetSystemMetrics(SM_CXMENUCHECK) + 12);
    int button_width = std::max(150, ControlTextWidth(button_) + 16);
    MoveWindow(check_box_, client.left + 5, client.top + 5, check_width, 20, TRUE);
    MoveWindow(button_, client.left + check_width + 10, client.top + 5, button_width, 20, TRUE);
    MoveWindow(list_, client.left, client.top + 30, client.right - client.left,
               std::max<LONG>(0, client.bottom - client.top - 30), TRUE);
}

void ValidationWindow::AddMessage(const ValidationMessage& message)
{
    size_t count = 0;
    size_t number = store_.Add(message, &count);
    // The row is added on the pane's thread; a worker waits here while it does (the lock is not held).
    if (window_)
        SendMessageW(window_, kAddRowMessage, number, static_cast<LPARAM>(count));
}

void ValidationWindow::Clear()
{
    listed_.clear();
    rows_.clear();
    ForgetFits();
    DropDueRows();
    if (list_)
        SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
    store_.Clear();
}

bool ValidationWindow::IsChecked() const
{
    return check_box_ && SendMessageW(check_box_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring ValidationWindow::ActivePath(bool& has_active) const
{
    MDIChild* current = tabs_ ? tabs_->CurrentTab() : nullptr;
    has_active = current != nullptr;
    return current ? current->GetPath() : std::wstring();
}

int ValidationWindow::DocumentCount() const
{
    return tabs_ ? static_cast<int>(tabs_->Documents().size()) : 0;
}

bool ValidationWindow::Passes(const ValidationMessage& message) const
{
    if (!IsChecked())
        return true;
    bool has_active = false;
    std::wstring path = ActivePath(has_active);
    return has_active && message.location.text == path;
}

bool ValidationWindow::InsertMessageRow(size_t number, const ValidationMessage& message, size_t store_count,
                                        bool size_columns)
{
    if (message.hidden || (number < listed_.size() && listed_[number]))
        return false;
    if (listed_.size() <= number)
        listed_.resize(number + 1, false);
    listed_[number] = true;
    rows_.push_back(number);
    if (count_due_) {
        fit_due_ = fit_due_ || (size_columns && SizesColumnsAt(store_count));
        return true;
    }
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    if (size_columns && SizesColumnsAt(store_count))
        SizeColumns();
    return true;
}

void ValidationWindow::DropDueRows()
{
    if (count_due_ && window_)
        KillTimer(window_, kNewRowsTimer);
    count_due_ = fit_due_ = false;
}

void ValidationWindow::ShowNewRows()
{
    if (!count_due_)
        return;
    KillTimer(window_, kNewRowsTimer);
    count_due_ = false;
    bool fit = fit_due_;
    fit_due_ = false;
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    if (fit)
        SizeColumns();
}

bool ValidationWindow::SizesColumnsAt(size_t store_count)
{
    return store_count <= 10 || store_count % 10 == 0;
}

void ValidationWindow::ForgetFits()
{
    measured_rows_ = 0;
    fits_.assign(kColumnCount, ColumnFit(kFitCandidates));
}

void ValidationWindow::MeasureNewRows()
{
    if (measured_rows_ > rows_.size())
        ForgetFits();
    if (!advances_)
        advances_ = std::make_unique<tfc::TextAdvances>(list_);
    std::wstring text;
    for (; measured_rows_ < rows_.size(); ++measured_rows_) {
        store_.Read(rows_[measured_rows_], [&](const ValidationMessage& message) {
            for (int column = 0; column < kColumnCount; ++column) {
                text = ColumnText(message, column);
                fits_[column].widest.Offer(advances_->Width(text.c_str(), kFitTextLength), measured_rows_);
            }
        });
    }
}

void ValidationWindow::SizeColumns()
{
    if (!list_)
        return;
    ShowNewRows();
    MeasureNewRows();
    bool hide_file = DocumentCount() == 1;
    std::vector<int> fitting;
    for (int column = 0; column < kColumnCount; ++column) {
        ColumnFit& fit = fits_[column];
        if (column == 0 && hide_file) {
            if (SendMessageW(list_, LVM_GETCOLUMNWIDTH, 0, 0) != 0)
                SendMessageW(list_, LVM_SETCOLUMNWIDTH, 0, 0);
            fit.fitted_text = fit.fitted_width = -1;
            continue;
        }
        // Rows are only added between fits: a column whose widest text is no wider would come out as it is.
        int width = static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0));
        if (fit.widest.Widest() > fit.fitted_text || width != fit.fitted_width)
            fitting.push_back(column);
    }
    if (fitting.empty())
        return;
    // The control fits a column by asking for and measuring every row's text. A long list is shown only
    // its rows widest by the font's advance widths (TextWidths.h) while it fits a column, which come to
    // the same width; only while nothing is selected or focused, which a shorter list would lose.
    bool sampled = rows_.size() > kFitEveryRowUpTo && SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) == 0 &&
                   SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) < 0;
    std::vector<size_t> all;
    int top = 0;
    if (sampled) {
        all = rows_;
        top = static_cast<int>(SendMessageW(list_, LVM_GETTOPINDEX, 0, 0));
        restoring_ = true;
    }
    auto restore = [&] {
        if (!sampled)
            return;
        rows_ = std::move(all);
        SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
        tfc::ScrollBackToTop(list_, top);
        restoring_ = false;
    };
    try {
        for (int column : fitting) {
            ColumnFit& fit = fits_[column];
            if (sampled) {
                rows_.clear();
                for (size_t row : fit.widest.Indexes())
                    rows_.push_back(all[row]);
                SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
            }
            SendMessageW(list_, LVM_SETCOLUMNWIDTH, column, LVSCW_AUTOSIZE);
            fit.fitted_text = fit.widest.Widest();
            fit.fitted_width = static_cast<int>(SendMessageW(list_, LVM_GETCOLUMNWIDTH, column, 0));
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void ValidationWindow::Refill()
{
    if (!list_)
        return;
    NoRedraw quiet(list_);
    listed_.clear();
    std::vector<size_t> rows;
    bool checked = IsChecked();
    bool has_active = false;
    std::wstring path = ActivePath(has_active);
    size_t count = store_.Count();
    if (!checked || has_active) {
        for (size_t i = 0; i < count; ++i) {
            bool listed = false;
            store_.Read(i, [&](const ValidationMessage& message) {
                listed = !message.hidden && (!checked || message.location.text == path);
            });
            if (!listed)
                continue;
            rows.push_back(i);
            if (listed_.size() <= i)
                listed_.resize(i + 1, false);
            listed_[i] = true;
        }
    }
    SetRows(std::move(rows), false);
    // Sized once at the end: every row sizing the columns again over all rows gives the same widths.
    if (!rows_.empty() && SizesColumnsAt(count))
        SizeColumns();
}

void ValidationWindow::SetRows(std::vector<size_t> rows, bool keep_selection)
{
    std::vector<size_t> selected;
    ptrdiff_t focused = -1;
    if (keep_selection) {
        for (int row = -1;;) {
            row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, row, LVNI_SELECTED));
            if (row < 0 || static_cast<size_t>(row) >= rows_.size())
                break;
            selected.push_back(rows_[static_cast<size_t>(row)]);
        }
        focused = MessageNumberAt(static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_FOCUSED)));
    }
    rows_ = std::move(rows);
    ForgetFits();
    DropDueRows();
    restoring_ = true;
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.size(), LVSICF_NOSCROLL);
    if (!selected.empty() || focused >= 0) {
        std::vector<ptrdiff_t> row_of;
        for (size_t row = 0; row < rows_.size(); ++row) {
            if (row_of.size() <= rows_[row])
                row_of.resize(rows_[row] + 1, -1);
            row_of[rows_[row]] = static_cast<ptrdiff_t>(row);
        }
        auto set = [&](size_t number, UINT flag) {
            if (number >= row_of.size() || row_of[number] < 0)
                return;
            state.stateMask = state.state = flag;
            SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row_of[number]),
                         reinterpret_cast<LPARAM>(&state));
        };
        for (size_t number : selected)
            set(number, LVIS_SELECTED);
        if (focused >= 0)
            set(static_cast<size_t>(focused), LVIS_FOCUSED);
    }
    restoring_ = false;
    InvalidateRect(list_, nullptr, FALSE);
}

ptrdiff_t ValidationWindow::MessageNumberAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return -1;
    return static_cast<ptrdiff_t>(rows_[static_cast<size_t>(row)]);
}

void ValidationWindow::OnGetDispInfo(NMLVDISPINFOW* info)
{
    ptrdiff_t number = MessageNumberAt(info->item.iItem);
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    info->item.pszText[0] = L'\0';
    if (number < 0)
        return;
    std::wstring text;
    store_.Read(static_cast<size_t>(number),
                [&](const ValidationMessage& message) { text = ColumnText(message, info->item.iSubItem); });
    lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
}

void ValidationWindow::RemoveFileMessages(MDIChild& document)
{
    RemoveFileMessages(document.GetPath());
}

void ValidationWindow::RemoveFileMessages(const std::wstring& path)
{
    std::vector<size_t> hidden = store_.HideDocument(path);
    if (!list_ || hidden.empty())
        return;
    std::vector<size_t> rows;
    for (size_t number : rows_) {
        if (std::binary_search(hidden.begin(), hidden.end(), number))
            listed_[number] = false;
        else
            rows.push_back(number);
    }
    NoRedraw quiet(list_);
    SetRows(std::move(rows), true);
}

void ValidationWindow::GoToMessage(int row, bool focus)
{
    ptrdiff_t number = MessageNumberAt(row);
    ValidationMessage message;
    if (number < 0 || !tabs_ || !store_.Get(static_cast<size_t>(number), message))
        return;
    const auto& documents = tabs_->Documents();
    for (size_t i = 0; i < documents.size(); ++i) {
        if (documents[i]->GetPath() != message.location.text)
            continue;
        std::shared_ptr<MDIChild> document = documents[i];
        tabs_->ShowDocument(document.get());
        if (focus)
            SetFocus(document->GetWindowHandle());
        if (auto* tab = dynamic_cast<EditableMsiFileTab*>(document.get()))
            tab->SelectTable(message.location);
        return;
    }
}

void ValidationWindow::SortByColumn(int column)
{
    if (column < 0 || column >= kColumnCount || !list_)
        return;
    ascending_ = column == sort_column_ ? !ascending_ : true;
    sort_column_ = column;
    std::vector<std::string> keys(rows_.size());
    for (size_t row = 0; row < rows_.size(); ++row)
        store_.Read(rows_[row], [&](const ValidationMessage& message) {
            keys[row] = SortKey(ColumnText(message, column));
        });
    std::vector<size_t> order(rows_.size());
    for (size_t row = 0; row < order.size(); ++row)
        order[row] = row;
    // Stable, in either direction: equal texts keep the order they were shown in.
    bool descending = !ascending_;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return descending ? keys[b] < keys[a] : keys[a] < keys[b]; });
    std::vector<size_t> rows;
    rows.reserve(order.size());
    for (size_t row : order)
        rows.push_back(rows_[row]);
    SetRows(std::move(rows), true);
}

void ValidationWindow::CopySelectedResults()
{
    if (SendMessageW(list_, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return;
    auto escaped = [](std::wstring text) {
        for (size_t at = text.find(L'\t'); at != std::wstring::npos; at = text.find(L'\t', at + 2))
            text.replace(at, 1, L"\\t");
        return text;
    };
    std::wstring text;
    for (int column = 0; column < kColumnCount; ++column)
        text += (column ? L"\t" : L"") + std::wstring(kColumnTitles[column]);
    for (int row = -1;;) {
        row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, row, LVNI_SELECTED));
        ptrdiff_t number = MessageNumberAt(row);
        if (number < 0)
            break;
        text += L"\r\n";
        store_.Read(static_cast<size_t>(number), [&](const ValidationMessage& message) {
            for (int column = 0; column < kColumnCount; ++column)
                text += (column ? L"\t" : L"") + escaped(ColumnText(message, column));
        });
    }
    Clipboard clipboard;
    clipboard.Open(window_);
    clipboard.SetText(text);
}

LRESULT ValidationWindow::OnNotify(NMHDR* header)
{
    if (header->hwndFrom != list_)
        return 0;
    switch (header->code) {
    case LVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header));
        return 0;
    case LVN_ITEMCHANGED: {
        if (restoring_)
            return 0;
        auto* change = reinterpret_cast<NMLISTVIEW*>(header);
        const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & both) == both &&
            (change->uOldState & both) != both && change->iItem >= 0)
            GoToMessage(change->iItem, false);
        return 0;
    }
    case NM_DBLCLK: {
        auto* click = reinterpret_cast<NMITEMACTIVATE*>(header);
        if (click->iItem >= 0)
            GoToMessage(click->iItem, true);
        return 0;
    }
    case LVN_KEYDOWN: {
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
        bool control = GetKeyState(VK_CONTROL) < 0;
        if (key->wVKey == VK_RETURN) {
            int row = static_cast<int>(SendMessageW(list_, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
            if (row >= 0)
                GoToMessage(row, true);
        } else if (control && (key->wVKey == 'C' || key->wVKey == VK_INSERT)) {
            CopySelectedResults();
        }
        return 0;
    }
    case LVN_COLUMNCLICK:
        SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    }
    return 0;
}

void ValidationWindow::OnCommand(WORD id, WORD code)
{
    if (code != BN_CLICKED)
        return;
    if (id == kCheckBox) {
        SendMessageW(check_box_, BM_SETCHECK, IsChecked() ? BST_UNCHECKED : BST_CHECKED, 0);
        Refill();
    } else if (id == kCopyButton) {
        CopySelectedResults();
    }
}

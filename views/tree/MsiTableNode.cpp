#include "views/tree/MsiTableNode.h"
#include "foundation/NoRedraw.h"

#include "foundation/Prompt.h"
#include "views/tree/TableViewsTab.h"
#include "foundation/Options.h"
#include "frame/ValidationStore.h"
#include "views/dialogs/RowChangeDlg.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/NodePainter.h"
#include "views/tree/TreeView.h"

#include <algorithm>

namespace {

// The names of the schema's named values that match `value`, joined by "\r\n| "; "Unknown" for bits
// that no entry covers.
std::wstring NamedValueText(const MsiFieldSchema& schema, uint32_t value)
{
    std::wstring text;
    uint32_t covered = 0;
    for (const NamedValue& entry : schema.named_values) {
        if (entry.is_separator())
            continue;
        covered |= entry.mask ? entry.mask : entry.value;
        bool match = entry.mask ? (value & entry.mask) == entry.value : (value & entry.value) == entry.value;
        if (match)
            text += (text.empty() ? L"" : L"\r\n| ") + entry.name;
    }
    if (value & ~covered)
        text += (text.empty() ? L"" : L"\r\n| ") + std::wstring(L"Unknown");
    return text;
}

} // namespace

MsiTableNode::MsiTableNode(TableViewsTab* tab, std::shared_ptr<MsiTableLookupBase> lookup)
    : ContainerNode(CutLabel(lookup->GetTableName())), tab_(tab), lookup_(std::move(lookup))
{
    lookup_->SetOwnerNode(this);
}

MsiTableNode::~MsiTableNode()
{
    if (lookup_->GetOwnerNode() == this)
        lookup_->SetOwnerNode(nullptr);
}

ObjectWindow* MsiTableNode::List() const
{
    return AttachedList() ? AttachedList() : tab_->GetTreeContext();
}

bool MsiTableNode::IsReadOnly() const
{
    return tab_->IsReadOnly();
}

int MsiTableNode::SortColumn() const
{
    ObjectWindow* list = AttachedList();
    return list ? std::max(0, list->GetSortColumn()) : sort_column_;
}

int MsiTableNode::GetListSortColumn()
{
    return SortColumn();
}

bool MsiTableNode::RowExists(int position)
{
    if (position < 0 || position >= lookup_->RowCount())
        return false;
    return lookup_->IsEditableRow(lookup_->GetIndexedRow(position, SortColumn()));
}

FindCriteria MsiTableNode::RowLocation(int position, const std::wstring& column)
{
    return FindCriteria(tab_->GetPath(), lookup_->GetTableName(), column,
                        lookup_->GetKeyValuesAt(position, SortColumn()));
}

int MsiTableNode::GetIconId()
{
    return lookup_->RowCount() > 0 ? 1001 : 1003;
}

LRESULT MsiTableNode::OnCustomDraw(NMTVCUSTOMDRAW* draw)
{
    COLORREF colour = CLR_INVALID;
    if (draw->nmcd.dwDrawStage == CDDS_ITEMPOSTPAINT && GetTree()) {
        colour = static_cast<COLORREF>(SendMessageW(GetTree()->GetWindow(), TVM_GETTEXTCOLOR, 0, 0));
        if (colour == CLR_NONE)
            colour = GetSysColor(COLOR_WINDOWTEXT);
    }
    return NodePainter::PaintNode(*this, draw, colour);
}

void MsiTableNode::OnSelected(ObjectWindow* list)
{
    if (!list || !tab_->IsShowingObject(0))
        return;
    std::vector<std::wstring> captions;
    for (int column = lookup_->FirstColumn(); column < lookup_->ColumnCount(); ++column)
        captions.push_back(lookup_->GetFieldDef(column)->name());
    HWND parent = ::GetParent(list->GetWindowHandle());
    {
        NoRedraw quiet(parent);
        list->SetHandler(this, captions, lookup_->RowCount(), sort_column_,
                         lookup_->GetSortDirection(sort_column_));
        if (!widths_.empty())
            list->SetColumnWidths(widths_);
        else
            list->AutoFitColumns();
        if (!SelectRow(location_))
            list->SetCurrentColumn(-1);
    }
    RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    InvalidateRect(list->GetWindowHandle(), nullptr, TRUE);
    UpdateLabel(list->GetCurrentColumn());
    ShowRowLinks(*list);
}

void MsiTableNode::OnDeselected()
{
    ObjectWindow* list = AttachedList();
    if (!list)
        return;
    widths_ = list->GetColumnWidths();
    sort_column_ = std::max(0, list->GetSortColumn());
    location_.table_name = GetLabel();
    SaveLocation(*list);
}

void MsiTableNode::SaveLocation(ObjectWindow& list)
{
    int focused = list.GetFocusedItem();
    if (focused < 0 || focused >= lookup_->RowCount())
        return;
    location_.key_values = lookup_->GetKeyValuesAt(focused, SortColumn());
    int column = list.GetCurrentColumn();
    if (column < 0 || column >= lookup_->ColumnCount())
        column = 0;
    location_.column_name =
        lookup_->ColumnCount() > 0 ? lookup_->GetFieldDef(column)->name() : std::wstring();
}

LRESULT MsiTableNode::GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT))
        return 1;
    int item = info->item.iItem;
    int column = info->item.iSubItem;
    display_text_.clear();
    if (item >= 0 && item < lookup_->RowCount() && column >= 0 && column < lookup_->ColumnCount())
        lookup_->AppendCellText(column, item, SortColumn(), display_text_);
    ShowDisplayText(info);
    return 1;
}

LRESULT MsiTableNode::OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        break;
    default:
        return 0;
    }
    int item = static_cast<int>(draw->nmcd.dwItemSpec);
    int column = draw->iSubItem;
    if (item < 0 || item >= lookup_->RowCount() || column < 0 || column >= lookup_->ColumnCount())
        return 0;
    int sort = SortColumn();
    COLORREF colour = lookup_->GetCellTextColour(column, item, sort);
    if (colour)
        draw->clrText = colour;
    unsigned flags = 0;
    if (RowExists(item)) {
        if (const ValidationStore* results = tab_ ? tab_->GetValidationResults() : nullptr)
            flags = results->GetRowValidationInfo(RowLocation(item, lookup_->GetFieldDef(column)->name()));
    }
    UINT state = static_cast<UINT>(
        SendMessageW(list.GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
    return lookup_->DrawListCell(column, item, sort, list.GetWindowHandle(), flags, state,
                                 column == list.GetCurrentColumn());
}

LRESULT MsiTableNode::OnClick(ObjectWindow& list, NMITEMACTIVATE*)
{
    UpdateLabel(list.GetCurrentColumn());
    return 0;
}

LRESULT MsiTableNode::OnItemChanged(ObjectWindow& list, NMLISTVIEW* change)
{
    const UINT both = LVIS_FOCUSED | LVIS_SELECTED;
    if ((change->uChanged & LVIF_STATE) && (change->uNewState & both) == both)
        ShowRowLinks(list);
    return 0;
}

void MsiTableNode::Sort(int old_column, int new_column, bool ascending)
{
    ObjectWindow* list = AttachedList();
    if (!list)
        return;
    std::vector<int> selected = list->GetSelectedItems();
    int focused = list->GetFocusedItem();
    lookup_->Sort(new_column, ascending, std::max(0, old_column), selected, focused);
    list->SetSelection(selected);
    if (focused >= 0)
        list->FocusItem(focused);
}

InPlaceEditorPtr MsiTableNode::CreateEditor(ObjectWindow& list, int item, int column)
{
    InPlaceEditorPtr editor = CreateLookupEditor(lookup_, column, item, SortColumn(), this);
    if (editor && list.GetToolTipWindow())
        SendMessageW(list.GetToolTipWindow(), TTM_POPUP, 0, 0);
    return editor;
}

void MsiTableNode::Refresh(bool row_count_changed)
{
    modified_ = true;
    tab_->SetDirty(true);
    ObjectWindow* list = AttachedList();
    if (list && row_count_changed) {
        list->SetItemCount(lookup_->RowCount());
        UpdateLabel(list->GetCurrentColumn()); // "Rows: %i" in the status bar
    }
    if (list)
        ShowRowLinks(*list);
    if (GetTree() && GetTree()->GetWindow())
        InvalidateRect(GetTree()->GetWindow(), nullptr, FALSE);
    if (list)
        InvalidateRect(list->GetWindowHandle(), nullptr, FALSE);
}

std::wstring MsiTableNode::GetOwnerPath()
{
    return tab_->GetPath();
}

HWND MsiTableNode::GetOwnerWindow()
{
    return tab_->DialogOwner();
}

bool MsiTableNode::SelectTable(const FindCriteria& location)
{
    return tab_->SelectTable(location);
}

bool MsiTableNode::SelectRow(const FindCriteria& location)
{
    ObjectWindow* list = AttachedList();
    if (!list || location.table_name != GetLabel())
        return false;
    int position = lookup_->FindRow(location.key_values, SortColumn());
    if (position < 0 || position >= lookup_->RowCount())
        return false;
    list->SetSelection({position});
    list->FocusItem(position);
    ShowRowLinks(*list);
    int column = lookup_->FindColumn(location.column_name);
    list->SetCurrentColumn(column);
    if (column >= 0)
        list->EnsureSubItemVisible(position, column);
    list->RedrawItem(position);
    return true;
}

void MsiTableNode::Reload()
{
    lookup_->ResetIndexes();
    TreeView* tree = GetTree();
    if (tree && tree->GetSelectedNode() == this)
        OnSelected(tree->GetListView() ? tree->GetListView() : tab_->GetTreeContext());
}

void MsiTableNode::UpdateLabel(int column)
{
    tab_->SetStatusParts({20, 80});
    tab_->SetStatusText(L"Rows: " + std::to_wstring(lookup_->RowCount()), 0);
    std::wstring description;
    if (column >= 0 && column < lookup_->ColumnCount())
        description = lookup_->GetFieldDef(column)->description();
    tab_->SetStatusText(description, 1);
}

void MsiTableNode::ShowRowLinks(ObjectWindow& list)
{
    int focused = static_cast<int>(SendMessageW(list.GetWindowHandle(), LVM_GETNEXTITEM,
                                                static_cast<WPARAM>(-1), LVNI_FOCUSED | LVNI_SELECTED));
    if (focused < 0 || focused >= lookup_->RowCount()) {
        ShowRowInLinksPane(nullptr, RowIterator());
        return;
    }
    RowIterator row = lookup_->GetIndexedRow(focused, SortColumn());
    if (lookup_->IsEditableRow(row))
        ShowRowInLinksPane(lookup_->GetTable(), row);
    else
        ShowRowInLinksPane(nullptr, RowIterator());
}

void MsiTableNode::GetFieldTip(std::wstring& text, int item, int column)
{
    text.clear();
    if (column < 0 || column >= lookup_->ColumnCount())
        return;
    MsiFieldDefRef def = lookup_->GetFieldDef(column);
    const MsiFieldSchema* schema = def->field_schema().get();
    if (!schema)
        return;
    // Only a column with named values has names to give: a plain number (a size, a sequence) is not
    // "Unknown".
    if (def->kind() == MsiFieldKind::Integer && !schema->named_values.empty() && RowExists(item)) {
        RowIterator row = lookup_->GetIndexedRow(item, SortColumn());
        const MsiFieldData& cell = *(*row)[def->column_index()];
        std::wstring names;
        if (!cell.is_null())
            names = NamedValueText(*schema, static_cast<uint32_t>(def->integer_value(cell)));
        if (!names.empty())
            text += L"\r\n| " + names;
    }
    if (gOptions.field_tips) {
        if (!text.empty() && !schema->description.empty())
            text += L"\r\n\r\n";
        text += schema->description;
    }
}

void MsiTableNode::GetToolTipText(NMTTDISPINFOW* info)
{
    tooltip_text_.clear();
    ObjectWindow* list = AttachedList();
    if (list) {
        POINT point = {};
        GetCursorPos(&point);
        ScreenToClient(list->GetWindowHandle(), &point);
        LVHITTESTINFO hit = {};
        hit.pt = point;
        if (SendMessageW(list->GetWindowHandle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) >=
                0 &&
            hit.iItem >= 0)
            GetFieldTip(tooltip_text_, hit.iItem, hit.iSubItem);
        if (!tooltip_text_.empty())
            SendMessageW(info->hdr.hwndFrom, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    info->lpszText = const_cast<wchar_t*>(tooltip_text_.c_str());
}

RowLinksPane* MsiTableNode::LinksPane(TableViewsTab* tab)
{
    return tab ? tab->GetRowLinksPane() : nullptr;
}

void MsiTableNode::ShowRowInLinksPane(MsiTable* table, RowIterator row)
{
    if (RowLinksPane* pane = LinksPane(tab_))
        pane->ShowRowLinks(table, row);
}

bool MsiTableNode::ConfirmReferencingRows(MsiTable& table, RowIterator row, int column,
                                          const MsiFieldDataRef& value,
                                          std::unique_ptr<ReferencingRowsUpdate>& update)
{
    return RowChangeDlg::Confirm(*tab_, table, row, column, value, GetOwnerWindow(), update);
}

#include "views/tree/RowElementNode.h"
#include "foundation/PopupMenu.h"
#include "foundation/NoRedraw.h"

#include "foundation/Prompt.h"
#include "resources/NodesIds.h"
#include "frame/ValidationStore.h"
#include "views/dialogs/RowDeletionsDlg.h"
#include "views/dialogs/RowLinksWindow.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/RowGrouping.h"
#include "views/tree/RowNodeFactory.h"
#include "views/tree/TreeView.h"

#include <optional>
#include <algorithm>

bool RowElementNode::expand_all_running_ = false;

namespace {

const wchar_t kPlaceholder[] = L"Dummy";

// Stands in for the children until the first expansion. No item: one per row of a large page would cost
// Wine's control a search through all items each, and the row's item asks its node for its button.
class PlaceholderNode : public StaticNode
{
public:
    PlaceholderNode() : StaticNode(kPlaceholder) {}
    bool HasItem() const override { return false; }
};

bool HasKind(const RelationshipSet& relationships, int kind)
{
    return std::any_of(relationships.begin(), relationships.end(),
                       [kind](const RelationshipDefPtr& relationship) {
                           return static_cast<int>(relationship->kind()) == kind;
                       });
}

bool IsTreeShown(TreeView* tree)
{
    return tree && tree->GetWindow() && IsWindowVisible(tree->GetWindow());
}

} // namespace

RowElementNode::RowElementNode(TableViewsTab* tab, const std::wstring& table_name, RowIterator row)
    : TableLookupProvider(tab, table_name), file_(&tab->GetMsiFile()), table_(file_->FindTable(table_name)),
      row_(row), has_row_(true)
{
    if (!table_.get())
        throw std::runtime_error("Internal error - a row node of a table the database lacks");
    Subscribe();
}

RowElementNode::RowElementNode(TableViewsTab* tab, const std::wstring& table_name, TreeView* tree)
    : TableLookupProvider(tab, table_name), file_(&tab->GetMsiFile()), table_(file_->FindTable(table_name))
{
    SetTree(tree);
    Subscribe();
}

RowElementNode::~RowElementNode()
{
    Unsubscribe();
    groupings_.clear();
}

void RowElementNode::Subscribe()
{
    // A table added to the file matters only to a row node whose children are there (notify): such a node
    // subscribes to the file when it is populated, so that a page of many rows is not as many
    // subscriptions to one file, to be undone one by one when the page goes.
    if (has_row_)
        table_->row_events().Subscribe(row_, this);
}

void RowElementNode::Unsubscribe()
{
    if (table_.get())
        table_->row_events().Unsubscribe(
            static_cast<EventEngineSubscriber<RowIterator, MsiTable::RowEvents, RowIteratorLess>*>(this));
    GetFile().file_events().Unsubscribe(static_cast<EventEngineSubscriber<MsiFile*, MsiTable*>*>(this));
}

std::wstring RowElementNode::MakeLabel()
{
    return has_row_ ? CutLabel(table_->RowKeyText(*row_)) : std::wstring();
}

void RowElementNode::UpdateLabel()
{
    SetLabel(MakeLabel());
}

void RowElementNode::AddPlaceholderChild()
{
    AddChild(new PlaceholderNode());
}

bool RowElementNode::IsPopulated() const
{
    return !(ChildCount() == 1 && GetChildren().begin()->node->GetLabel() == kPlaceholder);
}

bool RowElementNode::TrackingOn() const
{
    return GetFile().relationships().IsEnabled();
}

std::vector<std::wstring> RowElementNode::GetKeyValues() const
{
    if (!has_row_)
        return {};
    return table_->KeyValues(*row_);
}

ContainerNode* RowElementNode::GroupingParent()
{
    return IsRootOwner() ? (GetTree() ? GetTree()->Root() : nullptr) : this;
}

RowGrouping* RowElementNode::FindGrouping(const std::wstring& name) const
{
    auto found = groupings_.find(name);
    return found == groupings_.end() ? nullptr : found->second.get();
}

RowGrouping* RowElementNode::AddGrouping(std::unique_ptr<RowGrouping> grouping)
{
    std::wstring name = grouping->GetName();
    auto found = groupings_.find(name);
    if (found != groupings_.end())
        return found->second.get();
    return groupings_.emplace(name, std::move(grouping)).first->second.get();
}

void RowElementNode::DestroyGrouping(RowGrouping* grouping)
{
    for (auto it = groupings_.begin(); it != groupings_.end(); ++it) {
        if (it->second.get() == grouping) {
            std::unique_ptr<RowGrouping> doomed = std::move(it->second);
            groupings_.erase(it);
            return;
        }
    }
}

bool RowElementNode::OnExpanding()
{
    if (!TrackingOn()) {
        ShowMessageBox(GetTree() ? GetTree()->GetWindow() : nullptr,
                       L"You must enable Row Reference Tracking to view relationships",
                       L"Enable Row Reference Tracking", MB_OK);
        return true;
    }
    Populate();
    return false;
}

void RowElementNode::Populate()
{
    if (IsPopulated() || !has_row_)
        return;
    HWND tree = GetTree() ? GetTree()->GetWindow() : nullptr;
    std::optional<NoRedraw> quiet;
    if (tree && !expand_all_running_)
        quiet.emplace(tree);
    RemoveAllChildren();
    GetFile().file_events().Subscribe(&GetFile(), this);
    AddChildGroupings();
    SchemaRelationships& relationships = GetFile().relationships();
    RowsByTable referenced = relationships.GetReferencedRows(*table_, row_);
    AddRowNodes(referenced, static_cast<int>(RelationshipKind::Owns));
    AddReferencedRows(referenced);
    RowsByTable referencing = relationships.GetReferencingRows(*table_, row_);
    AddRowNodes(referencing, static_cast<int>(RelationshipKind::IsOwnedBy));
    AddReferencingRows(referencing);
    if (tree && GetParent() && GetParent()->GetItem() != TVI_ROOT &&
        (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(GetParent()->GetItem()),
                      TVIS_EXPANDED) &
         TVIS_EXPANDED)) {
        SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(GetItem()));
        int low = 0, high = 0;
        GetScrollRange(tree, SB_HORZ, &low, &high);
        SetScrollPos(tree, SB_HORZ, low, FALSE);
    }
}

void RowElementNode::AddChildGroupings()
{
    if (!has_row_)
        return;
    for (const MsiFieldDefRef& def : table_->columns()) {
        const MsiFieldSchema::Ptr& schema = def->field_schema();
        if (!schema)
            continue;
        std::set<RelationshipDefPtr> relationships(schema->outgoing);
        relationships.insert(schema->incoming.begin(), schema->incoming.end());
        for (const RelationshipDefPtr& relationship : relationships) {
            std::vector<MsiFieldSchema::Ptr> columns;
            if (relationship->kind() == RelationshipKind::Owns)
                columns = relationship->TargetColumnsFor(schema.get());
            else if (relationship->kind() == RelationshipKind::IsOwnedBy)
                columns = relationship->SourceColumnsFor(schema.get());
            for (const MsiFieldSchema::Ptr& column : columns)
                AddRowGrouping(this, column->table(), false);
        }
    }
}

void RowElementNode::AddRowNodes(const RowsByTable& rows, int kind)
{
    for (const auto& table : rows) {
        RowGrouping* grouping = FindGrouping(table.first->name());
        if (!grouping)
            continue;
        for (const auto& linked : table.second) {
            if (HasKind(linked.relationships, kind))
                grouping->AddRowNode(linked.row);
        }
    }
}

void RowElementNode::AddReferencingRows(const RowsByTable&) {}

void RowElementNode::AddReferencedRows(const RowsByTable&) {}

bool RowElementNode::IsRelatedRow(MsiTable& table, RowIterator row)
{
    if (!has_row_)
        return false;
    SchemaRelationships& relationships = GetFile().relationships();
    return SchemaRelationships::Holds(relationships.GetReferencedRows(*table_, row_, &table), row) ||
           SchemaRelationships::Holds(relationships.GetReferencingRows(*table_, row_, &table), row);
}

void RowElementNode::SetPendingRemoval(bool pending)
{
    pending_removal_ = pending;
    for (const Child& child : GetChildren()) {
        for (const Child& row : child.node->GetChildren()) {
            if (auto* node = dynamic_cast<RowElementNode*>(row.node.get()))
                node->SetPendingRemoval(pending);
        }
    }
}

int RowElementNode::RowPosition()
{
    const auto& lookup = GetLookup();
    if (!lookup || !has_row_)
        return -1;
    int position = lookup->FindEditableRow(GetKeyValues(), 0);
    return position >= 0 && position < lookup->RowCount() ? position : -1;
}

void RowElementNode::OnSelected(ObjectWindow* list)
{
    if (!list || !IsTreeShown(GetTree()) || !has_row_)
        return;
    std::vector<std::wstring> captions;
    for (const MsiFieldDefRef& def : table_->columns())
        captions.push_back(def->name());
    {
        NoRedraw quiet(list->GetWindowHandle());
        list->SetHandler(this, captions, 1, -1, 0);
        list->SetSelection({});
        MsiTableNode* table_node = tab_->FindTableNode(table_name_);
        if (table_node && !table_node->GetSavedWidths().empty())
            list->SetColumnWidths(table_node->GetSavedWidths());
        else
            list->AutoFitColumns();
    }
    ShowInLinksPane();
}

void RowElementNode::ShowInLinksPane()
{
    if (RowLinksPane* pane = MsiTableNode::LinksPane(tab_))
        pane->ShowRowLinks(has_row_ ? table_.get() : nullptr, row_);
}

LRESULT RowElementNode::GetDispInfo(ObjectWindow&, NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT))
        return 1;
    int position = RowPosition();
    const auto& lookup = GetLookup();
    int column = info->item.iSubItem;
    if (position < 0 || info->item.iItem != 0 || column < 0 || column >= lookup->ColumnCount())
        SetDispText(info, std::wstring());
    else
        SetDispText(info, lookup->GetCellText(column, position, 0));
    return 1;
}

LRESULT RowElementNode::OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw)
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
    int position = RowPosition();
    const auto& lookup = GetLookup();
    int column = draw->iSubItem;
    int item = static_cast<int>(draw->nmcd.dwItemSpec);
    if (position < 0 || column < 0 || column >= lookup->ColumnCount())
        return 0;
    COLORREF colour = lookup->GetCellTextColour(column, position, 0);
    if (colour)
        draw->clrText = colour;
    unsigned flags = 0;
    if (const ValidationStore* results = tab_ ? tab_->GetValidationResults() : nullptr)
        flags = results->GetRowValidationInfo(
            FindCriteria(tab_->GetPath(), table_name_, lookup->GetFieldDef(column)->name(), GetKeyValues()));
    UINT state = static_cast<UINT>(
        SendMessageW(list.GetWindowHandle(), LVM_GETITEMSTATE, item, LVIS_FOCUSED | LVIS_SELECTED));
    // The list holds this one row as item 0, whatever the row's position in the lookup.
    LRESULT result = lookup->DrawCell(column, position, 0, list.GetWindowHandle(), item, flags, state,
                                      column == list.GetCurrentColumn());
    if (!result)
        draw->clrTextBk = RGB(0xFF, 0xFF, 0xFF);
    return result;
}

InPlaceEditorPtr RowElementNode::CreateEditor(ObjectWindow&, int, int column)
{
    int position = RowPosition();
    if (position < 0)
        return {};
    return CreateLookupEditor(GetLookup(), column, position, 0, this);
}

void RowElementNode::Refresh(bool)
{
    tab_->SetDirty(true);
    tfc::RefersTo<ContainerNode> self(this);
    if (pending_removal_) {
        ContainerNode* node = this;
        while (auto* row_node = dynamic_cast<RowElementNode*>(node)) {
            if (!row_node->IsPendingRemoval())
                break;
            ContainerNode* parent = node->GetParent();
            if (!parent)
                break;
            tfc::RefersTo<ContainerNode> held(parent);
            parent->RemoveChild(node);
            node = nullptr;
            auto* grouping_node = dynamic_cast<RowGroupingNode*>(parent);
            if (grouping_node && !grouping_node->HasChildren()) {
                ContainerNode* owner = grouping_node->GetParent();
                if (grouping_node->GetGrouping())
                    grouping_node->GetGrouping()->RemoveNode();
                else if (owner)
                    owner->RemoveChild(grouping_node);
                node = owner;
            }
        }
        return;
    }
    ObjectWindow* list = tab_->GetTreeContext();
    if (GetTree() && GetTree()->GetSelectedNode() == this)
        OnSelected(list);
    ShowInLinksPane();
    if (list)
        InvalidateRect(list->GetWindowHandle(), nullptr, FALSE);
}

bool RowElementNode::notify(const RowIterator&, const MsiTable::RowEvents& code, RowEngine&)
{
    TreeView* tree = GetTree();
    HWND window = tree ? tree->GetWindow() : nullptr;
    if (code == MsiTable::RowModified) {
        tfc::RefersTo<ContainerNode> self(this);
        UpdateLabel();
        if (window && GetItem() != TVI_ROOT &&
            (SendMessageW(window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(GetItem()), TVIS_EXPANDED) &
             TVIS_EXPANDED)) {
            SendMessageW(window, TVM_EXPAND, TVE_COLLAPSE, reinterpret_cast<LPARAM>(GetItem()));
            RemoveAllChildren();
            groupings_.clear();
            AddPlaceholderChild();
            ContainerNode* selected = tree->GetSelectedNode();
            if (selected == this && IsTreeShown(tree))
                selected->OnSelected(tab_->GetTreeContext());
        }
        return true;
    }
    if (code == MsiTable::RowDeleted) {
        if (ContainerNode* parent = GetParent())
            parent->RemoveChild(this);
        return true;
    }
    return false;
}

bool RowElementNode::notify(MsiFile* const&, MsiTable* const&, FileEngine&)
{
    if (has_row_ && IsPopulated())
        AddChildGroupings();
    return false;
}

void RowElementNode::OnContextMenu(int x, int y)
{
    bool read_only = tab_->IsReadOnly();
    UINT command =
        TrackResourceMenu(IDM_ROW_NODE_MENU, POINT{x, y}, tab_->DialogOwner(), [read_only](HMENU popup) {
            if (read_only)
                EnableMenuItem(popup, ID_ROW_DELETE, MF_BYCOMMAND | MF_GRAYED);
        });
    if (command)
        OnCommand(command);
}

void RowElementNode::OnCommand(UINT id)
{
    switch (id) {
    case ID_ROW_JUMP_TO_TABLE:
        if (has_row_ &&
            tab_->SelectTable(FindCriteria(tab_->GetPath(), table_name_, std::wstring(), GetKeyValues())))
            SetFocus(tab_->GetTreeContext()->GetWindowHandle());
        break;
    case ID_ROW_DELETE:
        if (!tab_->IsReadOnly())
            DeleteWithReferencingRows();
        break;
    case ID_ROW_EXPAND_ALL:
        ExpandAll();
        break;
    }
}

void RowElementNode::DeleteWithReferencingRows()
{
    if (!has_row_)
        return;
    if (table_name_ == L"ProgId" || table_name_ == L"Icon") {
        size_t referring = 0;
        for (const auto& table : GetFile().relationships().GetReferencingRows(*table_, row_))
            referring += table.second.size();
        if (referring > 1 &&
            ShowMessageBox(tab_->DialogOwner(),
                           L"This element is referenced by more than one row in the database.\r\n"
                           L"Are you sure you wish to delete it?",
                           L"Delete row?", MB_YESNO) != IDYES)
            return;
    }
    RowDeletionsDlg dialog(*tab_, RowDeletionsDlg::RowList{{table_.get(), row_}}, tab_);
    dialog.DoModal();
}

void RowElementNode::ExpandAll()
{
    if (!TrackingOn()) {
        OnExpanding(); // the same message as a click on the button
        return;
    }
    HWND tree = GetTree() ? GetTree()->GetWindow() : nullptr;
    std::optional<NoRedraw> quiet;
    if (tree)
        quiet.emplace(tree);
    HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    expand_all_running_ = true;
    std::set<std::pair<MsiTable*, std::wstring>> path;
    try {
        ExpandAll(path);
    } catch (...) {
        expand_all_running_ = false;
        SetCursor(cursor);
        throw;
    }
    expand_all_running_ = false;
    SetCursor(cursor);
}

void RowElementNode::ExpandAll(std::set<std::pair<MsiTable*, std::wstring>>& path)
{
    auto key = std::make_pair(table_.get(), has_row_ ? table_->RowKeyText(*row_) : std::wstring());
    if (!path.insert(key).second)
        return;
    tfc::RefersTo<ContainerNode> self(this);
    // Populated directly: once an item was expanded, TVM_EXPAND asks its node no more.
    Populate();
    HWND tree = GetTree() ? GetTree()->GetWindow() : nullptr;
    if (tree && GetItem() != TVI_ROOT)
        SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(GetItem()));
    std::vector<tfc::RefersTo<ContainerNode>> groupings;
    for (const Child& child : GroupingParent()->GetChildren())
        groupings.push_back(child.node);
    for (const auto& grouping : groupings) {
        if (!dynamic_cast<RowGroupingNode*>(grouping.get()))
            continue;
        if (IsRootOwner() && static_cast<RowGroupingNode*>(grouping.get())->GetGrouping() &&
            static_cast<RowGroupingNode*>(grouping.get())->GetGrouping()->GetOwner() != this)
            continue;
        if (tree)
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(grouping->GetItem()));
        std::vector<tfc::RefersTo<ContainerNode>> rows;
        for (const Child& child : grouping->GetChildren())
            rows.push_back(child.node);
        for (const auto& row : rows) {
            if (auto* node = dynamic_cast<RowElementNode*>(row.get()))
                node->ExpandAll(path);
        }
    }
    path.erase(key);
}

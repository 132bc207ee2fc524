#include "views/dialogs/RowDeletionsDlg.h"

#include "foundation/Errors.h"
#include "foundation/ForegroundProgress.h"
#include "foundation/Format.h"
#include "foundation/NoRedraw.h"
#include "foundation/Prompt.h"
#include "frame/FrameWindow.h"
#include "model/CascadeRows.h"
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "resources/DialogsIds.h"
#include "frame/DocumentTab.h"

#include <unordered_map>
#include <unordered_set>

namespace {

std::wstring RowLabel(MsiTable* table, RowIterator row)
{
    return ContainerNode::CutLabel(table->name() + L" " + table->RowKeyText(*row));
}

} // namespace

RowNode::RowNode(MsiTable* table, RowIterator row)
    : ContainerNode(RowLabel(table, row)), table_(table), row_(row), key_(table->KeyValues(*row))
{
}

RowNode::~RowNode() = default;

void RowNode::OnContextMenu(int, int)
{
    SetBranchChecked(!IsChecked());
}

bool RowNode::IsChecked() const
{
    // The control's check when the item shows one (a user's click changes only the control).
    if (GetTree() && GetTree()->GetWindow() && GetItem() != TVI_ROOT) {
        UINT state =
            static_cast<UINT>(SendMessageW(GetTree()->GetWindow(), TVM_GETITEMSTATE,
                                           reinterpret_cast<WPARAM>(GetItem()), TVIS_STATEIMAGEMASK));
        UINT image = (state & TVIS_STATEIMAGEMASK) >> 12;
        if (image == 1 || image == 2)
            return image == 2;
    }
    return checked_;
}

void RowNode::SetChecked(bool checked)
{
    checked_ = checked;
    if (!GetTree() || !GetTree()->GetWindow() || GetItem() == TVI_ROOT)
        return;
    TVITEMW item = {};
    item.mask = TVIF_STATE | TVIF_HANDLE;
    item.hItem = GetItem();
    item.stateMask = TVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(GetTree()->GetWindow(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void RowNode::RestoreCheck()
{
    if (IsChecked() != checked_)
        SetChecked(checked_);
}

void RowNode::SetBranchChecked(bool checked)
{
    SetChecked(checked);
    for (const Child& child : GetChildren()) {
        if (auto* row = dynamic_cast<RowNode*>(child.node.get()))
            row->SetBranchChecked(checked);
    }
}

bool RowNode::IsSameRow(const RowNode& other) const
{
    return table_ == other.table_ && key_ == other.key_;
}

RowDeletionsDlg::RowDeletionsDlg(EditableMsiFileTab& owner, RowList rows, StatusBarManager* status)
    : Dialog(L"RowDeletionsDlg"), owner_(owner), rows_(std::move(rows)), status_(status)
{
}

RowDeletionsDlg::~RowDeletionsDlg() = default;

bool RowDeletionsDlg::DoModal()
{
    INT_PTR result = run_modal(IDD_CASCADED_DELETION, owner_.GetWindowHandle());
    // A deletion that failed part-way still deleted rows.
    return result == IDC_ROWS_OK || deleted_ > 0;
}

INT_PTR RowDeletionsDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(LOWORD(wparam));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lparam)->hwndFrom == tree_window_)
            return OnTreeNotify(reinterpret_cast<NMHDR*>(lparam));
        break;
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wparam) == tree_window_) {
            tree_.OnContextMenu(static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam)));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// Wine's tree puts every item's check box back to unchecked when it first paints: the checks are put back
// from the nodes once that paint is over.
LRESULT RowDeletionsDlg::OnTreeNotify(NMHDR* header)
{
    if (header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
        if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
            return tree_.OnNotify(header) | CDRF_NOTIFYPOSTPAINT;
        if (draw->nmcd.dwDrawStage == CDDS_POSTPAINT) {
            if (!checks_restored_) {
                checks_restored_ = true;
                // Drawn once at the end: with drawing on, each check costs the control a pass over the tree.
                NoRedraw quiet(tree_window_);
                RestoreChecks(*tree_.Root());
            }
            return CDRF_DODEFAULT;
        }
    }
    return tree_.OnNotify(header);
}

void RowDeletionsDlg::RestoreChecks(const ContainerNode& parent)
{
    for (const ContainerNode::Child& child : parent.GetChildren()) {
        if (auto* row = dynamic_cast<RowNode*>(child.node.get()))
            row->RestoreCheck();
        RestoreChecks(*child.node);
    }
}

void RowDeletionsDlg::MakeTree(HWND dialog)
{
    HWND placeholder = GetDlgItem(dialog, IDC_ROWS_PLACEHOLDER);
    RECT rect = {};
    GetWindowRect(placeholder, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    // Check boxes from the start: items inserted before the style would get none under Wine.
    tree_window_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_LINESATROOT |
                            TVS_SHOWSELALWAYS | TVS_CHECKBOXES,
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_ROWS_PLACEHOLDER)),
                        GetModuleHandleW(nullptr), nullptr);
    if (!tree_window_)
        tfc::throw_last_error(L"CreateWindowEx");
    SetWindowPos(tree_window_, placeholder, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    DestroyWindow(placeholder);
    SendMessageW(tree_window_, TVM_SETIMAGELIST, TVSIL_NORMAL, 0);
    // Wine makes the check box images at the first paint and then unchecks every item, and with thousands
    // of items shown each check put back costs a pass over them all: painted once now, while empty.
    if (HDC dc = GetDC(tree_window_)) {
        SendMessageW(tree_window_, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(tree_window_, dc);
    }
    tree_.SetWindow(tree_window_);
}

INT_PTR RowDeletionsDlg::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    MakeTree(dialog);
    if (!FillTree()) {
        EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
    if (!tree_.Root()->GetChildren().empty())
        SendMessageW(tree_window_, TVM_ENSUREVISIBLE, 0,
                     reinterpret_cast<LPARAM>(tree_.Root()->GetChildren().begin()->node->GetItem()));
    SetFocus(tree_window_);
    if (nothing_depends_) {
        int answer = ShowMessageBox(dialog, L"Do you wish to permanently delete the selected row(s)?",
                                    L"Delete Row(s)?", MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES) {
            EndDialog(dialog, IDCANCEL);
            return FALSE;
        }
        DeleteChecked();
        EndDialog(dialog, IDC_ROWS_OK);
    }
    return FALSE;
}

ProgressWindow* RowDeletionsDlg::Progress()
{
    FrameWindow* frame = owner_.GetMainWindow();
    return frame ? &frame->GetProgressWindow() : nullptr;
}

bool RowDeletionsDlg::FillTree()
{
    HWND owner = owner_.DialogOwner();
    ForegroundProgress progress(Progress(), owner, L"Collecting the rows to delete");
    CascadeRows cascade;
    bool complete = cascade.Collect(owner_.GetMsiFile().relationships(), rows_, [&progress](size_t rows) {
        return progress.Step(0, 0, std::to_wstring(rows) + L" rows");
    });
    if (!complete)
        return false;
    const std::vector<CascadeRows::Entry>& entries = cascade.entries();
    std::vector<RowNode*> nodes(entries.size());
    {
        NoRedraw quiet(tree_window_);
        for (size_t i = 0; i < entries.size(); ++i) {
            const CascadeRows::Entry& entry = entries[i];
            ContainerNode* parent =
                entry.parent < 0 ? tree_.Root() : nodes[static_cast<size_t>(entry.parent)];
            nodes[i] = parent->AddChild(new RowNode(entry.table, entry.row));
            nodes[i]->SetChecked(true);
            if (i % 256 == 0 && !progress.Step(i, entries.size(),
                                               L"Showing row " + std::to_wstring(i + 1) + L" of " +
                                                   std::to_wstring(entries.size())))
                return false;
        }
        // Owners after what they own, as each branch was built.
        for (size_t i = entries.size(); i-- > 0;) {
            if (nodes[i]->HasChildren())
                SendMessageW(tree_window_, TVM_EXPAND, TVE_EXPAND,
                             reinterpret_cast<LPARAM>(nodes[i]->GetItem()));
        }
    }
    nothing_depends_ = true;
    for (const ContainerNode::Child& root : tree_.Root()->GetChildren())
        nothing_depends_ = nothing_depends_ && !root.node->HasChildren();
    return true;
}

void RowDeletionsDlg::OnCommand(int id)
{
    switch (id) {
    case IDC_ROOTS_ONLY:
        RootsOnly();
        break;
    case IDC_ROWS_OK:
    case IDOK:
        DeleteChecked();
        EndDialog(dialog_, IDC_ROWS_OK);
        break;
    case IDCANCEL:
        EndDialog(dialog_, IDCANCEL);
        break;
    }
}

void RowDeletionsDlg::RootsOnly()
{
    for (const ContainerNode::Child& root : tree_.Root()->GetChildren()) {
        auto* node = dynamic_cast<RowNode*>(root.node.get());
        if (!node)
            continue;
        node->SetBranchChecked(false);
        node->SetChecked(true);
    }
}

void RowDeletionsDlg::DeleteChecked()
{
    // Each checked row once, by table, in the order first met.
    std::vector<MsiTable*> table_order;
    std::unordered_map<MsiTable*, std::vector<RowIterator>> by_table;
    std::unordered_set<const MsiRow*> seen;
    std::vector<const ContainerNode*> pending{tree_.Root()};
    while (!pending.empty()) {
        const ContainerNode* parent = pending.back();
        pending.pop_back();
        for (const ContainerNode::Child& child : parent->GetChildren()) {
            pending.push_back(child.node.get());
            auto* row = dynamic_cast<RowNode*>(child.node.get());
            if (!row || !row->IsChecked() || !seen.insert(&*row->GetRow()).second)
                continue;
            std::vector<RowIterator>& rows = by_table[row->GetTable()];
            if (rows.empty())
                table_order.push_back(row->GetTable());
            rows.push_back(row->GetRow());
        }
    }
    int total = static_cast<int>(seen.size());
    int number = 0;
    ForegroundProgress progress(Progress(), owner_.DialogOwner(), L"Deleting rows");
    ULONGLONG told = 0;
    auto counted = [&](int) {
        ++number;
        // Dirty at the first deletion: a later failure must not leave deleted rows unsaved unnoticed.
        if (deleted_++ == 0)
            owner_.SetDirty(true);
        // Wine's status bar paints at once on every text: a few times a second is enough to read.
        ULONGLONG now = GetTickCount64();
        if (now - told < 100 && number != total)
            return !progress.Cancelled();
        told = now;
        std::wstring text;
        tfc::Format(L"Deleting row %i of %i", text) << static_cast<long>(number) << static_cast<long>(total);
        if (status_)
            status_->SetStatusText(text, 0);
        return progress.Step(static_cast<size_t>(number), static_cast<size_t>(total), text);
    };
    for (MsiTable* table : table_order) {
        std::shared_ptr<MsiTableLookupBase> lookup = owner_.GetTableLookup(table->name());
        if (!lookup)
            continue;
        lookup->DeleteRows(by_table[table], counted);
        if (progress.Cancelled())
            break;
    }
}

#pragma once
// "Cascaded Deletion": the rows to delete as roots of a check-box tree, each with the rows that belong to
// it (through owning relationships, CascadeRows), recursively; the checked rows are deleted. When nothing
// belongs to any of them, only "Delete Row(s)?" is asked. Collecting and deleting many rows shows the
// frame's progress window, whose Cancel stops them.
#include "foundation/Dialog.h"
#include "model/MsiTable.h"
#include "views/tree/ContainerNode.h"
#include "views/tree/TreeView.h"

#include <string>
#include <utility>
#include <vector>

class EditableMsiFileTab;
class ProgressWindow;
class StatusBarManager;

// A row in the deletion tree: "Table key|key", cut to 100 characters; no image. Its check is kept here
// too, since the control's state images are not to be trusted for items made before the style.
class RowNode : public ContainerNode
{
public:
    RowNode(MsiTable* table, RowIterator row);
    ~RowNode() override;

    void OnContextMenu(int x, int y) override;
    int GetIconId() override { return 0; }
    void OnSelected(ObjectWindow*) override {}

    MsiTable* GetTable() const { return table_; }
    RowIterator GetRow() const { return row_; }
    const std::vector<std::wstring>& GetKey() const { return key_; }
    // The control's check when the item shows one, else the kept one.
    bool IsChecked() const;
    void SetChecked(bool checked);
    // Shows the kept check in the control again where it shows another.
    void RestoreCheck();
    // This node and every node below it.
    void SetBranchChecked(bool checked);
    // Same table and same key texts.
    bool IsSameRow(const RowNode& other) const;

private:
    MsiTable* table_;
    RowIterator row_;
    std::vector<std::wstring> key_;
    bool checked_ = false;
};

class RowDeletionsDlg : public tfc::Dialog
{
public:
    using RowList = std::vector<std::pair<MsiTable*, RowIterator>>;

    // owner: the tab whose lookups delete the rows (and which becomes dirty); status may be null.
    RowDeletionsDlg(EditableMsiFileTab& owner, RowList rows, StatusBarManager* status);
    ~RowDeletionsDlg() override;

    // True when rows were deleted (the dialog ended with OK or the question with Yes). The caller then
    // refreshes its list: the row count changed.
    bool DoModal();
    // How many rows were deleted.
    int DeletedCount() const { return deleted_; }
    TreeView& GetTree() { return tree_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    INT_PTR OnInitDialog(HWND dialog);
    void OnCommand(int id);
    void MakeTree(HWND dialog);
    LRESULT OnTreeNotify(NMHDR* header);
    void RestoreChecks(const ContainerNode& parent);
    // The tree of the rows to delete and the rows that belong to them; false when the user cancelled.
    bool FillTree();
    void RootsOnly();
    void DeleteChecked();
    // The frame's progress window, or null without a frame.
    ProgressWindow* Progress();

    EditableMsiFileTab& owner_;
    RowList rows_;
    StatusBarManager* status_;
    HWND dialog_ = nullptr;
    HWND tree_window_ = nullptr;
    TreeView tree_;
    bool nothing_depends_ = true;
    bool checks_restored_ = false;
    int deleted_ = 0;
};

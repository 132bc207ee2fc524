#pragma once
// A table of a transform's comparison view: the table node over a base/transformed lookup. Its tree item is
// coloured by how the table differs, its menus offer "Revert To Base", and a changed cell's tip starts with
// the base value.
#include "views/tree/MsiTableNode.h"

class MsiDiffTableLookupBasic;

class MsiDiffTableNode : public MsiTableNode
{
public:
    // The lookup must be a comparison lookup.
    MsiDiffTableNode(TableViewsTab* tab, std::shared_ptr<MsiTableLookupBase> lookup);

    void OnTreeContextMenu(int x, int y) override;
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw) override;
    using MsiTableNode::OnCustomDraw;
    void GetFieldTip(std::wstring& text, int item, int column) override;
    LRESULT OnContextMenu(ObjectWindow& list, HWND window, int x, int y) override;
    using MsiTableNode::OnContextMenu;

    // The gradient flag of the tree item: base-only, different or valid.
    unsigned TableStateFlag();
    // The whole edited table back to the base table's rows.
    void RevertTable();
    bool CanRevertTable();
    // The cell back to its base value.
    void RevertCell(int item, int column);

    MsiDiffTableLookupBasic& GetDiffLookup() const { return *diff_; }

private:
    MsiDiffTableLookupBasic* diff_;
};

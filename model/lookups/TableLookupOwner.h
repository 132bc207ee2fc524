#pragma once
// What a lookup needs of the table node made for it (its owner node) and, through it, of the document tab:
// the model knows neither class, so the node implements this. Lookups without an owner (temporary ones,
// those of tables without a node) never show the referencing-rows dialog, never select rows and use no
// message-box owner.
#include "model/MsiFieldData.h"
#include "model/MsiTable.h"
#include "model/lookups/FindCriteria.h"

#include <windows.h>
#include <memory>
#include <string>

class EditHandler;

// The rewriting of referencing rows that the user chose in "Update Referencing Rows".
class ReferencingRowsUpdate
{
public:
    virtual ~ReferencingRowsUpdate() = default;
    // Runs after the edited cell was stored; true when any referencing row was changed.
    virtual bool Apply() = 0;
};

class TableLookupOwner
{
public:
    virtual ~TableLookupOwner() = default;

    // The path of the owning document.
    virtual std::wstring GetOwnerPath() = 0;
    // Owner window of the lookup's message boxes.
    virtual HWND GetOwnerWindow() = 0;
    // The owner node as the edit handler it sets on the lookup when it starts an edit.
    virtual EditHandler* GetOwnerEditHandler() = 0;
    // The column by which the node's list is sorted now (the sort column of its positions).
    virtual int GetListSortColumn() = 0;
    // The tab shows the table and row of the location (the tab's SelectTable); false when it cannot.
    virtual bool SelectTable(const FindCriteria& location) = 0;
    // The node selects the row and column of the location in its list (MsiTableNode::SelectRow).
    virtual bool SelectRow(const FindCriteria& location) = 0;
    // The node's lookup dropped or must drop its Indexes: the node calls ResetIndexes and shows the table
    // again when it is the current item (MsiTableNode::Reload).
    virtual void Reload() = 0;
    // Before a changed cell is stored: offers to update the rows that refer to the old value. False when
    // the user cancelled (nothing is stored then); otherwise update may hold the rewriting to apply once
    // the cell is stored, or stay empty when there is nothing to do.
    virtual bool ConfirmReferencingRows(MsiTable& table, RowIterator row, int column,
                                        const MsiFieldDataRef& value,
                                        std::unique_ptr<ReferencingRowsUpdate>& update) = 0;
};

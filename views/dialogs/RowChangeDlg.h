#pragma once
// "Update Referencing Rows": when a changed cell is referenced by other rows, the user ticks the rows that
// are to follow the change. After the cell is stored, ApplyChanges writes the new value into their
// referencing columns, or rewrites the [..] references of formatted text.
#include "foundation/FormDialog.h"
#include "model/MsiFieldData.h"
#include "model/MsiTable.h"
#include "model/lookups/TableLookupOwner.h"
#include "views/dialogs/RowLinksWindow.h"

#include <memory>
#include <string>
#include <vector>

class TableViewsTab;

class RowChangeDlg : public tfc::FormDialog
{
public:
    // owner: the tab of the edited table (row references, lookups, status text, showing a listed row).
    RowChangeDlg(TableViewsTab& owner, MsiTable& table, RowIterator row, int column,
                 MsiFieldDataRef new_value, HWND parent);
    ~RowChangeDlg() override;

    // True: the change goes on (also without asking, when tracking is off or nothing refers to the
    // field); false: the user cancelled it.
    bool DoModal();
    // Rewrites every chosen row; true when any was written.
    bool ApplyChanges();

    // What TableLookupOwner::ConfirmReferencingRows does: the dialog, and on OK the rewriting of the chosen
    // rows as `update` (left empty when none was chosen).
    static bool Confirm(TableViewsTab& owner, MsiTable& table, RowIterator row, int column,
                        const MsiFieldDataRef& new_value, HWND parent,
                        std::unique_ptr<ReferencingRowsUpdate>& update);

    struct ChosenRow
    {
        RelationshipDefPtr relationship;
        MsiTable* table;
        RowIterator row;
    };
    const std::vector<ChosenRow>& GetChosenRows() const { return chosen_; }
    FieldRowLinksWindow& GetList() { return list_; }

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id) override;
    LRESULT OnNotify(NMHDR* header) override;
    void SelectAll();
    void Toggle();
    void OnOk() override;
    // The rewriting of one chosen row; true when it was written.
    bool ApplyTo(const ChosenRow& chosen);

    TableViewsTab& owner_;
    MsiTable& table_;
    RowIterator row_;
    int column_;
    MsiFieldDataRef new_value_;
    // Display texts of the field before and after, for references in formatted text.
    std::wstring old_key_;
    std::wstring new_key_;
    HWND parent_;
    FieldRowLinksWindow list_;
    std::vector<ChosenRow> chosen_;
};

#pragma once
// "New Row": one line per column of the table, its description on the left and the new row's value on the
// right, edited in place with the table's own editors. OK checks every field and the key; the caller then
// adds the row through the lookup (AddRow with GetNewRow()).
#include "foundation/FormDialog.h"
#include "model/MsiFieldData.h"
#include "model/MsiTable.h"
#include "model/lookups/MsiFieldEditorHandler.h"
#include "views/grid/ObjectBase.h"
#include "views/grid/ObjectWindow.h"

#include <memory>
#include <vector>

class MsiTableLookupBase;

class AddTableRowDlg : public tfc::FormDialog, public ObjectBase, public MsiFieldEditorHandler
{
public:
    // The lookup gives the table, its columns and the key check; parent owns the dialog.
    AddTableRowDlg(std::shared_ptr<MsiTableLookupBase> lookup, HWND parent);
    ~AddTableRowDlg() override;

    // True when the dialog ended with OK: the row may be added.
    bool DoModal();
    // The values of the table's own columns, in column order (a computed column such as the Directory
    // view's target path has none): what AddRow takes.
    std::vector<MsiFieldDataRef> GetNewRow() const;
    // Adds the new row through the lookup (after a true DoModal).
    void AddToTable();

    NewRowList& GetList() { return list_; }
    bool IsEditing() const { return editing_; }

    // ObjectBase
    LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info) override;
    LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw) override;
    InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column) override;
    // MsiFieldEditorHandler
    // A text the database's code page cannot hold is refused in the cell.
    std::wstring ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                    const MsiFieldDataRef& value) override;
    void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                          bool changed) override;

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnEnter();
    void OnCancel() override;
    // "OK": IDOK is Enter, which goes to the list.
    void OnOk() override;
    // The lines of real columns: those that AddRow takes.
    int FieldCount() const;

    std::shared_ptr<MsiTableLookupBase> lookup_;
    HWND parent_;
    NewRowList list_;
    // An editor is open.
    bool editing_ = false;
    // The new row, held outside the table: one value per line.
    MsiRowList row_list_;
    RowIterator row_;
};

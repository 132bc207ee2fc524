#pragma once
// A Tables tree node that shows its table's lookup in the tab's list: columns, texts, colours, sorting and
// in-place editing; every committed edit marks the document dirty.
#include "model/lookups/EditHandler.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/grid/ObjectBase.h"
#include "views/tree/ContainerNode.h"

#include <memory>

class EditableMsiFileTab;

class TableRowsNode : public ContainerNode, public ObjectBase, public EditHandler
{
public:
    TableRowsNode(EditableMsiFileTab* document, std::shared_ptr<MsiTableLookupBase> lookup);

    const std::shared_ptr<MsiTableLookupBase>& GetLookup() const { return lookup_; }

    int GetIconId() override;
    void OnSelected(ObjectWindow* list) override;
    void OnDeselected() override;
    LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info) override;
    LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw) override;
    void Sort(int old_column, int new_column, bool ascending) override;
    InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column) override;
    void Refresh(bool row_count_changed) override;

private:
    int SortColumn() const;

    EditableMsiFileTab* document_;
    std::shared_ptr<MsiTableLookupBase> lookup_;
    ObjectWindow* list_ = nullptr;
};

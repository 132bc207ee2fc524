#pragma once
// A table node as the lookups see it, recording what they ask of it.
#include "model/lookups/EditHandler.h"
#include "model/lookups/TableLookupOwner.h"

#include <functional>
#include <vector>

namespace lookup_testing {

class RecordingEditHandler : public EditHandler
{
public:
    void Refresh(bool row_count_changed) override { refreshes.push_back(row_count_changed); }
    std::vector<bool> refreshes;
};

class LookupOwnerDouble : public TableLookupOwner
{
public:
    std::wstring GetOwnerPath() override { return path; }
    HWND GetOwnerWindow() override { return nullptr; }
    EditHandler* GetOwnerEditHandler() override { return &handler; }
    int GetListSortColumn() override { return sort_column; }
    bool SelectTable(const FindCriteria& location) override
    {
        tables_selected.push_back(location);
        return select_table_answer;
    }
    bool SelectRow(const FindCriteria& location) override
    {
        rows_selected.push_back(location);
        return true;
    }
    void Reload() override { ++reloads; }
    bool ConfirmReferencingRows(MsiTable&, RowIterator, int column, const MsiFieldDataRef&,
                                std::unique_ptr<ReferencingRowsUpdate>& update) override
    {
        confirmed_columns.push_back(column);
        if (make_update)
            update = make_update();
        return !cancel_referencing_rows;
    }

    std::wstring path = L"C:\\owner.msi";
    int sort_column = 0;
    RecordingEditHandler handler;
    bool select_table_answer = true;
    bool cancel_referencing_rows = false;
    std::function<std::unique_ptr<ReferencingRowsUpdate>()> make_update;
    std::vector<FindCriteria> tables_selected;
    std::vector<FindCriteria> rows_selected;
    std::vector<int> confirmed_columns;
    int reloads = 0;
};

} // namespace lookup_testing

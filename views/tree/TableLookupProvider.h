#pragma once
// The document tab, a table name and that table's lookup, fetched from the tab on first use and kept.
#include "model/lookups/MsiTableLookupBase.h"
#include "views/tree/TableViewsTab.h"

#include <memory>
#include <string>

class TableLookupProvider
{
public:
    TableLookupProvider(TableViewsTab* tab, std::wstring table_name)
        : tab_(tab), table_name_(std::move(table_name))
    {
    }

    TableViewsTab* GetTab() const { return tab_; }
    const std::wstring& GetTableName() const { return table_name_; }
    // Null when the tab has no lookup for the table.
    const std::shared_ptr<MsiTableLookupBase>& GetLookup()
    {
        if (!lookup_)
            lookup_ = tab_->GetTableLookup(table_name_);
        return lookup_;
    }

protected:
    TableViewsTab* tab_;
    std::wstring table_name_;
    std::shared_ptr<MsiTableLookupBase> lookup_;
};

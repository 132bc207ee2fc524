#include "DialogTesting.h"

#include "model/MsiFile.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "model/lookups/MsiTableLookup.h"
#include "model/lookups/TableLookupOwner.h"
#include "views/dialogs/RowChangeDlg.h"

namespace dialog_testing {

class PackageTab::Owner : public TableLookupOwner
{
public:
    Owner(PackageTab& tab, MsiTableLookupBase& lookup) : tab_(tab), lookup_(lookup) {}
    std::wstring GetOwnerPath() override { return tab_.GetPath(); }
    HWND GetOwnerWindow() override { return tab_.GetWindowHandle(); }
    EditHandler* GetOwnerEditHandler() override { return nullptr; }
    int GetListSortColumn() override { return 0; }
    bool SelectTable(const FindCriteria& location) override
    {
        tab_.shown.push_back(location);
        return true;
    }
    bool SelectRow(const FindCriteria&) override { return true; }
    void Reload() override { lookup_.ResetIndexes(); }
    bool ConfirmReferencingRows(MsiTable& table, RowIterator row, int column, const MsiFieldDataRef& value,
                                std::unique_ptr<ReferencingRowsUpdate>& update) override
    {
        return RowChangeDlg::Confirm(tab_, table, row, column, value, tab_.GetWindowHandle(), update);
    }

private:
    PackageTab& tab_;
    MsiTableLookupBase& lookup_;
};

PackageTab::PackageTab(MsiFile& file, std::wstring path) : file_(file), path_(std::move(path))
{
    window_ = CreateWindowExW(0, L"STATIC", L"Package tab", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

PackageTab::~PackageTab()
{
    for (auto& entry : lookups_)
        entry.second->SetOwnerNode(nullptr);
    DestroyWindow(window_);
}

std::shared_ptr<MsiTableLookupBase> PackageTab::GetTableLookup(const std::wstring& name)
{
    auto found = lookups_.find(name);
    if (found != lookups_.end())
        return found->second;
    MsiTableRef table = file_.FindTable(name);
    if (!table)
        return nullptr;
    std::shared_ptr<MsiTableLookupBase> lookup;
    if (name == L"Directory")
        lookup = std::make_shared<MsiDirectoryTableLookup>(*table);
    else
        lookup = std::make_shared<MsiTableLookup>(*table);
    owners_.push_back(std::make_unique<Owner>(*this, *lookup));
    lookup->SetOwnerNode(owners_.back().get());
    lookups_[name] = lookup;
    return lookup;
}

std::vector<std::wstring> PackageTab::Keys(const std::wstring& name)
{
    std::vector<std::wstring> keys;
    MsiTableRef table = file_.FindTable(name);
    for (const MsiRow& row : table->rows())
        keys.push_back(table->RowKeyText(row));
    return keys;
}

std::wstring PackageTab::Cell(const std::wstring& name, const std::wstring& key, const std::wstring& column)
{
    MsiTable& table = *file_.FindTable(name);
    RowIterator row = grid_testing::FindRowByKey(table, key);
    if (row == table.rows().end())
        return L"(no row)";
    MsiFieldDefRef def = table.FindColumn(column);
    return def->display_str(*row->at(static_cast<size_t>(def->column_index())));
}

HWND FindDialog(const wchar_t* caption)
{
    return grid_testing::FindThreadDialog(caption);
}

} // namespace dialog_testing

#pragma once
// Helpers of the row dialog tests: a document tab over a real package opened through the model, with one
// lookup per table and an owner node that records what it is asked to show and puts "Update Referencing
// Rows" in front of key changes, as the table nodes do.
#include "model/lookups/MsiTableLookupBase.h"
#include "views/tree/TableViewsTab.h"

#include "views/GridTesting.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dialog_testing {

class PackageTab : public TableViewsTab
{
public:
    explicit PackageTab(grid_testing::OpenPackage& package) : PackageTab(package.file(), package.path()) {}
    PackageTab(MsiFile& file, std::wstring path);
    ~PackageTab() override;
    PackageTab(const PackageTab&) = delete;
    PackageTab& operator=(const PackageTab&) = delete;

    HWND GetWindowHandle() override { return window_; }
    std::wstring GetTitle() override { return L"test"; }
    std::wstring GetPath() override { return path_; }
    void Create(HWND, int, int, int, int) override {}
    bool CanClose() override { return true; }
    bool IsDirty() override { return HasChanges(); }
    void Save() override {}
    void SaveAs() override {}
    void Backup() override {}
    void UpdateStatusBar() override {}
    void SetStatusText(const std::wstring& text, int) override { status.push_back(text); }
    void SetStatusParts(const std::vector<int>&) override {}
    FrameWindow* GetMainWindow() override { return nullptr; }
    ObjectWindow* GetTreeContext() override { return nullptr; }
    TreeView* GetTablesTree() override { return nullptr; }
    MsiTableNode* FindTableNode(const std::wstring&) override { return nullptr; }
    MsiTableNode* FindEditableTableNode(const std::wstring&) override { return nullptr; }
    void DropTable(MsiTableNode*) override {}
    void AddTableViews(MsiFile&, bool) override {}
    MsiFile& GetMsiFile() override { return file_; }
    // One lookup per table, made on first request (the Directory table's with its target path).
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) override;
    bool IsShowingObject(int) override { return true; }

    // The rows' key texts of a table, in table order.
    std::vector<std::wstring> Keys(const std::wstring& table);
    // The display text of a cell of the row with that key text.
    std::wstring Cell(const std::wstring& table, const std::wstring& key, const std::wstring& column);

    std::vector<std::wstring> status;
    // What owner nodes were asked to show.
    std::vector<FindCriteria> shown;

private:
    class Owner;
    MsiFile& file_;
    std::wstring path_;
    HWND window_ = nullptr;
    std::map<std::wstring, std::shared_ptr<MsiTableLookupBase>> lookups_;
    std::vector<std::unique_ptr<Owner>> owners_;
};

// The thread's visible dialog with that caption, or null.
HWND FindDialog(const wchar_t* caption);

} // namespace dialog_testing

#pragma once
// A document tab over a copy of a shared test package, without windows: the model is the real one, a
// lookup is made for a table the first time it is asked for, and the dirty mark is recorded.
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/tree/TableViewsTab.h"
#include "support/TestSupport.h"

#include <map>
#include <memory>
#include <string>

namespace shell_testing {

class PackageDocument : public TableViewsTab
{
public:
    // Copies ../shared/testdata/NAME into a scratch folder and opens it; ok() is false when it is absent.
    explicit PackageDocument(const std::wstring& name, bool read_only = false);
    ~PackageDocument() override;
    bool ok() const { return opened_; }
    // Closes the database, so that others may open the file.
    void Close();

    HWND GetWindowHandle() override { return nullptr; }
    std::wstring GetTitle() override { return path_; }
    std::wstring GetPath() override { return path_; }
    void Create(HWND, int, int, int, int) override {}
    bool CanClose() override { return true; }
    bool IsDirty() override { return HasChanges(); }
    void Save() override {}
    void SaveAs() override {}
    void Backup() override {}
    void UpdateStatusBar() override {}
    void SetStatusText(const std::wstring&, int) override {}
    void SetStatusParts(const std::vector<int>&) override {}
    FrameWindow* GetMainWindow() override { return nullptr; }
    ObjectWindow* GetTreeContext() override { return nullptr; }
    TreeView* GetTablesTree() override { return nullptr; }
    MsiTableNode* FindTableNode(const std::wstring&) override { return nullptr; }
    MsiTableNode* FindEditableTableNode(const std::wstring&) override { return nullptr; }
    void DropTable(MsiTableNode*) override {}
    // As the database tab: every table of the other file, with its rows, goes into this one.
    void AddTableViews(MsiFile& database, bool only_database_tables) override;
    MsiFile& GetMsiFile() override { return *file_; }
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) override;
    bool IsShowingObject(int) override { return false; }

    const testing_support::ScratchFolder& folder() const { return folder_; }

private:
    testing_support::ScratchFolder folder_;
    std::wstring path_;
    bool opened_ = false;
    std::map<std::wstring, std::shared_ptr<MsiTableLookupBase>> lookups_;
    std::unique_ptr<MsiFile> file_; // declared last: the lookups watch its tables and go first
};

} // namespace shell_testing

#pragma once
// A document tab over a copy of a shared package for the node tests: table nodes in its Tables tree built
// from the real lookups, the tab operations the nodes call (lookups, table nodes, SelectTable), and a frame
// whose bottom pane holds the results and row-relationship panes. With a base, the tab is a comparison
// view: its file is the edited copy, its path the base's, and its nodes are comparison nodes.
#include "../GridTesting.h"
#include "shell/MainWindow.h"
#include "shell/MsiFileTabBase.h"
#include "views/tree/MsiTableNode.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace node_testing {

class NodeTab : public MsiFileTabBase
{
public:
    struct Setup
    {
        std::wstring package;
        bool read_only = false;
        bool comparison = false;
        bool tracking = false;
        // Changes the edited copy (or the only copy) before it is opened.
        std::function<void(MSIHANDLE database)> prepare;
    };
    NodeTab(MDITabsParent* owner, StatusBarManager* status, const Setup& setup);
    ~NodeTab() override;

    bool ok() const { return package_->ok(); }
    std::wstring GetPath() override;
    void Create(HWND parent, int x, int y, int width, int height) override;
    void Save() override {}
    void SaveAs() override {}
    void Backup() override {}

    MsiTableNode* FindTableNode(const std::wstring& name) override;
    MsiTableNode* FindEditableTableNode(const std::wstring& name) override { return FindTableNode(name); }
    void DropTable(MsiTableNode* node) override;
    void AddTableViews(MsiFile&, bool) override {}
    MsiFile& GetMsiFile() override { return package_->file(); }
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) override;
    bool SelectTable(const FindCriteria& location) override;

    // Selects the node's tree item as a click does, so the list shows it.
    void ShowTable(const std::wstring& name);
    grid_testing::OpenPackage& package() { return *package_; }
    MsiFile* base() { return base_ ? &base_->file() : nullptr; }

protected:
    HMENU LoadMenuBar() override;
    // The node tests build the row trees themselves.
    void FillTreeView(int, const std::wstring&) override {}

private:
    std::unique_ptr<grid_testing::OpenPackage> package_;
    std::unique_ptr<grid_testing::OpenPackage> base_;
    std::map<std::wstring, std::shared_ptr<MsiTableLookupBase>> lookups_;
    bool comparison_;
};

// A main window made for one test with node tabs opened in it.
class NodeFrame
{
public:
    NodeFrame();
    ~NodeFrame();
    MainWindow& frame() { return *frame_; }
    std::shared_ptr<NodeTab> Open(const NodeTab::Setup& setup);

private:
    std::unique_ptr<MainWindow> frame_;
};

// Labels of the node's children, each with its own children in braces: "a{b,c{}}"; "Dummy" for a
// placeholder.
std::wstring Shape(const ContainerNode& node);

} // namespace node_testing

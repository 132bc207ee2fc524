#include "NodeTesting.h"

#include "model/lookups/MsiDiffTableLookupBasic.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "model/lookups/MsiTableLookup.h"
#include "resources/ShellIds.h"
#include "shell/MDITabsParent.h"
#include "views/tree/MsiDiffTableNode.h"
#include "views/tree/TreeView.h"

namespace node_testing {

NodeTab::NodeTab(MDITabsParent* owner, StatusBarManager* status, const Setup& setup)
    : MsiFileTabBase(L"NodeTab", owner, status, setup.read_only), comparison_(setup.comparison)
{
    package_ = std::make_unique<grid_testing::OpenPackage>(setup.package, setup.read_only, setup.prepare);
    if (setup.comparison)
        base_ = std::make_unique<grid_testing::OpenPackage>(setup.package, true);
    if (setup.tracking && package_->ok())
        package_->file().relationships().Build(package_->file());
}

NodeTab::~NodeTab()
{
    // Nodes, the row trees the pages filled, and lookups go before the files they show.
    ClearTrees();
    lookups_.clear();
}

std::wstring NodeTab::GetPath()
{
    return base_ ? base_->path() : package_->path();
}

void NodeTab::Create(HWND parent, int x, int y, int width, int height)
{
    MsiFileTabBase::Create(parent, x, y, width, height);
    UpdateTabText();
    if (!package_->ok())
        return;
    for (auto& entry : package_->file().tables()) {
        MsiTable& table = *entry.second;
        if (!table.user_table())
            continue;
        std::shared_ptr<MsiTableLookupBase> lookup;
        if (comparison_) {
            MsiTableRef base_table = base_->file().FindTable(entry.first);
            lookup = std::make_shared<MsiDiffTableLookupBasic>(base_table.get(), &table);
        } else if (entry.first == L"Directory") {
            lookup = std::make_shared<MsiDirectoryTableLookup>(table);
        } else {
            lookup = std::make_shared<MsiTableLookup>(table);
        }
        lookups_[entry.first] = lookup;
        MsiTableNode* node =
            comparison_ ? new MsiDiffTableNode(this, lookup) : new MsiTableNode(this, lookup);
        GetTablesTree()->Root()->AddChild(node);
    }
}

MsiTableNode* NodeTab::FindTableNode(const std::wstring& name)
{
    return dynamic_cast<MsiTableNode*>(GetTablesTree()->Root()->FindChild(name));
}

void NodeTab::DropTable(MsiTableNode* node)
{
    std::wstring name = node->GetLookup()->GetTableName();
    GetMsiFile().DropTable(*GetMsiFile().FindTable(name));
    GetTablesTree()->Root()->RemoveChild(node);
    lookups_.erase(name);
}

std::shared_ptr<MsiTableLookupBase> NodeTab::GetTableLookup(const std::wstring& name)
{
    auto found = lookups_.find(name);
    return found == lookups_.end() ? nullptr : found->second;
}

void NodeTab::ShowTable(const std::wstring& name)
{
    MsiTableNode* node = FindTableNode(name);
    if (node)
        SendMessageW(GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node->GetItem()));
}

bool NodeTab::SelectTable(const FindCriteria& location)
{
    MsiTableNode* node = FindTableNode(location.table_name);
    if (!node)
        return false;
    SelectView(0);
    ShowTable(location.table_name);
    return node->SelectRow(location);
}

HMENU NodeTab::LoadMenuBar()
{
    return LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_DATABASE_MENU));
}

NodeFrame::NodeFrame() : frame_(std::make_unique<MainWindow>())
{
    frame_->SetCommandLine(L"Dravnetta.exe");
    frame_->Create();
    grid_testing::PumpPending();
}

NodeFrame::~NodeFrame()
{
    frame_.reset();
    grid_testing::PumpPending();
    window_testing::DropQuitMessage();
}

std::shared_ptr<NodeTab> NodeFrame::Open(const NodeTab::Setup& setup)
{
    auto tab = std::make_shared<NodeTab>(&frame_->GetTabs(), frame_.get(), setup);
    frame_->GetTabs().AddTab(tab);
    grid_testing::PumpPending();
    return tab;
}

std::wstring Shape(const ContainerNode& node)
{
    std::wstring text;
    for (const auto& child : node.GetChildren()) {
        if (!text.empty())
            text += L",";
        text += child.node->GetLabel();
        if (child.node->HasChildren())
            text += L"{" + Shape(*child.node) + L"}";
    }
    return text;
}

} // namespace node_testing

#include "views/tree/RowTrees.h"

#include "views/tree/TableViewsTab.h"
#include "views/tree/ClassNodes.h"
#include "views/tree/ComponentNode.h"
#include "views/tree/DialogNode.h"
#include "views/tree/FeatureNodes.h"
#include "views/tree/LabelledRowNodes.h"
#include "views/tree/RowNodeFactory.h"
#include "views/tree/TreeView.h"

namespace {

template <typename Node> RowNodeMaker Maker()
{
    return [](TableViewsTab* tab, const std::wstring& table, RowIterator row) -> RowElementNode* {
        return new Node(tab, table, row);
    };
}

} // namespace

void RegisterRowTreeClasses()
{
    RegisterRowNodeClass(L"Dialog", Maker<DialogNode>());
    RegisterRowNodeClass(L"Component", Maker<ComponentNode>());
    RegisterRowNodeClass(L"Feature", Maker<FeatureNode>());
    RegisterRowNodeClass(L"FeatureComponents", Maker<FeatureComponentsNode>());
    RegisterRowNodeClass(L"Class", Maker<ClassNode>());
    RegisterRowNodeClass(L"Extension", Maker<ExtensionNode>());
    RegisterRowNodeClass(L"ProgId", Maker<ProgIdNode>());
    RegisterRowNodeClass(L"Shortcut", Maker<ShortcutNode>());
    RegisterRowNodeClass(L"IniFile", Maker<IniFileNode>());
    RegisterRowNodeClass(L"Registry", Maker<RegistryNode>());
    RegisterRowGroupingClass(L"Feature", true,
                             [](const std::wstring& table, RowElementNode* owner, bool all) {
                                 return new FeaturesRowGrouping(table, owner, all);
                             });
    RegisterRowGroupingClass(L"Components", false,
                             [](const std::wstring& table, RowElementNode* owner, bool all) {
                                 return new ComponentsInFeatureRowGrouping(table, owner, all);
                             });
}

tfc::RefersTo<RowElementNode> FillTreeView(TableViewsTab& tab, TreeView& tree, const std::wstring& table_name)
{
    RegisterRowTreeClasses();
    MsiTable* table = tab.GetMsiFile().FindTable(table_name).get();
    if (!table || !tree.Root())
        return tfc::RefersTo<RowElementNode>();
    if (tree.Root()->FindChild(table_name) ||
        (table_name == L"Feature" && tree.Root()->FindChild(L"Features")))
        return tfc::RefersTo<RowElementNode>();
    tfc::RefersTo<RowElementNode> root(new RowElementNode(&tab, table_name, &tree));
    RowGrouping* grouping = AddRowGrouping(root.get(), table_name, true);
    if (!grouping)
        return tfc::RefersTo<RowElementNode>();
    AddRowGroupingNode(grouping);
    std::vector<RowIterator> rows;
    for (RowIterator row = table->rows().begin(); row != table->rows().end(); ++row) {
        if (grouping->AcceptRow(*table, row))
            rows.push_back(row);
    }
    grouping->AddRowNodes(rows);
    return root;
}

#include "views/tree/RowNodeFactory.h"

#include "views/tree/TableViewsTab.h"
#include "views/tree/TreeView.h"

#include <map>

namespace {

template <typename Node> RowNodeMaker MakeNode()
{
    return [](TableViewsTab* tab, const std::wstring& table, RowIterator row) -> RowElementNode* {
        return new Node(tab, table, row);
    };
}

template <int Icon> RowGroupingMaker MakeGrouping()
{
    return [](const std::wstring& table, RowElementNode* owner, bool accept_all) -> RowGrouping* {
        return new RowGroupingIcon<Icon>(table, owner, accept_all);
    };
}

using Deps = RowElementNode;
using NoDeps = NoDependenciesRowElementNode;

std::map<std::wstring, RowNodeMaker>& NodeMakers()
{
    static std::map<std::wstring, RowNodeMaker> makers = {
        {L"Class", MakeNode<ElementNodeIcon<1010, Deps>>()},
        {L"Complus", MakeNode<ElementNodeIcon<1026, Deps>>()},
        {L"Component", MakeNode<ElementNodeIcon<1008, Deps>>()},
        {L"Control", MakeNode<ElementNodeIcon<1037, Deps>>()},
        {L"CreateFolder", MakeNode<ElementNodeIcon<1020, NoDeps>>()},
        {L"Dialog", MakeNode<ElementNodeIcon<1004, Deps>>()},
        {L"DuplicateFile", MakeNode<ElementNodeIcon<1027, Deps>>()},
        {L"Environment", MakeNode<ElementNodeIcon<1034, Deps>>()},
        {L"Extension", MakeNode<ElementNodeIcon<1016, Deps>>()},
        {L"Feature", MakeNode<ElementNodeIcon<1009, Deps>>()},
        {L"FeatureComponents", MakeNode<ElementNodeIcon<1009, Deps>>()},
        {L"File", MakeNode<ElementNodeIcon<1015, Deps>>()},
        {L"Font", MakeNode<ElementNodeIcon<1014, NoDeps>>()},
        {L"Icon", MakeNode<ElementNodeIcon<1001, NoDeps>>()},
        {L"IniFile", MakeNode<ElementNodeIcon<1012, NoDeps>>()},
        {L"IsolatedComponent", MakeNode<ElementNodeIcon<1028, Deps>>()},
        {L"LockPermissions", MakeNode<ElementNodeIcon<1011, NoDeps>>()},
        {L"MoveFile", MakeNode<ElementNodeIcon<1029, Deps>>()},
        {L"MsiAssembly", MakeNode<ElementNodeIcon<1035, Deps>>()},
        {L"MsiAssemblyName", MakeNode<ElementNodeIcon<1036, Deps>>()},
        {L"ODBCDataSource", MakeNode<ElementNodeIcon<1030, Deps>>()},
        {L"ODBCDriver", MakeNode<ElementNodeIcon<1031, Deps>>()},
        {L"ODBCTranslator", MakeNode<ElementNodeIcon<1032, Deps>>()},
        {L"ProgId", MakeNode<ElementNodeIcon<1001, Deps>>()},
        {L"PublishComponent", MakeNode<ElementNodeIcon<1033, Deps>>()},
        {L"Registry", MakeNode<ElementNodeIcon<1013, Deps>>()},
        {L"RemoveFile", MakeNode<ElementNodeIcon<1017, NoDeps>>()},
        {L"RemoveRegistry", MakeNode<ElementNodeIcon<1018, NoDeps>>()},
        {L"ReserveCost", MakeNode<ElementNodeIcon<1022, NoDeps>>()},
        {L"ServiceControl", MakeNode<ElementNodeIcon<1023, NoDeps>>()},
        {L"ServiceInstall", MakeNode<ElementNodeIcon<1024, NoDeps>>()},
        {L"Shortcut", MakeNode<ElementNodeIcon<1019, Deps>>()},
        {L"TypeLib", MakeNode<ElementNodeIcon<1025, NoDeps>>()},
        {L"Verb", MakeNode<ElementNodeIcon<1001, NoDeps>>()},
    };
    return makers;
}

// Keyed by (name, accept-all); an entry with accept-all false serves both unless an accept-all one exists.
std::map<std::pair<std::wstring, bool>, RowGroupingMaker>& GroupingMakers()
{
    static std::map<std::pair<std::wstring, bool>, RowGroupingMaker> makers = {
        {{L"Class", false}, MakeGrouping<1010>()},
        {{L"Complus", false}, MakeGrouping<1026>()},
        {{L"Component", false}, MakeGrouping<1008>()},
        {{L"Control", false}, MakeGrouping<1037>()},
        {{L"CreateFolder", false}, MakeGrouping<1020>()},
        {{L"Dialog", false}, MakeGrouping<1004>()},
        {{L"DuplicateFile", false}, MakeGrouping<1027>()},
        {{L"Environment", false}, MakeGrouping<1034>()},
        {{L"Extension", false}, MakeGrouping<1016>()},
        {{L"Feature", false}, MakeGrouping<1009>()},
        {{L"FeatureComponents", false}, MakeGrouping<1009>()},
        {{L"File", false}, MakeGrouping<1015>()},
        {{L"Font", false}, MakeGrouping<1014>()},
        {{L"IniFile", false}, MakeGrouping<1012>()},
        {{L"IsolatedComponent", false}, MakeGrouping<1028>()},
        {{L"LockPermissions", false}, MakeGrouping<1011>()},
        {{L"MoveFile", false}, MakeGrouping<1029>()},
        {{L"MsiAssembly", false}, MakeGrouping<1035>()},
        {{L"MsiAssemblyName", false}, MakeGrouping<1036>()},
        {{L"ODBCDataSource", false}, MakeGrouping<1030>()},
        {{L"ODBCDriver", false}, MakeGrouping<1031>()},
        {{L"ODBCTranslator", false}, MakeGrouping<1032>()},
        {{L"PublishComponent", false}, MakeGrouping<1033>()},
        {{L"Registry", false}, MakeGrouping<1013>()},
        {{L"RemoveFile", false}, MakeGrouping<1017>()},
        {{L"RemoveIniFile", false}, MakeGrouping<1021>()},
        {{L"RemoveRegistry", false}, MakeGrouping<1018>()},
        {{L"ReserveCost", false}, MakeGrouping<1022>()},
        {{L"ServiceControl", false}, MakeGrouping<1023>()},
        {{L"ServiceInstall", false}, MakeGrouping<1024>()},
        {{L"Shortcut", false}, MakeGrouping<1019>()},
        {{L"TypeLib", false}, MakeGrouping<1025>()},
    };
    return makers;
}

} // namespace

void RegisterRowNodeClass(const std::wstring& table_name, RowNodeMaker maker)
{
    NodeMakers()[table_name] = std::move(maker);
}

RowGroupingMaker RegisterRowGroupingClass(const std::wstring& name, bool accept_all, RowGroupingMaker maker)
{
    auto& makers = GroupingMakers();
    auto key = std::make_pair(name, accept_all);
    auto found = makers.find(key);
    RowGroupingMaker previous = found == makers.end() ? RowGroupingMaker() : found->second;
    if (maker)
        makers[key] = std::move(maker);
    else
        makers.erase(key);
    return previous;
}

tfc::RefersTo<RowElementNode> CreateRowElementNode(TableViewsTab* tab, const std::wstring& table_name,
                                                   RowIterator row)
{
    auto found = NodeMakers().find(table_name);
    tfc::RefersTo<RowElementNode> node(found == NodeMakers().end() ? new RowElementNode(tab, table_name, row)
                                                                   : found->second(tab, table_name, row));
    node->UpdateLabel();
    return node;
}

RowGrouping* CreateRowGrouping(const std::wstring& table_name, RowElementNode* owner, bool accept_all)
{
    auto& makers = GroupingMakers();
    auto found = makers.find(std::make_pair(table_name, accept_all));
    if (found == makers.end())
        found = makers.find(std::make_pair(table_name, false));
    if (found != makers.end())
        return found->second(table_name, owner, accept_all);
    return new RowGrouping(table_name, owner, accept_all);
}

RowGrouping* AddRowGrouping(RowElementNode* node, const std::wstring& table_name, bool accept_all)
{
    if (RowGrouping* existing = node->FindGrouping(table_name)) {
        existing->WatchAddedTable();
        return existing;
    }
    // A registered grouping may be named after no table ("Components"); any other needs its table.
    auto& makers = GroupingMakers();
    bool registered = makers.count(std::make_pair(table_name, accept_all)) != 0;
    if (!node->GetFile().FindTable(table_name).get() && !registered)
        return nullptr;
    return node->AddGrouping(std::unique_ptr<RowGrouping>(CreateRowGrouping(table_name, node, accept_all)));
}

RowGroupingNode* AddRowGroupingNode(RowGrouping* grouping)
{
    if (grouping->GetNode())
        return grouping->GetNode();
    ContainerNode* parent = grouping->GetOwner()->GroupingParent();
    if (!parent || !parent->GetTree())
        return nullptr;
    auto* node = new RowGroupingNode(grouping);
    parent->AddChild(node);
    grouping->node_ = node;
    SendMessageW(parent->GetTree()->GetWindow(), TVM_EXPAND, TVE_EXPAND,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    return node;
}

void RemoveRowGroupingNode(RowGrouping* grouping)
{
    RowGroupingNode* node = grouping->GetNode();
    if (!node)
        return;
    grouping->node_ = nullptr;
    node->grouping_ = nullptr;
    if (ContainerNode* parent = node->GetParent())
        parent->RemoveChild(node);
}

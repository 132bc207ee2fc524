#pragma once
// Row node classes of the row trees that differ only in their label or icon.
#include "views/tree/RowElementNode.h"

// "FileName Section Key" of an IniFile row.
class IniFileNode : public NoDependenciesRowElementNode
{
public:
    using NoDependenciesRowElementNode::NoDependenciesRowElementNode;
    int GetIconId() override { return 1012; }
    std::wstring MakeLabel() override;
};

// "HKLM\Key: name => value" of a Registry row.
class RegistryNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1013; }
    std::wstring MakeLabel() override;
};

using ComplusNode = ElementNodeIcon<1026, RowElementNode>;
using FileNode = ElementNodeIcon<1015, RowElementNode>;
using CreateFolderNode = ElementNodeIcon<1020, NoDependenciesRowElementNode>;
using FontNode = ElementNodeIcon<1014, NoDependenciesRowElementNode>;
using IconNode = ElementNodeIcon<1001, NoDependenciesRowElementNode>;
using LockPermissionsNode = ElementNodeIcon<1011, NoDependenciesRowElementNode>;
using RemoveFileNode = ElementNodeIcon<1017, NoDependenciesRowElementNode>;
using RemoveRegistryNode = ElementNodeIcon<1018, NoDependenciesRowElementNode>;
using VerbNode = ElementNodeIcon<1001, NoDependenciesRowElementNode>;

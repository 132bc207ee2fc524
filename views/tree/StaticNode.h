#pragma once
// A node with a fixed text and icon 1000; selecting it empties the table list.
#include "views/grid/ObjectBase.h"
#include "views/tree/ContainerNode.h"

class StaticNode : public ContainerNode, public ObjectBase
{
public:
    explicit StaticNode(const std::wstring& text) : ContainerNode(CutLabel(text)) {}
    void OnSelected(ObjectWindow* list) override;

private:
    friend class TreeView;
};

#include "views/tree/StaticNode.h"
#include "views/grid/ObjectWindow.h"

void StaticNode::OnSelected(ObjectWindow* list)
{
    if (list)
        list->SetHandler(this, {}, 0, -1, 0);
}

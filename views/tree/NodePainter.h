#pragma once
// Draws a node's label by hand: the caret item on the option colours' gradient, and the text grey or
// black by depth, so that in the row trees groupings are grey and rows black.
#include "views/tree/ContainerNode.h"

class NodePainter : public ContainerNode
{
public:
    using ContainerNode::ContainerNode;
    LRESULT OnCustomDraw(NMTVCUSTOMDRAW* draw) override;

    // The whole drawing, for node classes that add to it.
    // `text_colour` CLR_INVALID: by depth.
    static LRESULT PaintNode(ContainerNode& node, NMTVCUSTOMDRAW* draw, COLORREF text_colour = CLR_INVALID);
    // Grey 0xA0A0A0 for an odd number of ancestors, black for an even one.
    static COLORREF TextColourForDepth(int depth);
    // The same, but a grey label of the selected item is drawn dark enough to read on the selection.
    static COLORREF TextColourFor(int depth, bool selected);
};

#include "views/tree/NodePainter.h"
#include "views/tree/TreeView.h"
#include "model/lookups/CellAppearance.h"

LRESULT NodePainter::OnCustomDraw(NMTVCUSTOMDRAW* draw)
{
    return PaintNode(*this, draw);
}

COLORREF NodePainter::TextColourForDepth(int depth)
{
    return depth % 2 ? RGB(0xA0, 0xA0, 0xA0) : RGB(0, 0, 0);
}

COLORREF NodePainter::TextColourFor(int depth, bool selected)
{
    // The light grey all but vanishes on the selection's light blue.
    COLORREF colour = TextColourForDepth(depth);
    return selected && colour != RGB(0, 0, 0) ? RGB(0x40, 0x40, 0x40) : colour;
}

LRESULT NodePainter::PaintNode(ContainerNode& node, NMTVCUSTOMDRAW* draw, COLORREF text_colour)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPOSTPAINT:
        break;
    default:
        return 0;
    }
    TreeView* tree = node.GetTree();
    if (!tree || !tree->GetWindow())
        return 0;
    HWND window = tree->GetWindow();
    RECT rect = {};
    if (!TreeView::GetItemRect(window, node.GetItem(), true, rect))
        return 0;
    HDC dc = draw->nmcd.hdc;
    auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(window, TVM_GETNEXTITEM, TVGN_CARET, 0));
    bool selected = caret == node.GetItem();
    if (selected) {
        FillCellGradient(dc, CELL_FILL_VALID, rect);
        FillCellGradient(dc, CELL_FILL_SELECTED, rect);
    }
    rect.left += 2;
    rect.bottom -= 2;
    auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    int old_mode = SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, text_colour == CLR_INVALID ? TextColourFor(node.Depth(), selected) : text_colour);
    DrawTextW(dc, node.GetLabel().c_str(), static_cast<int>(node.GetLabel().size()), &rect,
              DT_SINGLELINE | DT_BOTTOM);
    SetBkMode(dc, old_mode);
    if (old_font)
        SelectObject(dc, old_font);
    return CDRF_SKIPDEFAULT;
}

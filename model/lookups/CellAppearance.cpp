#include "model/lookups/CellAppearance.h"
#include "foundation/Options.h"

#include <commctrl.h>
#include <gdiplus.h>

namespace {

using namespace Gdiplus::DllExports;

// Both of a pair, by the first matching flag.
struct FillColours
{
    unsigned flag;
    Options::Colour start;
    Options::Colour end;
};

const FillColours kFills[] = {
    {CELL_FILL_DIFFERENT, Options::COLOR_DIFFERENT_START, Options::COLOR_DIFFERENT_END},
    {CELL_FILL_BASE_ONLY, Options::COLOR_BASE_ONLY_START, Options::COLOR_BASE_ONLY_END},
    {CELL_FILL_INVALID, Options::COLOR_INVALID_START, Options::COLOR_INVALID_END},
    {CELL_FILL_HAS_ERRORS, Options::COLOR_HAS_ERRORS_START, Options::COLOR_HAS_ERRORS_END},
    {CELL_FILL_VALID, Options::COLOR_VALID_START, Options::COLOR_VALID_END},
    {CELL_FILL_SELECTED, Options::COLOR_SELECTED_START, Options::COLOR_SELECTED_END},
};

class GdiPainter : public CellPainter
{
public:
    void Fill(HDC dc, unsigned flags, const RECT& rect) override { FillCellGradient(dc, flags, rect); }
    void Text(HDC dc, HWND list, int column, const std::wstring& text, const RECT& cell) override
    {
        DrawCellText(dc, list, column, text, cell);
    }
};

GdiPainter gDefaultPainter;
CellPainter* gPainter = &gDefaultPainter;

} // namespace

void CellGradientColours(unsigned flags, DWORD& start, DWORD& end)
{
    start = end = 0xFF000000;
    for (const FillColours& fill : kFills) {
        if (flags & fill.flag) {
            start = gOptions.colours[fill.start];
            end = gOptions.colours[fill.end];
            break;
        }
    }
    if (flags & CELL_FILL_FOCUSED)
        start = end = gOptions.colours[Options::COLOR_FOCUSED_END];
}

void FillCellGradient(HDC dc, unsigned flags, const RECT& rect)
{
    DWORD start, end;
    CellGradientColours(flags, start, end);
    Gdiplus::Rect area(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    Gdiplus::GpLineGradient* brush = nullptr;
    if (GdipCreateLineBrushFromRectI(&area, start, end, Gdiplus::LinearGradientModeVertical,
                                     Gdiplus::WrapModeTile, &brush) != Gdiplus::Ok)
        return;
    GdipSetLineLinearBlend(brush, 0.5f, 1.0f);
    Gdiplus::GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok) {
        GdipFillRectangleI(graphics, brush, area.X, area.Y, area.Width, area.Height);
        Gdiplus::GpPen* pen = nullptr;
        if ((flags & CELL_FILL_FOCUSED) &&
            GdipCreatePen1(0xFF000000, 1.0f, Gdiplus::UnitWorld, &pen) == Gdiplus::Ok) {
            int right = area.X + area.Width - 1;
            int bottom = area.Y + area.Height - 1;
            GdipDrawLineI(graphics, pen, area.X, area.Y, right, area.Y);
            GdipDrawLineI(graphics, pen, area.X, area.Y, area.X, bottom);
            GdipSetPenColor(pen, 0xFFB4B4B4);
            GdipDrawLineI(graphics, pen, area.X, bottom, right, bottom);
            GdipDrawLineI(graphics, pen, right, area.Y, right, bottom);
            GdipDeletePen(pen);
        }
        GdipDeleteGraphics(graphics);
    }
    GdipDeleteBrush(brush);
}

void DrawCellText(HDC dc, HWND list, int column, const std::wstring& text, const RECT& cell)
{
    RECT area = cell;
    area.bottom -= 1;
    area.left += column == 0 ? 2 : 6;
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    int old_mode = SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), -1, &area, DT_SINGLELINE | DT_BOTTOM);
    SetBkMode(dc, old_mode);
    if (old_font)
        SelectObject(dc, old_font);
}

RECT ListCellRect(HWND list, int item, int column)
{
    RECT label = {LVIR_LABEL, column, 0, 0};
    SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&label));
    RECT icon = {LVIR_ICON, column, 0, 0};
    SendMessageW(list, LVM_GETSUBITEMRECT, item, reinterpret_cast<LPARAM>(&icon));
    RECT cell;
    SubtractRect(&cell, &label, &icon);
    return cell;
}

CellPainter* SetCellPainter(CellPainter* painter)
{
    CellPainter* previous = gPainter == &gDefaultPainter ? nullptr : gPainter;
    gPainter = painter ? painter : &gDefaultPainter;
    return previous;
}

CellPainter& CurrentCellPainter()
{
    return *gPainter;
}

#pragma once
// How the lookups paint problem cells: a two-colour vertical gradient chosen by the cell's state, and the
// cell text drawn over it. The colours are the user's options. Painting goes through a CellPainter so that
// what a lookup decides to draw can be checked without looking at pixels.
#include "model/MsiFieldDef.h"

#include <windows.h>
#include <string>

enum CellFillFlags : unsigned
{
    CELL_FILL_DIFFERENT = 0x01,  // comparison: row added or cell changed
    CELL_FILL_BASE_ONLY = 0x02,  // comparison: row only in the base table
    CELL_FILL_INVALID = 0x04,    // the cell fails its own checks
    CELL_FILL_HAS_ERRORS = 0x08, // the cell has validation messages
    CELL_FILL_VALID = 0x10,      // plain background
    CELL_FILL_SELECTED = 0x20,
    CELL_FILL_FOCUSED = 0x40, // the current cell of the focused row: focused colour and a frame
};

// The ARGB pair a fill uses: the first of the flags 0x01..0x20 that is set chooses it (opaque black when
// none is); 0x40 makes both the focused end colour.
void CellGradientColours(unsigned flags, DWORD& start, DWORD& end);
// Fills the rectangle with GDI+ (GdiplusStartup must have run): start colour at the top and bottom edges,
// end colour in the middle; with CELL_FILL_FOCUSED a dark top-left and light bottom-right frame.
void FillCellGradient(HDC dc, unsigned flags, const RECT& rect);
// The cell text in the list's font on a transparent background, at the bottom of the cell, indented 2
// pixels in the first column and 6 in the others.
void DrawCellText(HDC dc, HWND list, int column, const std::wstring& text, const RECT& cell);
// The cell's rectangle in the list: the sub-item's label rectangle without its icon.
RECT ListCellRect(HWND list, int item, int column);

// A DC of the list for one cell's drawing, released however the drawing ends.
class ListDC
{
public:
    explicit ListDC(HWND list) : list_(list), dc_(GetDC(list)) {}
    ~ListDC()
    {
        if (dc_)
            ReleaseDC(list_, dc_);
    }
    ListDC(const ListDC&) = delete;
    ListDC& operator=(const ListDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND list_;
    HDC dc_;
};

// A cell's tip: the messages of its column's checks, one per line, then the required-relationship text.
std::wstring CellTipText(const MsiFieldDef& def, const MsiFieldData& cell, const std::wstring& relationships);

class CellPainter
{
public:
    virtual ~CellPainter() = default;
    virtual void Fill(HDC dc, unsigned flags, const RECT& rect) = 0;
    virtual void Text(HDC dc, HWND list, int column, const std::wstring& text, const RECT& cell) = 0;
};

// The painter the lookups draw with: by default FillCellGradient and DrawCellText. Returns the previous
// one; nullptr puts the default back.
CellPainter* SetCellPainter(CellPainter* painter);
CellPainter& CurrentCellPainter();

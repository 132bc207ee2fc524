// Cell appearance: which colour pair each fill flag takes, the tips of cells that fail their checks, and
// what a table lookup paints for each combination of focus, selection, cursor column and problem.
#include "model/lookups/CellAppearance.h"
#include "model/lookups/MsiTableLookup.h"
#include "foundation/Options.h"
#include "LookupTesting.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <gdiplus.h>

using namespace lookup_testing;

namespace {

// Options with a colour that names its own slot, so a pair tells where it came from.
class NumberedColours
{
public:
    NumberedColours()
    {
        std::copy(std::begin(gOptions.colours), std::end(gOptions.colours), saved_);
        for (int slot = 0; slot < Options::COLOR_COUNT; ++slot)
            gOptions.colours[slot] = 0xFF000100 + slot;
    }
    ~NumberedColours() { std::copy(std::begin(saved_), std::end(saved_), gOptions.colours); }

private:
    DWORD saved_[Options::COLOR_COUNT];
};

DWORD Slot(Options::Colour colour)
{
    return 0xFF000100 + colour;
}

struct Painted
{
    std::vector<unsigned> fills;
    std::vector<std::wstring> texts;
};

class RecordingPainter : public CellPainter
{
public:
    explicit RecordingPainter(Painted& painted) : painted_(painted) { previous_ = SetCellPainter(this); }
    ~RecordingPainter() override { SetCellPainter(previous_); }
    void Fill(HDC, unsigned flags, const RECT&) override { painted_.fills.push_back(flags); }
    void Text(HDC, HWND, int, const std::wstring& text, const RECT&) override
    {
        painted_.texts.push_back(text);
    }

private:
    Painted& painted_;
    CellPainter* previous_;
};

const std::vector<std::wstring> kTables = {
    L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), `Directory_` CHAR(72) "
    L"NOT NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), `KeyPath` CHAR(72) PRIMARY KEY "
    L"`Component`)",
    L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), `DefaultDir` "
    L"CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)",
    L"INSERT INTO `Directory` (`Directory`, `DefaultDir`) VALUES ('TARGETDIR', 'SourceDir')",
    L"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`) VALUES ('Good', "
    L"'{11111111-1111-1111-1111-111111111111}', 'TARGETDIR', 0)",
    L"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`) VALUES ('Bad', "
    L"'{abc}', 'NOWHERE', 0)",
};

class CellAppearanceTest : public ::testing::Test
{
protected:
    CellAppearanceTest() : database_(kTables), lookup_(database_.table(L"Component")) {}

    Painted draw(int column, int position, unsigned validation, UINT state, bool cursor, LRESULT expected)
    {
        Painted painted;
        RecordingPainter painter(painted);
        EXPECT_EQ(expected, lookup_.DrawListCell(column, position, 0, nullptr, validation, state, cursor));
        return painted;
    }

    NumberedColours colours_;
    LookupDatabase database_;
    MsiTableLookup lookup_;
};

using Fills = std::vector<unsigned>;
const UINT kFocused = LVIS_FOCUSED;
const UINT kSelected = LVIS_SELECTED;

} // namespace

TEST_F(CellAppearanceTest, EachFlagTakesItsColourPair)
{
    struct Case
    {
        unsigned flags;
        Options::Colour start;
        Options::Colour end;
    };
    const Case cases[] = {
        {CELL_FILL_DIFFERENT, Options::COLOR_DIFFERENT_START, Options::COLOR_DIFFERENT_END},
        {CELL_FILL_BASE_ONLY, Options::COLOR_BASE_ONLY_START, Options::COLOR_BASE_ONLY_END},
        {CELL_FILL_INVALID, Options::COLOR_INVALID_START, Options::COLOR_INVALID_END},
        {CELL_FILL_HAS_ERRORS, Options::COLOR_HAS_ERRORS_START, Options::COLOR_HAS_ERRORS_END},
        {CELL_FILL_VALID, Options::COLOR_VALID_START, Options::COLOR_VALID_END},
        {CELL_FILL_SELECTED, Options::COLOR_SELECTED_START, Options::COLOR_SELECTED_END},
        // The first flag set wins.
        {CELL_FILL_INVALID | CELL_FILL_SELECTED, Options::COLOR_INVALID_START, Options::COLOR_INVALID_END},
    };
    for (const Case& item : cases) {
        DWORD start = 0, end = 0;
        CellGradientColours(item.flags, start, end);
        EXPECT_EQ(Slot(item.start), start) << item.flags;
        EXPECT_EQ(Slot(item.end), end) << item.flags;
    }
    DWORD start = 0, end = 0;
    CellGradientColours(0, start, end);
    EXPECT_EQ(0xFF000000u, start);
    EXPECT_EQ(0xFF000000u, end);
    CellGradientColours(CELL_FILL_VALID | CELL_FILL_FOCUSED, start, end);
    EXPECT_EQ(Slot(Options::COLOR_FOCUSED_END), start);
    EXPECT_EQ(Slot(Options::COLOR_FOCUSED_END), end);
}

TEST_F(CellAppearanceTest, TipsJoinTheColumnChecksAndRequiredRelationships)
{
    EXPECT_EQ(L"", lookup_.GetCellTipText(1, 0, 0));
    EXPECT_EQ(
        L"The string does not match the guid format\r\nA guid should not have lower case characters\r\n",
        lookup_.GetCellTipText(1, 1, 0));
    // Relationships count only while row references are tracked.
    EXPECT_EQ(L"", lookup_.GetCellTipText(2, 1, 0));
    database_.file().relationships().Build(database_.file());
    EXPECT_EQ(
        L"Required relationship not satisfied: \r\n\tComponent.Directory_ IS OWNED BY Directory.Directory, "
        L"required\r\n",
        lookup_.GetCellTipText(2, 1, 0));
    EXPECT_EQ(L"", lookup_.GetCellTipText(2, 0, 0));
}

TEST_F(CellAppearanceTest, PlainCellsAreLeftToTheList)
{
    Painted painted = draw(0, 0, 0, 0, false, 0);
    EXPECT_TRUE(painted.fills.empty());
    EXPECT_TRUE(painted.texts.empty());
    EXPECT_TRUE(draw(0, 0, 0, kFocused, false, 0).fills.empty());
}

TEST_F(CellAppearanceTest, CursorCellOfTheFocusedRowGetsTheFocusedFill)
{
    Painted painted = draw(0, 0, 0, kFocused, true, CDRF_SKIPDEFAULT);
    EXPECT_EQ((Fills{CELL_FILL_VALID, CELL_FILL_FOCUSED}), painted.fills);
    EXPECT_EQ(std::vector<std::wstring>{L"Good"}, painted.texts);
    // A problem shows under the focus only when the row is selected too.
    EXPECT_EQ((Fills{CELL_FILL_VALID, CELL_FILL_FOCUSED}),
              draw(1, 1, 0, kFocused, true, CDRF_SKIPDEFAULT).fills);
    EXPECT_EQ((Fills{CELL_FILL_VALID, CELL_FILL_INVALID, CELL_FILL_FOCUSED}),
              draw(1, 1, 0, kFocused | kSelected, true, CDRF_SKIPDEFAULT).fills);
    EXPECT_EQ((Fills{CELL_FILL_VALID, CELL_FILL_HAS_ERRORS, CELL_FILL_FOCUSED}),
              draw(0, 0, 2, kFocused | kSelected, true, CDRF_SKIPDEFAULT).fills);
}

TEST_F(CellAppearanceTest, SelectedRowsAndProblemCells)
{
    EXPECT_EQ(Fills{CELL_FILL_SELECTED}, draw(0, 0, 0, kSelected, false, CDRF_SKIPDEFAULT).fills);
    // In a selected row only the cursor column shows its problem.
    EXPECT_EQ(Fills{CELL_FILL_SELECTED}, draw(1, 1, 0, kSelected, false, CDRF_SKIPDEFAULT).fills);
    EXPECT_EQ(Fills{CELL_FILL_INVALID}, draw(1, 1, 0, 0, false, CDRF_SKIPDEFAULT).fills);
    Painted flagged = draw(0, 0, 1, 0, false, CDRF_SKIPDEFAULT);
    EXPECT_EQ(Fills{CELL_FILL_HAS_ERRORS}, flagged.fills);
    EXPECT_EQ(std::vector<std::wstring>{L"Good"}, flagged.texts);
}

TEST(CellGradientTest, PaintsIntoADeviceContext)
{
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, nullptr));
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 20, 10);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT cell = {0, 0, 20, 10};
    FillCellGradient(dc, CELL_FILL_SELECTED | CELL_FILL_FOCUSED, cell);
    FillCellGradient(dc, CELL_FILL_INVALID, cell);
    // Only that it draws without failing: rendering differs between platforms.
    EXPECT_NE(CLR_INVALID, GetPixel(dc, 10, 5));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    Gdiplus::GdiplusShutdown(token);
}

#include "support/WindowTesting.h"
#include "foundation/ToolTip.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class CountingSink : public ToolTip::Sink
{
public:
    void GetToolTipText(NMTTDISPINFOW* info) override
    {
        ++asked;
        from = info->hdr.hwndFrom;
        tool = info->hdr.idFrom;
        tooltip_text_ = L"tip #" + std::to_wstring(asked);
        Sink::GetToolTipText(info);
    }
    int asked = 0;
    HWND from = nullptr;
    UINT_PTR tool = 0;
};

// A sink that sets nothing.
class SilentSink : public ToolTip::Sink
{
public:
    void GetToolTipText(NMTTDISPINFOW*) override { ++asked; }
    int asked = 0;
};

std::wstring tip_text(HWND control, HWND host, HWND tool)
{
    wchar_t buffer[80] = {L'?', 0};
    TTTOOLINFOW info = {};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = host;
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = buffer;
    SendMessageW(control, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    return buffer;
}

HWND make_button(const wchar_t* text)
{
    return CreateWindowExW(0, L"BUTTON", text, WS_POPUP, 10, 10, 80, 24, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

} // namespace

TEST(ToolTip, TextsComeFromTheSupplierEachTimeAndTwoTipsLiveSideBySide)
{
    HWND first_button = make_button(L"one");
    HWND second_button = make_button(L"two");
    CountingSink counting;
    SilentSink silent;
    {
        auto owned = std::make_unique<ToolTip>();
        ToolTip& first = *owned;
        ToolTip second; // the class "tt" is registered already: both must work
        first.Create(&counting);
        second.Create(&silent);
        ASSERT_TRUE(first.IsCreated());
        ASSERT_TRUE(second.IsCreated());
        EXPECT_NE(first.host(), second.host());
        EXPECT_TRUE(GetWindowLongPtrW(first.control(), GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_FALSE(IsWindowVisible(first.host()));

        first.AddTool(first_button);
        second.AddTool(second_button);
        EXPECT_EQ(SendMessageW(first.control(), TTM_GETTOOLCOUNT, 0, 0), 1);

        EXPECT_EQ(tip_text(first.control(), first.host(), first_button), L"tip #1");
        EXPECT_EQ(tip_text(first.control(), first.host(), first_button), L"tip #2");
        EXPECT_EQ(counting.from, first.control());
        EXPECT_EQ(counting.tool, reinterpret_cast<UINT_PTR>(first_button));

        // A supplier that sets no text leaves the tip empty.
        EXPECT_EQ(tip_text(second.control(), second.host(), second_button), L"");
        EXPECT_EQ(silent.asked, 1);

        // Without a supplier nothing is asked and nothing breaks.
        first.SetSupplier(nullptr);
        tip_text(first.control(), first.host(), first_button);
        EXPECT_EQ(counting.asked, 2);

        HWND control = first.control();
        HWND host = first.host();
        second.Create(&counting); // a second Create only changes the supplier
        EXPECT_EQ(tip_text(second.control(), second.host(), second_button), L"tip #3");
        owned.reset();
        EXPECT_FALSE(IsWindow(control));
        EXPECT_FALSE(IsWindow(host));
    }
    DestroyWindow(first_button);
    DestroyWindow(second_button);
}

// The control cannot draw a tab: the tip shows spaces there, line breaks stay.
TEST(ToolTip, TabsAreShownAsSpaces)
{
    class TabSink : public ToolTip::Sink
    {
    public:
        void GetToolTipText(NMTTDISPINFOW* info) override
        {
            tooltip_text_ = text;
            Sink::GetToolTipText(info);
        }
        std::wstring text;
    } sink;
    HWND button = make_button(L"tabs");
    ToolTip tip;
    tip.Create(&sink);
    tip.AddTool(button);
    struct
    {
        const wchar_t* supplied;
        const wchar_t* shown;
    } cases[] = {
        {L"Heading:\r\nName:\tvalue", L"Heading:\r\nName:    value"},
        {L"\t\t", L"        "},
        {L"no tabs", L"no tabs"},
    };
    for (const auto& c : cases) {
        sink.text = c.supplied;
        EXPECT_EQ(tip_text(tip.control(), tip.host(), button), c.shown);
        EXPECT_EQ(sink.text, c.supplied);
    }
    DestroyWindow(button);
}

// A relayed tool is not subclassed by the control: the tip shows once its window hands on the mouse.
TEST(ToolTip, ARelayedToolShowsFromTheMessagesItsWindowHandsOn)
{
    CountingSink sink;
    HWND button = make_button(L"relayed");
    ShowWindow(button, SW_SHOWNOACTIVATE);
    ToolTip tip;
    tip.Create(&sink);
    tip.AddRelayedTool(button);
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    ASSERT_TRUE(SendMessageW(tip.control(), TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(tool.uId, reinterpret_cast<UINT_PTR>(button));
    EXPECT_EQ(tool.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), static_cast<UINT>(TTF_IDISHWND));

    SendMessageW(tip.control(), TTM_SETDELAYTIME, TTDT_INITIAL, 1);
    RECT rect = {};
    GetWindowRect(button, &rect);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    // Only mouse messages go on.
    tip.RelayEvent(button, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(window_testing::PumpUntil([&] { return IsWindowVisible(tip.control()) != FALSE; }, 200));
    tip.RelayEvent(button, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
    EXPECT_TRUE(window_testing::PumpUntil([&] { return IsWindowVisible(tip.control()) != FALSE; }));
    EXPECT_EQ(sink.asked, 1);
    DestroyWindow(button);
}

// The options sheet driven through its real pages: what OK stores, what a refusal and Cancel keep.
#include "ShellTesting.h"
#include "TemplateTesting.h"
#include "support/TestSupport.h"

#include "resources/NewFileOptionsIds.h"
#include "resources/ShellIds.h"
#include "foundation/Options.h"
#include "shell/OptionsDlg.h"

#include <climits>
#include <gtest/gtest.h>

using namespace template_testing;
using testing_support::ScratchRegistryKey;
using testing_support::ScriptedPrompts;

namespace {

enum Page
{
    kSavePage,
    kLoadPage,
    kViewPage
};

HWND ShowPage(HWND sheet, int index)
{
    PropSheet_SetCurSel(sheet, nullptr, index);
    return PropSheet_GetCurrentPageHwnd(sheet);
}

int CurrentPage(HWND sheet)
{
    return PropSheet_HwndToIndex(sheet, PropSheet_GetCurrentPageHwnd(sheet));
}

void Press(HWND page, int id)
{
    SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

void SetChecked(HWND page, int id, bool checked)
{
    if ((IsDlgButtonChecked(page, id) == BST_CHECKED) != checked)
        Press(page, id);
}

std::wstring ItemText(HWND page, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(page, id, text, 256);
    return text;
}

struct Snapshot
{
    int state;
    std::wstring name;
    int threshold;
    bool tips;
    int display;
    bool numbers;
    bool operator==(const Snapshot& other) const
    {
        return state == other.state && name == other.name && threshold == other.threshold &&
               tips == other.tips && display == other.display && numbers == other.numbers;
    }
};

Snapshot Take(const Options& options)
{
    return {options.last_saved_by_state, options.last_saved_by_name, options.tracking_threshold,
            options.field_tips,          options.bit_flags_display,  options.bit_flags_menu_numbers};
}

HWND g_initialized_sheet = nullptr;

int CALLBACK RecordSheet(HWND sheet, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED)
        g_initialized_sheet = sheet;
    return 0;
}

class OptionsSheet : public testing::Test
{
protected:
    ScratchRegistryKey scratch;
    Options options{HKEY_CURRENT_USER, scratch.path()};
    ScriptedPrompts prompts;
};

} // namespace

TEST_F(OptionsSheet, ARefusedPageKeepsTheSheetOpenAndCancelStoresNothing)
{
    options.last_saved_by_state = Options::SI_USERNAME;
    options.last_saved_by_name = L"";
    options.tracking_threshold = 0;
    const Snapshot before = Take(options);
    prompts.answer(IDOK);
    std::wstring shown_threshold;
    bool shown_checked = true, shown_enabled = true, name_enabled = false, stayed = false;
    int page_after_refusal = -1;
    Snapshot during{};
    StepDriver driver({[&](HWND sheet) {
                           EXPECT_EQ(sheet, g_initialized_sheet) << "the callback saw this sheet";
                           HWND save = ShowPage(sheet, kSavePage);
                           Press(save, IDC_SAVE_BY_CUSTOM_NAME);
                           name_enabled = IsWindowEnabled(GetDlgItem(save, IDC_SAVE_CUSTOM_NAME));
                           SetDlgItemTextW(save, IDC_SAVE_CUSTOM_NAME, L"Builder");
                           HWND load = ShowPage(sheet, kLoadPage);
                           shown_threshold = ItemText(load, IDC_LOAD_THRESHOLD);
                           shown_checked = IsDlgButtonChecked(load, IDC_LOAD_TRACKING) == BST_CHECKED;
                           shown_enabled = IsWindowEnabled(GetDlgItem(load, IDC_LOAD_THRESHOLD));
                           Press(load, IDC_LOAD_TRACKING);
                           SetDlgItemTextW(load, IDC_LOAD_THRESHOLD, L"-5");
                           PropSheet_PressButton(sheet, PSBTN_OK);
                           return true;
                       },
                       [&](HWND sheet) {
                           stayed = IsWindowVisible(sheet);
                           page_after_refusal = CurrentPage(sheet);
                           during = Take(options);
                           PropSheet_PressButton(sheet, PSBTN_CANCEL);
                           return true;
                       }});
    EXPECT_FALSE(OptionsDlg(options).Run(nullptr, &RecordSheet));
    ASSERT_EQ(driver.done(), 2u);

    EXPECT_EQ(shown_threshold, L"2000") << "a stored 0 shows the usual threshold";
    EXPECT_FALSE(shown_checked);
    EXPECT_FALSE(shown_enabled);
    EXPECT_TRUE(name_enabled);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"Negative (or very large) thresholds are invalid.");
    EXPECT_EQ(prompts.asked()[0].caption, L"Invalid threshold");
    EXPECT_TRUE(stayed);
    EXPECT_EQ(page_after_refusal, kLoadPage);
    // The Save page had already applied when the Load page refused: nothing of it may show yet.
    EXPECT_TRUE(during == before);
    EXPECT_TRUE(Take(options) == before);
}

TEST_F(OptionsSheet, OkStoresEveryPage)
{
    struct Case
    {
        int save_radio;
        bool tracking;
        const wchar_t* threshold;
        int view_radio;
        bool tips, numbers;
        Snapshot expected;
    };
    const Case cases[] = {
        {IDC_SAVE_UNCHANGED,
         true,
         L"123abc",
         IDC_VIEW_HEX,
         true,
         false,
         {Options::SI_UNCHANGED, L"Builder", 123, true, Options::BIT_FLAGS_HEX, false}},
        {IDC_SAVE_BY_USERNAME,
         true,
         L"",
         IDC_VIEW_DECIMAL,
         false,
         true,
         {Options::SI_USERNAME, L"Builder", 0, false, Options::BIT_FLAGS_DECIMAL, true}},
        {IDC_SAVE_BY_CUSTOM_NAME,
         false,
         L"77",
         IDC_VIEW_DEFAULT,
         true,
         true,
         {Options::SI_CUSTOM_NAME, L"Builder", 0, true, Options::BIT_FLAGS_DEFAULT, true}},
        {IDC_SAVE_BY_USERNAME,
         true,
         L"  +42",
         IDC_VIEW_HEX,
         false,
         false,
         {Options::SI_USERNAME, L"Builder", 42, false, Options::BIT_FLAGS_HEX, false}},
        {IDC_SAVE_BY_USERNAME,
         true,
         L"99999999999",
         IDC_VIEW_HEX,
         false,
         false,
         {Options::SI_USERNAME, L"Builder", INT_MAX, false, Options::BIT_FLAGS_HEX, false}},
    };
    bool first = true;
    for (const Case& c : cases) {
        options.last_saved_by_name = L"Builder";
        options.tracking_threshold = 500;
        StepDriver driver({[&](HWND sheet) {
            HWND save = ShowPage(sheet, kSavePage);
            Press(save, c.save_radio);
            if (first)
                SaveScreenshot(sheet, L"options-save.png");
            HWND load = ShowPage(sheet, kLoadPage);
            SetChecked(load, IDC_LOAD_TRACKING, c.tracking);
            SetDlgItemTextW(load, IDC_LOAD_THRESHOLD, c.threshold);
            if (first)
                SaveScreenshot(sheet, L"options-load.png");
            HWND view = ShowPage(sheet, kViewPage);
            Press(view, c.view_radio);
            SetChecked(view, IDC_VIEW_FIELD_TIPS, c.tips);
            SetChecked(view, IDC_VIEW_MENU_NUMBERS, c.numbers);
            if (first)
                SaveScreenshot(sheet, L"options-view.png");
            first = false;
            PropSheet_PressButton(sheet, PSBTN_OK);
            return true;
        }});
        EXPECT_TRUE(OptionsDlg(options).Run(nullptr));
        ASSERT_EQ(driver.done(), 1u);
        EXPECT_TRUE(Take(options) == c.expected) << "threshold text '" << testing::PrintToString(c.threshold)
                                                 << "' gave " << options.tracking_threshold;
    }
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(OptionsSheet, AnEmptyCustomNameIsRefusedAndAPageNeverShownKeepsItsValues)
{
    options.last_saved_by_state = Options::SI_UNCHANGED;
    options.tracking_threshold = 17;
    options.bit_flags_display = Options::BIT_FLAGS_HEX;
    prompts.answer(IDOK);
    bool stayed = false;
    StepDriver driver({[&](HWND sheet) {
                           HWND save = ShowPage(sheet, kSavePage);
                           Press(save, IDC_SAVE_BY_CUSTOM_NAME);
                           SetDlgItemTextW(save, IDC_SAVE_CUSTOM_NAME, L"");
                           PropSheet_PressButton(sheet, PSBTN_OK);
                           return true;
                       },
                       [&](HWND sheet) {
                           stayed = IsWindowVisible(sheet);
                           SetDlgItemTextW(ShowPage(sheet, kSavePage), IDC_SAVE_CUSTOM_NAME, L"Builder");
                           PropSheet_PressButton(sheet, PSBTN_OK);
                           return true;
                       }});
    EXPECT_TRUE(OptionsDlg(options).Run(nullptr));
    ASSERT_EQ(driver.done(), 2u);
    EXPECT_TRUE(stayed);
    ASSERT_EQ(prompts.asked().size(), 1u);
    EXPECT_EQ(prompts.asked()[0].text, L"You must specify a name");
    EXPECT_EQ(prompts.asked()[0].caption, L"Invalid \"Last Saved By\" name");
    EXPECT_EQ(options.last_saved_by_state, Options::SI_CUSTOM_NAME);
    EXPECT_EQ(options.last_saved_by_name, L"Builder");
    EXPECT_EQ(options.tracking_threshold, 17);
    EXPECT_EQ(options.bit_flags_display, Options::BIT_FLAGS_HEX);
}

TEST(OptionsCommand, TheFrameCommandEditsTheGlobalOptions)
{
    const Snapshot before = Take(gOptions);
    shell_testing::TestFrame frame;
    StepDriver driver({[](HWND sheet) {
        HWND view = ShowPage(sheet, kViewPage);
        Press(view, IDC_VIEW_FIELD_TIPS);
        PropSheet_PressButton(sheet, PSBTN_OK);
        return true;
    }});
    frame->OnCommand(ID_TOOLS_OPTIONS);
    ASSERT_EQ(driver.done(), 1u);
    EXPECT_NE(gOptions.field_tips, before.tips);
    gOptions.field_tips = before.tips;
    EXPECT_TRUE(Take(gOptions) == before);
}

// The sheet opens over its owner, not at the top left of the screen.
TEST_F(OptionsSheet, OpensOverItsOwner)
{
    HWND owner =
        CreateWindowExW(0, window_testing::TestClassName(), L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300,
                        200, 800, 600, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    RECT outer = {}, sheet_rect = {};
    GetWindowRect(owner, &outer);
    StepDriver driver({[&](HWND sheet) {
        GetWindowRect(sheet, &sheet_rect);
        PropSheet_PressButton(sheet, PSBTN_CANCEL);
        return true;
    }});
    EXPECT_FALSE(OptionsDlg(options).Run(owner, nullptr));
    ASSERT_EQ(driver.done(), 1u);
    EXPECT_NEAR((sheet_rect.left + sheet_rect.right) / 2, (outer.left + outer.right) / 2, 2);
    EXPECT_NEAR((sheet_rect.top + sheet_rect.bottom) / 2, (outer.top + outer.bottom) / 2, 2);
    DestroyWindow(owner);
}

// The code page, summary information and transform properties dialogs, driven from a timer.
#include "ShellTesting.h"

#include "foundation/WindowText.h"
#include "resources/DocumentDialogsIds.h"
#include "shell/CodePageDlg.h"
#include "shell/SummaryInfoDlg.h"
#include "shell/TransformPropertiesDlg.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <msidefs.h>
#include <msiquery.h>

#include <cwctype>
#include <functional>

using testing_support::ScratchFolder;
using testing_support::ScriptedPrompts;
using window_testing::ClickDialogButton;
using window_testing::DialogDriver;

namespace {

std::wstring ItemText(HWND dialog, int control)
{
    return GetWindowTextString(GetDlgItem(dialog, control));
}

std::vector<std::wstring> ComboItems(HWND dialog, int control)
{
    std::vector<std::wstring> items;
    HWND combo = GetDlgItem(dialog, control);
    for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i)
        items.push_back(GetComboBoxItemText(combo, i));
    return items;
}

// A database whose summary stream holds just what `fill` writes, read back as the tabs read it.
class SummaryDatabase
{
public:
    explicit SummaryDatabase(const std::function<void(MSIHANDLE summary)>& fill)
    {
        std::wstring path = folder_.file(L"s.msi");
        MSIHANDLE database = 0;
        EXPECT_EQ(0u, MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database));
        MSIHANDLE summary = 0;
        EXPECT_EQ(0u, MsiGetSummaryInformationW(database, nullptr, 20, &summary));
        fill(summary);
        EXPECT_EQ(0u, MsiSummaryInfoPersist(summary));
        MsiCloseHandle(summary);
        EXPECT_EQ(0u, MsiDatabaseCommit(database));
        MsiSummaryInfo::Load(database, map);
        MsiCloseHandle(database);
    }
    SummaryInfoMap map;
    std::wstring text(UINT pid) { return map.at(pid)->to_string(); }

private:
    ScratchFolder folder_;
};

void SetText(MSIHANDLE summary, UINT pid, const wchar_t* text)
{
    EXPECT_EQ(0u, MsiSummaryInfoSetPropertyW(summary, pid, VT_LPSTR, 0, nullptr, text));
}

void SetNumber(MSIHANDLE summary, UINT pid, int value)
{
    EXPECT_EQ(0u, MsiSummaryInfoSetPropertyW(summary, pid, VT_I4, value, nullptr, nullptr));
}

} // namespace

TEST(CodePageDialog, NumbersOnlyAnEmptyTextIsZeroAndReadOnlyChangesNothing)
{
    struct Case
    {
        bool read_only;
        std::vector<const wchar_t*> typed; // each typed, then OK
        bool changed;
        int code_page;
        size_t messages;
    };
    const Case cases[] = {
        {false, {L"1252x", L""}, true, 0, 1},
        {false, {L"1252"}, false, 1252, 0},
        {false, {L"65001"}, true, 65001, 0},
        {true, {}, false, 1252, 0},
    };
    for (const Case& test : cases) {
        ScriptedPrompts prompts;
        for (size_t i = 0; i < test.messages; ++i)
            prompts.answer(IDOK);
        size_t step = 0;
        bool edit_enabled = true;
        DialogDriver driver([&](HWND dialog) {
            edit_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_NEW_CODE_PAGE));
            if (step < test.typed.size())
                SetDlgItemTextW(dialog, IDC_NEW_CODE_PAGE, test.typed[step]);
            ++step;
            ClickDialogButton(dialog, IDOK);
            return step >= test.typed.size();
        });
        CodePageDlg dialog;
        EXPECT_EQ(dialog.DoModal(1252, test.read_only, nullptr), test.changed) << test.typed.size();
        EXPECT_EQ(dialog.CodePage(), test.code_page);
        EXPECT_EQ(edit_enabled, !test.read_only);
        ASSERT_EQ(prompts.asked().size(), test.messages);
        for (const PromptRequest& asked : prompts.asked()) {
            EXPECT_EQ(asked.caption, L"Number only");
            EXPECT_EQ(asked.text, L"You have specified an invalid number");
        }
    }
}

TEST(TransformPropertiesDialog, KeepsBitsWithoutControlsAndOnlyWritesWhatChanged)
{
    struct Case
    {
        unsigned validation, errors;
        std::function<void(HWND)> act; // null: OK without a change
        INT_PTR result;
        unsigned new_validation, new_errors;
    };
    const unsigned mixed = 2 | 4 | 2048 | 16 | 512;
    const Case cases[] = {
        {mixed, 1 | 16, nullptr, 0, mixed, 1 | 16},
        // Same Product off: the platform bit 4 stays, the version choices are read back as shown.
        {mixed, 1 | 16,
         [](HWND d) {
             ClickDialogButton(d, IDC_TP_SAME_PRODUCT);
             CheckDlgButton(d, IDC_TP_SAME_PRODUCT, BST_UNCHECKED);
         },
         0, 4 | 2048 | 16 | 512, 1 | 16},
        // No version flag: the box is off and its choices are the middle ones.
        {0, 0,
         [](HWND d) {
             EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_TP_VERSION_PARTS)));
             EXPECT_EQ(ItemText(d, IDC_TP_VERSION_PARTS), L"Major.Minor.Upgrade (#.#.#)");
             EXPECT_EQ(ItemText(d, IDC_TP_VERSION_RELATION), L"= transform");
             CheckDlgButton(d, IDC_TP_PRODUCT_VERSION, BST_CHECKED);
             ClickDialogButton(d, IDC_TP_PRODUCT_VERSION);
             EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, IDC_TP_VERSION_PARTS)));
             CheckDlgButton(d, IDC_TP_CHANGE_CODE_PAGE, BST_CHECKED);
         },
         0, 32 | 256, 32},
    };
    for (const Case& test : cases) {
        DialogDriver driver([&](HWND dialog) {
            if (test.act)
                test.act(dialog);
            ClickDialogButton(dialog, IDOK);
            return true;
        });
        TransformPropertiesDlg dialog(test.validation, test.errors);
        EXPECT_EQ(dialog.Run(nullptr), test.result);
        EXPECT_EQ(dialog.Validation(), test.new_validation);
        EXPECT_EQ(dialog.Errors(), test.new_errors);
    }
    DialogDriver cancel([](HWND dialog) {
        CheckDlgButton(dialog, IDC_TP_SAME_LANGUAGE, BST_CHECKED);
        ClickDialogButton(dialog, IDCANCEL);
        return true;
    });
    TransformPropertiesDlg dialog(2, 1);
    EXPECT_EQ(dialog.Run(nullptr), 1);
    EXPECT_EQ(dialog.Validation(), 2u);
}

TEST(SummaryInfoDialog, OkWithoutChangesWritesNothingTheDialogCannotShowExactly)
{
    // A null template, both image-type flags and an odd security value: none survives a rewrite.
    SummaryDatabase database([](MSIHANDLE summary) {
        SetText(summary, PID_TITLE, L"Installation Database");
        SetNumber(summary, PID_PAGECOUNT, 200);
        SetNumber(summary, PID_WORDCOUNT, 6);
        SetNumber(summary, PID_SECURITY, 1);
    });
    std::wstring image_type;
    DialogDriver driver([&](HWND dialog) {
        image_type = ItemText(dialog, IDC_SI_IMAGE_TYPE);
        ClickDialogButton(dialog, IDOK);
        return true;
    });
    SummaryInfoDlg dialog(database.map, false);
    EXPECT_EQ(dialog.Run(nullptr), 2);
    EXPECT_EQ(image_type, L"Admin External. Long filenames");
    EXPECT_TRUE(database.map.at(PID_TEMPLATE)->is_null());
    EXPECT_EQ(database.text(PID_WORDCOUNT), L"6");
    EXPECT_EQ(database.text(PID_SECURITY), L"1");
}

TEST(SummaryInfoDialog, ShowsTheTemplateAndPlatformsAndWritesWhatTheUserChanged)
{
    SummaryDatabase database([](MSIHANDLE summary) {
        SetText(summary, PID_TEMPLATE, L"x64;1033");
        SetNumber(summary, PID_PAGECOUNT, 110);
        SetNumber(summary, PID_WORDCOUNT, 12);
    });
    std::vector<std::wstring> platforms_110, platforms_200;
    std::wstring platform, languages, guid;
    bool elevated = true;
    DialogDriver driver([&](HWND dialog) {
        platform = ItemText(dialog, IDC_SI_PLATFORM);
        languages = ItemText(dialog, IDC_SI_LANGUAGES);
        elevated = IsDlgButtonChecked(dialog, IDC_SI_ELEVATED) == BST_CHECKED;
        platforms_110 = ComboItems(dialog, IDC_SI_PLATFORM);
        SetDlgItemTextW(dialog, IDC_SI_SCHEMA, L"200");
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SI_SCHEMA, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SI_SCHEMA)));
        platforms_200 = ComboItems(dialog, IDC_SI_PLATFORM);
        ClickDialogButton(dialog, IDC_SI_NEW_GUID);
        guid = ItemText(dialog, IDC_SI_PACKAGE_CODE);
        SetDlgItemTextW(dialog, IDC_SI_TITLE, L"New title");
        ClickDialogButton(dialog, IDOK);
        return true;
    });
    SummaryInfoDlg dialog(database.map, false);
    EXPECT_EQ(dialog.Run(nullptr), 1);
    EXPECT_EQ(platform, L"x64");
    EXPECT_EQ(languages, L"1033");
    EXPECT_FALSE(elevated);
    EXPECT_EQ(platforms_110, std::vector<std::wstring>{L"Intel"});
    EXPECT_EQ(platforms_200, (std::vector<std::wstring>{L"Intel", L"Intel64", L"AMD64"}));
    ASSERT_EQ(guid.size(), 38u);
    EXPECT_EQ(guid.front(), L'{');
    for (wchar_t c : guid)
        EXPECT_FALSE(std::iswlower(c)) << "lower-case letter in " << std::string(guid.begin(), guid.end());
    EXPECT_EQ(database.text(PID_TEMPLATE), L"x64;1033");
    EXPECT_EQ(database.text(PID_TITLE), L"New title");
    EXPECT_EQ(database.text(PID_REVNUMBER), guid);
    EXPECT_EQ(database.text(PID_PAGECOUNT), L"200");
    EXPECT_EQ(database.text(PID_WORDCOUNT), L"12");
}

TEST(SummaryInfoDialog, ReadOnlyDisablesEveryEditableControl)
{
    SummaryDatabase database([](MSIHANDLE summary) { SetText(summary, PID_TITLE, L"t"); });
    std::vector<int> enabled;
    DialogDriver driver([&](HWND dialog) {
        for (int control : {IDC_SI_TITLE, IDC_SI_PLATFORM, IDC_SI_SCHEMA, IDC_SI_SECURITY, IDC_SI_IMAGE_TYPE,
                            IDC_SI_CODE_PAGE, IDC_SI_NEW_GUID, IDC_SI_LAST_SAVED_BY})
            if (IsWindowEnabled(GetDlgItem(dialog, control)))
                enabled.push_back(control);
        window_testing::SaveScreenshot(dialog, testing_support::BuildPath(L"screenshot-summary-info.png"));
        ClickDialogButton(dialog, IDOK);
        return true;
    });
    SummaryInfoDlg dialog(database.map, true);
    EXPECT_EQ(dialog.Run(nullptr), 2);
    EXPECT_TRUE(enabled.empty());
}

TEST(SummaryInfoDialog, ACodePageThatDoesNotFitSixteenBitsIsRefused)
{
    struct Case
    {
        std::vector<const wchar_t*> typed; // each typed, then OK
        const wchar_t* stored;
        size_t messages;
    };
    const Case cases[] = {
        {{L"70000", L"850"}, L"850", 1},
        {{L"-32769", L"65536", L"-1"}, L"-1", 2},
        {{L"65001"}, L"-535", 0},
    };
    for (const Case& test : cases) {
        SummaryDatabase database([](MSIHANDLE summary) {
            EXPECT_EQ(0u, MsiSummaryInfoSetPropertyW(summary, PID_CODEPAGE, VT_I2, 1252, nullptr, nullptr));
        });
        ScriptedPrompts prompts;
        for (size_t i = 0; i < test.messages; ++i)
            prompts.answer(IDOK);
        size_t step = 0;
        DialogDriver driver([&](HWND dialog) {
            SetDlgItemTextW(dialog, IDC_SI_CODE_PAGE, test.typed[step++]);
            ClickDialogButton(dialog, IDOK);
            return step >= test.typed.size();
        });
        SummaryInfoDlg dialog(database.map, false);
        EXPECT_EQ(dialog.Run(nullptr), 1) << test.typed[0];
        EXPECT_EQ(database.text(PID_CODEPAGE), test.stored) << test.typed[0];
        ASSERT_EQ(prompts.asked().size(), test.messages) << test.typed[0];
        for (const PromptRequest& asked : prompts.asked())
            EXPECT_EQ(asked.caption, L"Number only");
    }
}

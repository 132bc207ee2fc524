// The profile dialog and the dialog that picks the documents and the profile of a run, worked from a
// timer as a person would.
#include "validation/ValidationDlg.h"
#include "validation/ValidationFilesDlg.h"
#include "validation/ValidationTesting.h"

#include "foundation/RegKey.h"
#include "resources/ValidationIds.h"
#include "shell/DialogDriver.h"
#include "shell/PackageTesting.h"
#include "shell/ShellTesting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <commctrl.h>

using namespace shell_testing;
using namespace validation_testing;

namespace {

const wchar_t kFiles[] = L"Select Files to Validate";
const wchar_t kProfile[] = L"Validation Profile";

// A button whose handler opens a modal dialog must not be pressed from inside the driver's step.
void PostPress(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::vector<std::wstring> ComboEntries(HWND dialog)
{
    HWND combo = GetDlgItem(dialog, IDC_FILES_PROFILE);
    std::vector<std::wstring> entries;
    for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[128] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

using ValidationDialogs = StoredProfilesTest;

} // namespace

TEST_F(ValidationDialogs, TheProfileDialogSavesTheShownChoicesAndRefusesNamesThatAreNoKeyOfTheirOwn)
{
    StoreProfile(L"Mine", {{suite_, false, {L"TSTICE01"}}});
    StoreProfile(L"Other", {{suite_, true, {L"TSTICE02"}}});
    struct Case
    {
        const char* what;
        std::wstring name;
        bool refused;
    };
    const Case cases[] = {
        {"empty", L"", true},
        {"with a backslash", L"a\\b", true},
        {"onto another profile", L"other", true},
        {"renamed", L"Renamed", false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        testing_support::ScriptedPrompts prompts;
        if (test.refused)
            prompts.answer(IDOK);
        std::vector<std::wstring> shown_ices;
        ValidationDlg dialog(L"Mine");
        DialogDriver driver([&] {
            HWND window = FindDialog(kProfile);
            if (!window)
                return false;
            HWND cubs = GetDlgItem(window, IDC_PROFILE_CUBS);
            HWND ices = GetDlgItem(window, IDC_PROFILE_ICES);
            EXPECT_EQ(1, ListView_GetItemCount(cubs));
            EXPECT_TRUE(ListView_GetCheckState(cubs, 0));
            for (int i = 0; i < SendMessageW(ices, LB_GETCOUNT, 0, 0); ++i)
                if (SendMessageW(ices, LB_GETSEL, i, 0) > 0)
                    shown_ices.push_back(std::to_wstring(i));
            // One more ICE and the information messages.
            SendMessageW(ices, LB_SETSEL, TRUE, 2);
            CheckDlgButton(window, IDC_PROFILE_SHOW_INFO, BST_CHECKED);
            SetDlgItemTextW(window, IDC_PROFILE_NAME, test.name.c_str());
            SaveScreenshot(window, L"validation-profile.png");
            PressButton(window, IDOK);
            if (FindDialog(kProfile))
                PressButton(window, IDCANCEL);
            return true;
        });
        EXPECT_EQ(test.refused ? IDCANCEL : IDOK, dialog.DoModal(nullptr));
        EXPECT_EQ(std::vector<std::wstring>{L"0"}, shown_ices);
        ASSERT_EQ(test.refused ? 1u : 0u, prompts.asked().size());
        if (test.refused) {
            EXPECT_EQ(L"Invalid Name", prompts.asked()[0].caption);
        }
        EXPECT_TRUE(ProfileKeyExists(L"Other"));
        EXPECT_EQ(test.refused, ProfileKeyExists(L"Mine")) << "a rename removes the old key";
        if (!test.refused) {
            ValidationProfile saved(L"Renamed");
            ASSERT_EQ(1u, saved.cubs().size());
            EXPECT_EQ((std::vector<uint32_t>{0, 2}), saved.cubs()[0].selected_ices);
            EXPECT_TRUE(saved.cubs()[0].ShowInfo);
        }
    }
}

TEST_F(ValidationDialogs, NewProposesAFreeNameAndLeavesNoKeyWhenCancelled)
{
    StoreProfile(L"New Validation Profile", {});
    StoreProfile(L"New Validation Profile1", {});
    ValidationFilesDlg dialog({}, {});
    int stage = 0;
    std::wstring proposed;
    DialogDriver driver([&] {
        HWND files = FindDialog(kFiles);
        HWND profile = FindDialog(kProfile);
        if (stage == 0 && files) {
            PostPress(files, IDC_FILES_NEW);
            stage = 1;
        } else if (stage == 1 && profile) {
            wchar_t name[128] = {};
            GetDlgItemTextW(profile, IDC_PROFILE_NAME, name, 128);
            proposed = name;
            PressButton(profile, IDCANCEL);
            stage = 2;
        } else if (stage == 2 && files && !profile) {
            EXPECT_EQ((std::vector<std::wstring>{L"New Validation Profile", L"New Validation Profile1"}),
                      ComboEntries(files));
            PressButton(files, IDCANCEL);
            return true;
        }
        return false;
    });
    EXPECT_FALSE(dialog.DoModal(nullptr));
    EXPECT_EQ(L"New Validation Profile2", proposed);
    EXPECT_FALSE(ProfileKeyExists(L"New Validation Profile2"));
}

TEST_F(ValidationDialogs, DeleteRemovesOnlyTheChosenProfileAndKeepsTheLastOne)
{
    for (const wchar_t* name : {L"Alpha", L"Beta", L"Gamma"})
        StoreProfile(name, {});
    tfc::RegKey profiles;
    profiles.create(HKEY_CURRENT_USER, ValidationProfile::ProfilesKeyPath());
    profiles.set_string(L"LastUsedProfile", L"bet");
    testing_support::ScriptedPrompts prompts;
    prompts.answer(IDYES);
    prompts.answer(IDYES);
    prompts.answer(IDOK);
    ValidationFilesDlg dialog({}, {});
    std::vector<std::vector<std::wstring>> entries;
    DialogDriver driver([&] {
        HWND files = FindDialog(kFiles);
        if (!files)
            return false;
        // "bet" chose Beta: the first entry that begins with it, ignoring case.
        EXPECT_EQ(1, SendMessageW(GetDlgItem(files, IDC_FILES_PROFILE), CB_GETCURSEL, 0, 0));
        for (int i = 0; i < 3; ++i) {
            PressButton(files, IDC_FILES_DELETE);
            entries.push_back(ComboEntries(files));
        }
        PressButton(files, IDCANCEL);
        return true;
    });
    EXPECT_FALSE(dialog.DoModal(nullptr));
    EXPECT_EQ((std::vector<std::vector<std::wstring>>{{L"Alpha", L"Gamma"}, {L"Gamma"}, {L"Gamma"}}),
              entries);
    ASSERT_EQ(3u, prompts.asked().size());
    EXPECT_EQ(L"Are you sure you wish to delete Beta?", prompts.asked()[0].text);
    EXPECT_EQ(L"Cannot delete", prompts.asked()[2].caption);
    EXPECT_FALSE(ProfileKeyExists(L"Alpha"));
    EXPECT_FALSE(ProfileKeyExists(L"Beta"));
    EXPECT_TRUE(ProfileKeyExists(L"Gamma"));
}

TEST_F(ValidationDialogs, AProfileOpenedWithoutANameIsSavedBesideTheOthers)
{
    // Edit with an empty profile box opens the dialog on "": naming it must not remove the key of all.
    StoreProfile(L"Mine", {{suite_, false, {L"TSTICE01"}}});
    ValidationDlg dialog(L"");
    DialogDriver driver([&] {
        HWND window = FindDialog(kProfile);
        if (!window)
            return false;
        SetDlgItemTextW(window, IDC_PROFILE_NAME, L"Fresh");
        PressButton(window, IDOK);
        return true;
    });
    EXPECT_EQ(IDOK, dialog.DoModal(nullptr));
    EXPECT_TRUE(ProfileKeyExists(L"Mine"));
    EXPECT_TRUE(ProfileKeyExists(L"Fresh"));
}

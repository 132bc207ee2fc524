// The table-selection dialog and the About box.
#include "DialogDriver.h"
#include "shell/AboutDlg.h"
#include "shell/SelectionDlg.h"

#include <gtest/gtest.h>
#include <commctrl.h>

using namespace shell_testing;

namespace {

std::wstring ControlText(HWND control)
{
    wchar_t text[256] = {};
    GetWindowTextW(control, text, 256);
    return text;
}

} // namespace

TEST(SelectionDlg, InvertTicksTheOthersAndOkReturnsOnlyTheTicked)
{
    SelectionDlg dialog;
    dialog.items = {{5, L"Eve"}, {1, L"Ann"}, {3, L"Cid"}, {2, L"Bob"}, {4, L"Dan"}};
    dialog.title = L"Drop Tables";
    dialog.prompt = L"Choose the tables";
    dialog.single_selection = true;
    std::vector<std::wstring> shown;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"Drop Tables");
        if (!window)
            return false;
        HWND list = GetDlgItem(window, 1050);
        EXPECT_EQ(L"Choose the tables", ControlText(GetDlgItem(window, 1051)));
        EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & LVS_SINGLESEL);
        for (int i = 0; i < ListView_GetItemCount(list); ++i) {
            wchar_t text[32] = {};
            ListView_GetItemText(list, i, 0, text, 32);
            shown.push_back(text);
        }
        // Two of five ticked; inverting leaves the other three.
        ListView_SetCheckState(list, 1, TRUE);
        ListView_SetCheckState(list, 3, TRUE);
        PressButton(window, 7);
        PressButton(window, IDOK);
        return true;
    });
    EXPECT_EQ(IDOK, dialog.DoModal(nullptr));
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ((std::vector<std::wstring>{L"Ann", L"Bob", L"Cid", L"Dan", L"Eve"}), shown);
    EXPECT_EQ((std::map<int, std::wstring>{{1, L"Ann"}, {3, L"Cid"}, {5, L"Eve"}}), dialog.Chosen());

    // Cancel chooses nothing.
    DialogDriver cancel([&] {
        HWND window = FindDialog(L"Drop Tables");
        if (!window)
            return false;
        ListView_SetCheckState(GetDlgItem(window, 1050), 0, TRUE);
        PressButton(window, IDCANCEL);
        return true;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal(nullptr));
    EXPECT_TRUE(dialog.Chosen().empty());
}

TEST(AboutDlg, ShowsTheProgramsVersionAndAnyClickClosesIt)
{
    EXPECT_EQ(L"1.0.0.1", AboutDlg::ProgramVersion());
    AboutDlg dialog;
    std::wstring text;
    DialogDriver driver([&] {
        HWND window = FindDialog(L"About");
        if (!window)
            return false;
        text = ControlText(GetDlgItem(window, 1051));
        RECT button = {};
        GetWindowRect(GetDlgItem(window, IDOK), &button);
        EXPECT_EQ(0, button.right - button.left) << "OK is out of sight";
        PostMessageW(window, WM_RBUTTONDOWN, 0, MAKELPARAM(5, 5));
        return true;
    });
    EXPECT_EQ(IDOK, dialog.DoModal(nullptr));
    EXPECT_TRUE(driver.finished());
    EXPECT_EQ(L"Dravnetta: 1.0.0.1", text);
}

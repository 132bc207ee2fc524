#include "views/grid/MultiLineEditDlg.h"

#include "foundation/Errors.h"
#include "resources/GridIds.h"

#include <windows.h>
#include <richedit.h>
#include <algorithm>
#include <vector>

namespace {

const size_t kDefaultLimit = 0x100000;

void LoadRichEdit()
{
    static HMODULE library = nullptr;
    if (!library) {
        library = LoadLibraryW(L"Riched20.dll");
        if (!library)
            tfc::throw_last_error(L"LoadLibrary");
    }
}

std::wstring RichEditText(HWND control)
{
    GETTEXTLENGTHEX length = {GTL_USECRLF | GTL_PRECISE | GTL_NUMCHARS, 1200};
    LRESULT count = SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (count < 0)
        count = 0;
    std::vector<wchar_t> buffer(static_cast<size_t>(count) + 1, 0);
    GETTEXTEX get = {};
    get.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;
    LRESULT copied = SendMessageW(control, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data(), static_cast<size_t>(std::max<LRESULT>(copied, 0)));
}

} // namespace

MultiLineEditDlg::MultiLineEditDlg() : Dialog(L"MultiLineEditDlg") {}

bool MultiLineEditDlg::DoModal(const std::wstring& text, HWND owner)
{
    LoadRichEdit();
    text_ = text;
    return run_modal(IDD_MULTILINE_EDITOR, owner) == IDOK;
}

INT_PTR MultiLineEditDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        dialog_ = dialog;
        return OnInitDialog();
    case WM_COMMAND:
        if (HIWORD(wparam) != 0 && HIWORD(wparam) != 1)
            break;
        if (LOWORD(wparam) == IDOK)
            OnOk();
        else if (LOWORD(wparam) == IDCANCEL)
            EndDialog(dialog, IDCANCEL);
        else
            break;
        return TRUE;
    }
    return FALSE;
}

BOOL MultiLineEditDlg::OnInitDialog()
{
    HWND control = GetDlgItem(dialog_, IDC_MULTILINE_TEXT);
    // Whatever the text's length, it goes in whole.
    SendMessageW(control, EM_EXLIMITTEXT, 0, std::max(kDefaultLimit, text_.size() + 1));
    SetWindowTextW(control, text_.c_str());
    SendMessageW(control, EM_SETMODIFY, FALSE, 0);
    SetFocus(control);
    return FALSE;
}

void MultiLineEditDlg::OnOk()
{
    HWND control = GetDlgItem(dialog_, IDC_MULTILINE_TEXT);
    if (SendMessageW(control, EM_GETMODIFY, 0, 0))
        text_ = RichEditText(control);
    EndDialog(dialog_, IDOK);
}

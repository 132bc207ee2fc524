#include "shell/AboutDlg.h"

#include "resources/ShellDialogsIds.h"
#include "resources/ShellIds.h"
#include "shell/MsiFileTabBase.h"

#include <windows.h>
#include <cstdio>
#include <vector>

AboutDlg::AboutDlg() : Dialog(L"AboutDlg") {}

std::wstring AboutDlg::ProgramVersion()
{
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH))
        tfc::throw_last_error(L"GetModuleFileName");
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0)
        tfc::throw_last_error(L"GetFileVersionInfoSize");
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path, 0, size, data.data()))
        tfc::throw_last_error(L"GetFileVersionInfo");
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
        throw tfc::Win32Error(GetLastError(), L"VerQueryValue");
    wchar_t text[64];
    swprintf(text, 64, L"%i.%i.%i.%i", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
             HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text;
}

INT_PTR AboutDlg::DoModal(HWND owner)
{
    text_ = MsiFileTabBase::LoadAppName() + L": " + ProgramVersion();
    if (!LoadLibraryW(L"Riched20.dll"))
        tfc::throw_last_error(L"LoadLibrary");
    return run_modal(IDD_ABOUT, owner);
}

INT_PTR AboutDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // Out of sight, but Enter and Escape still reach them.
        SetWindowPos(GetDlgItem(dialog, IDOK), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
        SetWindowPos(GetDlgItem(dialog, IDCANCEL), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
        SetDlgItemTextW(dialog, IDC_ABOUT_TEXT, text_.c_str());
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        EndDialog(dialog, IDOK);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

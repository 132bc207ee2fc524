#pragma once
// Dialog 138: the program's name and version. Any click, Enter or Escape closes it.
#include "foundation/Dialog.h"

#include <string>

class AboutDlg : public tfc::Dialog
{
public:
    AboutDlg();
    // Reads the version first: a failure throws Win32Error to the caller before anything shows.
    INT_PTR DoModal(HWND owner);
    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

    // "1.2.3.4" from the version resource of the running program.
    static std::wstring ProgramVersion();

private:
    std::wstring text_;
};

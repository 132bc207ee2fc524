#pragma once
// "Database Code Page": asks for a new code page of the database.
#include "foundation/Dialog.h"

class CodePageDlg : public tfc::Dialog
{
public:
    CodePageDlg() : Dialog(L"CodePageDlg") {}

    // True when OK was pressed with a code page other than `code_page`; the new one is then CodePage().
    bool DoModal(int code_page, bool read_only, HWND owner);
    int CodePage() const { return code_page_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    int code_page_ = 0;
    bool read_only_ = false;
};

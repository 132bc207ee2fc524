#pragma once
// Dialog 132 "Dialog Preview": stays open while an installer dialog is previewed; "Finished" ends it.
#include "foundation/Dialog.h"

class UIPreviewDlg : public tfc::Dialog
{
public:
    UIPreviewDlg();
    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;
};

// Runs dialog 132 over `owner`: 1 for "Finished", 2 for Escape.
INT_PTR ShowUIPreviewDialog(HWND owner);

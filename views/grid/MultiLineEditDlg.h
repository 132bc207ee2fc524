#pragma once
// Dialog 161 "Multi-line Editor": a rich edit control for texts with line breaks and tabs.
#include "foundation/Dialog.h"

#include <string>

class MultiLineEditDlg : public tfc::Dialog
{
public:
    MultiLineEditDlg();
    // Runs the dialog over `owner` with `text`; true when closed with OK, the edited text then in Text().
    // A text the user did not touch comes back exactly as it went in (the control would turn lone line
    // feeds into CR LF).
    bool DoModal(const std::wstring& text, HWND owner);
    const std::wstring& Text() const { return text_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    BOOL OnInitDialog();
    void OnOk();

    std::wstring text_;
    HWND dialog_ = nullptr;
};

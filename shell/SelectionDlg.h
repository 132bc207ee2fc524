#pragma once
// Dialog 134 "Selection": a check-box list from which the user picks some of the offered items (tables to
// add, export or drop).
#include "foundation/FormDialog.h"

#include <map>
#include <string>

class SelectionDlg : public tfc::FormDialog
{
public:
    SelectionDlg();

    // Runs the dialog over `owner`: 1 for OK (Chosen() then holds the checked items), 2 for Cancel.
    INT_PTR DoModal(HWND owner);

    // Offered items by key, shown in key order.
    std::map<int, std::wstring> items;
    // One highlighted row at a time; check marks are still free.
    bool single_selection = false;
    std::wstring title;
    std::wstring prompt;

    const std::map<int, std::wstring>& Chosen() const { return chosen_; }

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id) override;
    void OnOk() override;
    HWND List() const;

    std::map<int, std::wstring> chosen_;
};

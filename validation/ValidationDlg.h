#pragma once
// Dialog 114 "Validation Profile": names a profile and picks its cubs, their ICEs and whether their
// information messages are kept; OK saves it (under a new name, the old key goes).
#include "foundation/FormDialog.h"
#include "validation/ValidationProfile.h"

#include <string>

class ValidationDlg : public tfc::FormDialog
{
public:
    // Builds the profile of that name (installed cubs and stored choices).
    explicit ValidationDlg(const std::wstring& profile_name);

    // IDOK once the profile was saved, else IDCANCEL.
    INT_PTR DoModal(HWND owner);
    ValidationProfile& profile() { return profile_; }
    // A cub of the profile and its row, named by its path.
    void AddCub(const std::wstring& path);

private:
    BOOL OnInitDialog() override;
    LRESULT OnNotify(NMHDR* header) override;
    bool OnCommand(int id) override;
    void InsertCubRow(const ValidationCub& cub);
    // The shown cub takes the ICE list's selection and the check box.
    void StoreShownCub();
    void ShowCub(int row);
    void OnBrowse();
    void OnOk() override;
    // The text that refuses the name, or empty when it will do.
    std::wstring RefusalOf(const std::wstring& name) const;
    HWND Cubs() const;
    HWND Ices() const;

    std::wstring original_name_;
    ValidationProfile profile_;
    int shown_ = -1;
};

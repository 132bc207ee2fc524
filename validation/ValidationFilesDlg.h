#pragma once
// Dialog 119 "Select Files to Validate": the open documents to validate, ticked, and the validation
// profile to run, which the small buttons edit, create and delete.
#include "foundation/FormDialog.h"
#include "foundation/ToolTip.h"
#include "validation/ValidationProfile.h"

#include <string>
#include <vector>

class EditableMsiFileTab;

class ValidationFilesDlg : public tfc::FormDialog, private ToolTip::Sink
{
public:
    // `documents` are listed in order; those also in `ticked` start ticked.
    ValidationFilesDlg(std::vector<EditableMsiFileTab*> documents, std::vector<EditableMsiFileTab*> ticked);

    // True when OK was pressed with a profile; then Chosen() and Profile() hold the answer.
    bool DoModal(HWND owner);
    const std::vector<EditableMsiFileTab*>& Chosen() const { return chosen_; }
    const ValidationProfileRef& Profile() const { return profile_; }

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id) override;
    // False when there was no profile and the user would not make one.
    bool LoadProfiles();
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnOk() override;
    // Runs the profile dialog; the saved profile's name, or empty when cancelled.
    std::wstring EditProfile(const std::wstring& name);
    void SelectProfile(const std::wstring& name);
    void GetToolTipText(NMTTDISPINFOW* info) override;
    HWND List() const;
    HWND Combo() const;

    std::vector<EditableMsiFileTab*> documents_;
    std::vector<EditableMsiFileTab*> ticked_;
    std::vector<EditableMsiFileTab*> chosen_;
    ValidationProfileRef profile_;
    ToolTip tips_;
};

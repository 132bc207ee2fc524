#pragma once
// The pages of the options sheet. Each edits its fields of a staged copy of the options; the sheet
// puts the copy into the options only when it ends with OK.
#include "foundation/Dialog.h"
#include "foundation/Options.h"

#include <prsht.h>
#include <string>

// The options the sheet edits, apart from the options object that saves itself at exit.
struct EditedOptions
{
    int last_saved_by_state = Options::SI_USERNAME;
    std::wstring last_saved_by_name;
    int tracking_threshold = 0;
    bool field_tips = false;
    int bit_flags_display = Options::BIT_FLAGS_DEFAULT;
    bool bit_flags_menu_numbers = true;

    static EditedOptions From(const Options& options);
    void StoreIn(Options& options) const;
};

// A page bound to its dialog box at WM_INITDIALOG, from the PROPSHEETPAGEW that made it.
class OptionsPage : public tfc::Dialog
{
public:
    OptionsPage(const wchar_t* name, int resource, EditedOptions& staged);
    PROPSHEETPAGEW Page();
    // The sheet opens at the top left of the screen: the page shown first puts it over its owner (pages
    // made later, on a first visit, leave it where the user has it).
    void CentreSheetWhenMade() { centres_sheet_ = true; }

    INT_PTR dialog_proc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) override;

protected:
    virtual void OnInit(HWND page) = 0;
    virtual void OnCommand(HWND, UINT) {}
    // PSNRET_NOERROR stores; PSNRET_INVALID or PSNRET_INVALID_NOCHANGEPAGE keeps the sheet open.
    virtual LRESULT OnApply(HWND page) = 0;
    EditedOptions& staged_;

private:
    static INT_PTR CALLBACK FirstMessage(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
    int resource_;
    bool centres_sheet_ = false;
};

class SaveOptionsPage : public OptionsPage
{
public:
    explicit SaveOptionsPage(EditedOptions& staged);

private:
    void OnInit(HWND page) override;
    void OnCommand(HWND page, UINT id) override;
    LRESULT OnApply(HWND page) override;
};

class LoadOptionsPage : public OptionsPage
{
public:
    explicit LoadOptionsPage(EditedOptions& staged);
    // The threshold text as a signed 32-bit decimal number: leading blanks and a sign allowed, reading
    // stops at the first other character, out of range clamps, no digits give 0.
    static int ParseThreshold(const std::wstring& text);

private:
    void OnInit(HWND page) override;
    void OnCommand(HWND page, UINT id) override;
    LRESULT OnApply(HWND page) override;
};

class ViewOptionsPage : public OptionsPage
{
public:
    explicit ViewOptionsPage(EditedOptions& staged);

private:
    void OnInit(HWND page) override;
    LRESULT OnApply(HWND page) override;
};

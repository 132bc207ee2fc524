#include "shell/OptionsDlg.h"

#include "foundation/Errors.h"
#include "shell/OptionsPages.h"

bool OptionsDlg::Run(HWND owner, PFNPROPSHEETCALLBACK callback)
{
    // The pages apply one after another, so a later page can refuse after an earlier one has stored:
    // they store into this copy, and only a sheet ended with OK hands it on.
    EditedOptions staged = EditedOptions::From(options_);
    SaveOptionsPage save(staged);
    LoadOptionsPage load(staged);
    ViewOptionsPage view(staged);
    save.CentreSheetWhenMade();
    PROPSHEETPAGEW pages[] = {save.Page(), load.Page(), view.Page()};

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags =
        PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP | (callback ? PSH_USECALLBACK : 0);
    header.hwndParent = owner;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = L"Options";
    header.nPages = ARRAYSIZE(pages);
    header.ppsp = pages;
    header.pfnCallback = callback;
    INT_PTR result = PropertySheetW(&header);
    if (result < 0)
        tfc::throw_last_error(L"PropertySheet");
    if (result == 0)
        return false;
    staged.StoreIn(options_);
    return true;
}

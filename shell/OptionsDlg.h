#pragma once
// The "Options" property sheet: Save, Load and View pages over a staged copy of the options. OK puts
// the copy into the options; Cancel, or a page that refuses its values, changes nothing.
#include "foundation/Options.h"

#include <windows.h>
#include <prsht.h>

class OptionsDlg
{
public:
    explicit OptionsDlg(Options& options) : options_(options) {}

    // Runs the sheet modally; true when it ended with OK (and the options were stored). `callback`, when
    // given, is the sheet's PFNPROPSHEETCALLBACK (tests drive the sheet from PSCB_INITIALIZED).
    bool Run(HWND owner, PFNPROPSHEETCALLBACK callback = nullptr);

private:
    Options& options_;
};

#pragma once
// Showing a dialog of a database in the installer's preview. Wine's library runs a message loop of its
// own for a dialog with the Modal bit (Attributes 2, as almost every real dialog has), so the preview call
// never returns and the program locks. The dialog is shown with that bit cleared instead: the Dialog row is
// changed in the open database just while the library reads it and taken back before Show returns, so
// nothing of it ever reaches a commit.
#include "model/installer/MsiHandle.h"

#include <windows.h>
#include <msi.h>
#include <string>

namespace msi {

// The preview of one database, removed when this ends. Fails with Win32Error "MsiEnableUIPreview" as
// the library does (a database without a package code or page count in its summary information).
class DialogPreview
{
public:
    explicit DialogPreview(MSIHANDLE database);
    ~DialogPreview();
    DialogPreview(const DialogPreview&) = delete;
    DialogPreview& operator=(const DialogPreview&) = delete;

    // Shows the named dialog in place of any shown before; an unknown dialog throws "MsiPreviewDialog".
    void Show(const std::wstring& dialog);
    // Takes the shown dialog down, with a failure thrown. The destructor does it silently.
    void Remove();

private:
    MSIHANDLE database_;
    MsiHandle preview_;
    bool shown_ = false;
};

} // namespace msi

#include "views/tree/DialogPreview.h"

#include "model/installer/MsiDialogPreview.h"
#include "views/dialogs/UIPreviewDlg.h"

void PreviewInstallerDialog(MSIHANDLE database, const std::wstring& dialog, HWND owner)
{
    msi::DialogPreview preview(database);
    preview.Show(dialog);
    ShowUIPreviewDialog(owner);
    preview.Remove();
}

#include "views/tree/DialogPreview.h"

#include "model/installer/MsiApi.h"
#include "views/dialogs/UIPreviewDlg.h"

#include <msiquery.h>

namespace {

// Takes the shown dialog down however the preview ends. Closing the preview handle alone would leave
// the dialog's window up.
class ShownDialog
{
public:
    explicit ShownDialog(MSIHANDLE preview) : preview_(preview) {}
    ~ShownDialog()
    {
        if (preview_)
            MsiPreviewDialogW(preview_, nullptr);
    }
    ShownDialog(const ShownDialog&) = delete;
    ShownDialog& operator=(const ShownDialog&) = delete;
    // Removes it now, with a failure thrown.
    void Remove()
    {
        MSIHANDLE preview = preview_;
        preview_ = 0;
        msi::PreviewDialog(preview, std::wstring());
    }

private:
    MSIHANDLE preview_;
};

} // namespace

void PreviewInstallerDialog(MSIHANDLE database, const std::wstring& dialog, HWND owner)
{
    MsiHandle preview = msi::EnableUIPreview(database);
    msi::PreviewDialog(preview.get(), dialog);
    ShownDialog shown(preview.get());
    ShowUIPreviewDialog(owner);
    shown.Remove();
}

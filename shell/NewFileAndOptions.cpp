// The frame's New File and Options commands.
#include "shell/MainWindow.h"

#include "shell/NewFileDlg.h"
#include "foundation/Options.h"
#include "shell/OptionsDlg.h"

void MainWindow::OnNew()
{
    NewFileDlg dialog;
    if (dialog.Run(frame_) != IDOK)
        return;
    CreateFromTemplate(dialog.GetTemplatePath(), dialog.GetNewPath());
}

void MainWindow::OnOptions()
{
    OptionsDlg(gOptions).Run(GetActiveWindow());
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

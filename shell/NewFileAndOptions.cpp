// The frame's New File and Options commands.
#include "shell/MainWindow.h"

#include "foundation/Errors.h"
#include "shell/NewFileDlg.h"
#include "shell/Options.h"
#include "shell/OptionsDlg.h"

void MainWindow::OnNew()
{
    NewFileDlg dialog;
    if (dialog.Run(frame_) != IDOK)
        return;
    const std::wstring& path = dialog.GetNewPath();
    if (!CopyFileW(dialog.GetTemplatePath().c_str(), path.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    // The copy takes the template's attributes; a read-only template must still give a writable file.
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    OpenFiles({path}, false);
}

void MainWindow::OnOptions()
{
    OptionsDlg(gOptions).Run(GetActiveWindow());
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

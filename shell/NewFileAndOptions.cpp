// The frame's New File and Options commands. Their dialogs are not here yet: the commands arrive and do
// nothing more than the frame's part of them.
#include "shell/MainWindow.h"

void MainWindow::OnNew() {}

void MainWindow::OnOptions()
{
    // Every view repaints with the options as they are now.
    RedrawWindow(frame_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

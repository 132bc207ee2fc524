#include "shell/DocumentTab.h"

#include "shell/MainWindow.h"

void HasDirtyFlag::SetDirty(bool dirty)
{
    if (dirty)
        GetSystemTimeAsFileTime(&changed_);
    else
        changed_ = {0, 0};
}

HWND EditableMsiFileTab::DialogOwner()
{
    MainWindow* frame = GetMainWindow();
    return frame ? frame->GetWindowHandle() : GetWindowHandle();
}

void MDIChild::OnCommand(HMENU, UINT) {}

bool MDIChild::OpenDroppedFile(const std::vector<std::wstring>&)
{
    return false;
}

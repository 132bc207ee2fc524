#include "frame/DocumentTab.h"

void HasDirtyFlag::SetDirty(bool dirty)
{
    if (dirty)
        GetSystemTimeAsFileTime(&changed_);
    else
        changed_ = {0, 0};
}

void MDIChild::OnCommand(HMENU, UINT) {}

void MDIChild::TakeFocus()
{
    HWND window = GetWindowHandle();
    HWND target = last_focus_;
    if (!target || !IsWindow(target) || !IsChild(window, target) || !IsWindowVisible(target))
        target = MainControl();
    if (target)
        SetFocus(target);
}

bool MDIChild::OpenDroppedFile(const std::vector<std::wstring>&)
{
    return false;
}

HWND EditableMsiFileTab::DialogOwner()
{
    FrameWindow* frame = GetMainWindow();
    return frame ? frame->GetWindowHandle() : GetWindowHandle();
}

const ValidationStore* EditableMsiFileTab::GetValidationResults()
{
    FrameWindow* frame = GetMainWindow();
    return frame ? frame->GetValidationResults() : nullptr;
}

RowLinksPane* EditableMsiFileTab::GetRowLinksPane()
{
    FrameWindow* frame = GetMainWindow();
    return frame ? frame->GetRowLinksPane() : nullptr;
}

HIMAGELIST EditableMsiFileTab::GetImageList()
{
    FrameWindow* frame = GetMainWindow();
    return frame ? frame->GetImageList() : nullptr;
}

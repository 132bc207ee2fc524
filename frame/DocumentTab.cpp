#include "frame/DocumentTab.h"

void HasDirtyFlag::SetDirty(bool dirty)
{
    if (dirty)
        GetSystemTimeAsFileTime(&changed_);
    else
        changed_ = {0, 0};
}

void MDIChild::OnCommand(HMENU, UINT) {}

bool MDIChild::OpenDroppedFile(const std::vector<std::wstring>&)
{
    return false;
}

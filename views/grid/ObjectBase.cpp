#include "views/grid/ObjectBase.h"
#include "views/grid/ObjectWindow.h"

#include <algorithm>
#include <cwchar>

ObjectBase::~ObjectBase()
{
    if (attached_list_)
        attached_list_->DetachHandler(this);
}

LRESULT ObjectBase::GetDispInfo(ObjectWindow&, NMLVDISPINFOW*)
{
    return 0;
}

LRESULT ObjectBase::OnCustomDraw(ObjectWindow&, NMLVCUSTOMDRAW*)
{
    return 0;
}

LRESULT ObjectBase::OnClick(ObjectWindow&, NMITEMACTIVATE*)
{
    return 0;
}

LRESULT ObjectBase::OnKeyDown(ObjectWindow&, NMLVKEYDOWN*)
{
    return 0;
}

LRESULT ObjectBase::OnItemChanged(ObjectWindow&, NMLISTVIEW*)
{
    return 0;
}

LRESULT ObjectBase::OnContextMenu(ObjectWindow&, HWND, int, int)
{
    return 0;
}

void ObjectBase::Sort(int, int, bool) {}

InPlaceEditorPtr ObjectBase::CreateEditor(ObjectWindow&, int, int)
{
    return {};
}

void ObjectBase::SetDispText(NMLVDISPINFOW* info, const std::wstring& text)
{
    display_text_ = text;
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    size_t room = static_cast<size_t>(info->item.cchTextMax) - 1;
    size_t length = std::min(room, display_text_.size());
    wmemcpy(info->item.pszText, display_text_.data(), length);
    info->item.pszText[length] = 0;
}

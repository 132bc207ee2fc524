#include "views/grid/ObjectBase.h"
#include "views/grid/ObjectWindow.h"

#include "model/lookups/MsiTableLookup.h"

#include <algorithm>
#include <cwchar>

ObjectBase::~ObjectBase()
{
    if (attached_list_)
        attached_list_->DetachHandler(this);
    for (const auto& entry : edit_lookups_) {
        std::shared_ptr<MsiTableLookupBase> lookup = entry.first.lock();
        if (!lookup)
            continue;
        // A plain lookup tells whom it holds; any other is cleared, which costs nothing: every edit sets
        // its handler before it commits.
        auto* plain = dynamic_cast<MsiTableLookup*>(lookup.get());
        if (!plain || plain->GetEditHandler() == entry.second)
            lookup->SetEditHandler(nullptr);
    }
}

void ObjectBase::RememberEditHandler(const std::shared_ptr<MsiTableLookupBase>& lookup, EditHandler* handler)
{
    for (auto& entry : edit_lookups_) {
        if (entry.first.lock() == lookup) {
            entry.second = handler;
            return;
        }
    }
    // Forget lookups that are gone, so the list stays as short as the lookups this object edits.
    edit_lookups_.erase(std::remove_if(edit_lookups_.begin(), edit_lookups_.end(),
                                       [](const auto& entry) { return entry.first.expired(); }),
                        edit_lookups_.end());
    edit_lookups_.emplace_back(lookup, handler);
}

void ObjectBase::SetLookupEditHandler(const std::shared_ptr<MsiTableLookupBase>& lookup, EditHandler* handler)
{
    lookup->SetEditHandler(handler);
    RememberEditHandler(lookup, handler);
}

InPlaceEditorPtr ObjectBase::CreateLookupEditor(const std::shared_ptr<MsiTableLookupBase>& lookup, int column,
                                                int position, int sort_column, EditHandler* handler)
{
    RememberEditHandler(lookup, handler);
    return lookup->CreateEditor(column, position, sort_column, handler);
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
    ShowDisplayText(info);
}

void ObjectBase::ShowDisplayText(NMLVDISPINFOW* info)
{
    if (!(info->item.mask & LVIF_TEXT) || !info->item.pszText || info->item.cchTextMax <= 0)
        return;
    size_t room = static_cast<size_t>(info->item.cchTextMax) - 1;
    size_t length = std::min(room, display_text_.size());
    wmemcpy(info->item.pszText, display_text_.data(), length);
    info->item.pszText[length] = 0;
}

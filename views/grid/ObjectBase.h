#pragma once
// The handler of the owner-data table list: the list stores no rows and asks its handler (a tree node,
// the new-row dialog) for every cell text, colour, key, sort and editor.
#include "foundation/ToolTip.h"
#include "views/grid/InPlaceEditor.h"

#include <windows.h>
#include <commctrl.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class EditHandler;
class MsiTableLookupBase;
class ObjectWindow;

class ObjectBase : public ToolTip::Sink
{
public:
    ObjectBase() = default;
    ObjectBase(const ObjectBase&) = delete;
    ObjectBase& operator=(const ObjectBase&) = delete;
    // A handler that dies while a list still shows it is detached first, so the list never calls a
    // freed handler, whatever order its owner (a tree) frees things in.
    ~ObjectBase() override;

    // The tip for the cell under the cursor: ToolTip::Sink::GetToolTipText, by default tooltip_text_.
    // LVN_GETDISPINFOW: fills the text of (item, sub-item). Nothing filled by default.
    virtual LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info);
    virtual LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw);
    // After the list has moved its cell cursor.
    virtual LRESULT OnClick(ObjectWindow& list, NMITEMACTIVATE* click);
    // After the list's own key handling.
    virtual LRESULT OnKeyDown(ObjectWindow& list, NMLVKEYDOWN* key);
    virtual LRESULT OnItemChanged(ObjectWindow& list, NMLISTVIEW* change);
    virtual LRESULT OnContextMenu(ObjectWindow& list, HWND window, int x, int y);
    // Re-orders the rows; the list itself only repaints.
    virtual void Sort(int old_column, int new_column, bool ascending);
    // An editor for the cell, or an empty holder when it may not be edited.
    virtual InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column);

    // The list that shows this handler now, or null.
    ObjectWindow* AttachedList() const { return attached_list_; }

    // Sets `handler` (this object's EditHandler side) as the lookup's edit handler and remembers it: the
    // destructor takes it back from a lookup that still holds it, so no later edit calls a freed handler.
    void SetLookupEditHandler(const std::shared_ptr<MsiTableLookupBase>& lookup, EditHandler* handler);
    // The lookup's editor for the cell, with `handler` set and remembered as above.
    InPlaceEditorPtr CreateLookupEditor(const std::shared_ptr<MsiTableLookupBase>& lookup, int column,
                                        int position, int sort_column, EditHandler* handler);

protected:
    // Hands `text` to the list for an LVN_GETDISPINFOW text request: kept in display_text_ and copied into
    // the record's buffer, cut to what the buffer holds (the list only draws it; editors read the field).
    void SetDispText(NMLVDISPINFOW* info, const std::wstring& text);
    // The same for the text already in display_text_.
    void ShowDisplayText(NMLVDISPINFOW* info);

    // The text of the last cell handed out.
    std::wstring display_text_;

private:
    friend class ObjectWindow;
    void RememberEditHandler(const std::shared_ptr<MsiTableLookupBase>& lookup, EditHandler* handler);

    ObjectWindow* attached_list_ = nullptr;
    std::vector<std::pair<std::weak_ptr<MsiTableLookupBase>, EditHandler*>> edit_lookups_;
};

#pragma once
// An editor laid over one cell of a list. The list holds it while the cell is edited; the editor ends
// itself (a child edit control closes, a small modal dialog returns) and tells its handler once.
#include <windows.h>
#include <memory>
#include <string>

class InPlaceEditor : public std::enable_shared_from_this<InPlaceEditor>
{
public:
    InPlaceEditor() = default;
    InPlaceEditor(const InPlaceEditor&) = delete;
    InPlaceEditor& operator=(const InPlaceEditor&) = delete;
    virtual ~InPlaceEditor() = default;

    // Opens the editor over `cell` (the parent's client coordinates). Dialog editors return only when the
    // edit is over; text editors return at once and end when their edit control closes.
    virtual void BeginEdit(HWND parent, const RECT& cell) = 0;
    // Finishes with `text`; false means editing goes on.
    virtual bool EndEdit(const std::wstring& text) = 0;
    // The user cancelled (Escape or Cancel).
    virtual bool IsCancelled() const = 0;
    // Every editor ends itself; the list never has to close one.
    virtual bool EndsItself() const { return true; }

protected:
    // Keeps the editor alive while it finishes, should its holder let go of it meanwhile (a commit that
    // makes the list start another edit). Empty for an editor that no shared holder owns.
    std::shared_ptr<InPlaceEditor> keep_alive() { return weak_from_this().lock(); }
};

using InPlaceEditorPtr = std::shared_ptr<InPlaceEditor>;

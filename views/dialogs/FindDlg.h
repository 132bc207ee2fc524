#pragma once
// "Find": the modeless dialog that searches the cell texts of the open documents, one document after the
// other from the active one, and shows each match in its document.
#include "foundation/Dialog.h"
#include "model/lookups/FindCriteria.h"
#include "views/dialogs/FindPattern.h"

#include <set>
#include <string>
#include <vector>

// A document as Find searches it.
class FindableDocument
{
public:
    virtual ~FindableDocument() = default;
    // The first match after `position` in the direction, not wrapping (an empty position: from the
    // document's start in the direction); with before_position, the first match from the start up to
    // and including `position`. An empty location when there is none. Matching may throw.
    virtual FindCriteria FindNext(const FindCriteria& position, const FindPattern& pattern, bool up,
                                  bool before_position) = 0;
    // Selects the table, row and cell of the location and takes the focus.
    virtual bool ShowFound(const FindCriteria& location) = 0;
    // The table and column names the Table and Column lists offer.
    virtual void GetFindNames(std::set<std::wstring>& tables, std::set<std::wstring>& columns) = 0;
};

// The open documents as Find walks them.
class FindDocuments
{
public:
    virtual ~FindDocuments() = default;
    // In the order of the tab strip; null for a document that cannot be searched.
    virtual std::vector<FindableDocument*> GetFindDocuments() = 0;
    // The index of the active document, -1 when none.
    virtual int GetActiveFindDocument() = 0;
    // Makes the document the selected tab of the strip.
    virtual void SelectFindDocument(int index) = 0;
};

class FindDlg : public tfc::Dialog
{
public:
    explicit FindDlg(FindDocuments& documents);
    ~FindDlg() override;

    // The modeless dialog over the main window, hidden.
    HWND Create(HWND owner);
    void Destroy();
    HWND GetWindowHandle() const { return dialog_; }
    // The Find command: shows the dialog, selects the search text and refills the Table and Column lists.
    void Show();
    // "&Find Next".
    void FindNext();

    const FindCriteria& CurrentPosition() const { return current_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    INT_PTR OnInitDialog(HWND dialog);
    void OnCommand(int id, int code);
    void OnTextChanged();
    void RefillNames();
    bool IsChecked(int id) const;
    std::wstring ControlText(int id) const;
    // A match: shown, or "No more occurrences found" when it is where the search began.
    void ShowMatch(FindableDocument& document, int index, const FindCriteria& match);
    // Runs the search; pattern failures end up as a message box.
    void Search();

    FindDocuments& documents_;
    HWND dialog_ = nullptr;
    FindCriteria current_;
    FindCriteria start_;
    bool last_up_ = false;
    // Centred over the frame the first time it is shown; where the user moves it after, it stays.
    bool placed_ = false;
};

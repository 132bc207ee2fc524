#include "views/dialogs/FindDlg.h"
#include "foundation/WindowPlace.h"
#include "views/dialogs/DialogHelpers.h"

#include "foundation/Prompt.h"
#include "resources/DialogsIds.h"

#include <cstring>
#include <stdexcept>

namespace {

const wchar_t kCannotFind[] = L"Cannot perform Find";

} // namespace

FindDlg::FindDlg(FindDocuments& documents) : Dialog(L"FindDlg"), documents_(documents) {}

FindDlg::~FindDlg()
{
    Destroy();
}

HWND FindDlg::Create(HWND owner)
{
    dialog_ = create_modeless(IDD_FIND, owner);
    return dialog_;
}

void FindDlg::Destroy()
{
    destroy_modeless(dialog_);
}

INT_PTR FindDlg::dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR FindDlg::OnInitDialog(HWND dialog)
{
    dialog_ = dialog;
    EnableWindow(GetDlgItem(dialog, IDC_FIND_NEXT), FALSE);
    CheckRadioButton(dialog, IDC_FIND_ACTIVE_ONLY, IDC_FIND_ALL_FILES, IDC_FIND_ACTIVE_ONLY);
    for (int id : {IDC_FIND_TABLE, IDC_FIND_COLUMN}) {
        HWND combo = GetDlgItem(dialog, id);
        SetWindowLongPtrW(combo, GWL_STYLE, GetWindowLongPtrW(combo, GWL_STYLE) | WS_HSCROLL);
        SendMessageW(combo, CB_LIMITTEXT, 0, 0);
    }
    return TRUE;
}

void FindDlg::OnCommand(int id, int code)
{
    switch (id) {
    case IDCANCEL:
        ShowWindow(dialog_, SW_HIDE);
        break;
    case IDOK:
    case IDC_FIND_NEXT:
        if (IsWindowEnabled(GetDlgItem(dialog_, IDC_FIND_NEXT)))
            FindNext();
        break;
    case IDC_FIND_TEXT:
        if (code == EN_CHANGE)
            OnTextChanged();
        break;
    }
}

void FindDlg::OnTextChanged()
{
    EnableWindow(GetDlgItem(dialog_, IDC_FIND_NEXT), !ControlText(IDC_FIND_TEXT).empty());
    current_ = FindCriteria();
    start_ = current_;
}

bool FindDlg::IsChecked(int id) const
{
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

std::wstring FindDlg::ControlText(int id) const
{
    HWND control = GetDlgItem(dialog_, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, &text[0], static_cast<int>(text.size()))));
    return text;
}

void FindDlg::Show()
{
    if (!placed_) {
        CentreOver(dialog_, GetWindow(dialog_, GW_OWNER));
        placed_ = true;
    }
    ShowWindow(dialog_, SW_SHOW);
    HWND text = GetDlgItem(dialog_, IDC_FIND_TEXT);
    SetFocus(text);
    SendMessageW(text, EM_SETSEL, 0, -1);
    RefillNames();
}

void FindDlg::RefillNames()
{
    std::set<std::wstring> tables, columns;
    for (FindableDocument* document : documents_.GetFindDocuments()) {
        if (document)
            document->GetFindNames(tables, columns);
    }
    auto refill = [this](int id, const std::set<std::wstring>& names) {
        HWND combo = GetDlgItem(dialog_, id);
        std::wstring kept = ControlText(id);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
        for (const std::wstring& name : names) {
            if (SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(name.c_str())) == CB_ERR)
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
        SetWindowTextW(combo, kept.c_str());
    };
    refill(IDC_FIND_TABLE, tables);
    refill(IDC_FIND_COLUMN, columns);
}

void FindDlg::FindNext()
{
    // A pattern that does not compile, or a match too complex for a cell, is the user's input: a message,
    // and the dialog stays as it was.
    try {
        Search();
    } catch (const boost::regex_error& error) {
        ShowMessageBox(dialog_,
                       L"The search text is not a valid regular expression:\r\n" +
                           std::wstring(error.what(), error.what() + strlen(error.what())),
                       kCannotFind, MB_OK | MB_ICONWARNING);
    } catch (const std::runtime_error& error) {
        ShowMessageBox(dialog_,
                       L"The search is too complex for a cell:\r\n" +
                           std::wstring(error.what(), error.what() + strlen(error.what())),
                       kCannotFind, MB_OK | MB_ICONWARNING);
    }
}

void FindDlg::Search()
{
    std::vector<FindableDocument*> documents = documents_.GetFindDocuments();
    int active = documents_.GetActiveFindDocument();
    if (active < 0 || active >= static_cast<int>(documents.size()) || !documents[active]) {
        ShowMessageBox(dialog_, L"No selected window", kCannotFind, MB_OK);
        return;
    }
    FindPattern pattern = BuildPattern(ControlText(IDC_FIND_TEXT), ControlText(IDC_FIND_TABLE),
                                       ControlText(IDC_FIND_COLUMN), IsChecked(IDC_FIND_REGEX),
                                       IsChecked(IDC_FIND_MATCH_CASE), IsChecked(IDC_FIND_WHOLE_WORD));
    bool up = IsChecked(IDC_FIND_UP);
    if (up != last_up_)
        current_ = FindCriteria();
    last_up_ = up;

    int count = static_cast<int>(documents.size());
    int steps = IsChecked(IDC_FIND_ACTIVE_ONLY) ? 1 : count;
    for (int step = 0; step < steps; ++step) {
        int index = ((active + (up ? -step : step)) % count + count) % count;
        FindableDocument* document = documents[static_cast<size_t>(index)];
        if (!document)
            continue;
        // The active document goes on after the current position; the others are searched whole.
        FindCriteria match = document->FindNext(step == 0 ? current_ : FindCriteria(), pattern, up, false);
        if (!match.empty()) {
            ShowMatch(*document, index, match);
            return;
        }
    }
    // Back at the active document: the part before where the search began.
    if (!start_.empty()) {
        FindCriteria match = documents[static_cast<size_t>(active)]->FindNext(start_, pattern, up, true);
        if (!match.empty()) {
            ShowMatch(*documents[static_cast<size_t>(active)], active, match);
            return;
        }
    }
    if (start_.empty()) {
        ShowMessageBox(dialog_, L"No matches were found", DialogAppName(), MB_OK | MB_ICONINFORMATION);
        current_ = FindCriteria();
        start_ = current_;
    }
}

void FindDlg::ShowMatch(FindableDocument& document, int index, const FindCriteria& match)
{
    if (!start_.empty() && match == start_) {
        ShowMessageBox(dialog_, L"No more occurrences found", DialogAppName(), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (start_.empty())
        start_ = match;
    current_ = match;
    documents_.SelectFindDocument(index);
    document.ShowFound(match);
}

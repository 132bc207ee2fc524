#include "views/grid/InPlaceTextEditor.h"

#include "foundation/Errors.h"
#include "foundation/WindowText.h"

InPlaceTextEditor::InPlaceTextEditor(std::wstring initial_text)
    : Window(L"InPlaceTextEditor"), initial_text_(std::move(initial_text))
{
}

InPlaceTextEditor::~InPlaceTextEditor()
{
    if (edit_ && !IsWindow(edit_))
        edit_ = nullptr;
    destroy_window(edit_);
}

void InPlaceTextEditor::BeginEdit(HWND parent, const RECT& cell)
{
    parent_ = parent;
    RECT client = {};
    GetClientRect(parent, &client);
    int x = cell.left + 2;
    int y = cell.top - 2;
    int width = client.right - cell.left - 2;
    int height = cell.bottom - cell.top + 4;
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", initial_text_.c_str(),
                            WS_CHILD | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, x, y, width, height, parent,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!edit_)
        tfc::throw_last_error(L"CreateWindowEx");
    attach(edit_);
    // The user may type as much as the column holds; the control's default stops at 32767 characters.
    SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
    SetFocus(edit_);
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
    ShowWindow(edit_, SW_SHOW);
}

LRESULT InPlaceTextEditor::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_KEYDOWN:
        return OnKeyDown(wparam, lparam);
    case WM_KEYUP:
        return 0;
    case WM_CHAR:
        // Enter and Escape end the edit in WM_KEYDOWN, Ctrl+G is a command: their characters would only
        // make the control beep.
        if (wparam == L'\r' || wparam == 27 || wparam == 7)
            return 0;
        break;
    case WM_KILLFOCUS: {
        // The control first takes its own leave (caret, selection); the edit may end and destroy it after.
        LRESULT result = call_previous_proc(window, message, wparam, lparam);
        if (!ending_)
            EndEditing();
        return result;
    }
    case WM_CLOSE:
        if (!ending_)
            EndEditing();
        return 0;
    }
    return call_previous_proc(window, message, wparam, lparam);
}

LRESULT InPlaceTextEditor::OnKeyDown(WPARAM key, LPARAM lparam)
{
    switch (key) {
    case VK_RETURN:
        SendMessageW(edit_, WM_CLOSE, 0, 0);
        return 0;
    case VK_ESCAPE:
        cancelled_ = true;
        SendMessageW(edit_, WM_CLOSE, 0, 0);
        return 0;
    }
    return call_previous_proc(edit_, WM_KEYDOWN, key, lparam);
}

void InPlaceTextEditor::EndEditing()
{
    if (!edit_)
        return;
    InPlaceEditorPtr keep = keep_alive();
    std::wstring text = cancelled_ ? initial_text_ : GetWindowTextString(edit_);
    ending_ = true;
    if (!EndEdit(text)) {
        if (edit_)
            SetFocus(edit_);
        ending_ = false;
        return;
    }
    if (edit_ && !IsWindow(edit_))
        edit_ = nullptr;
    destroy_window(edit_);
}

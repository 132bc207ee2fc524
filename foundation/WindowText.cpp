#include "foundation/WindowText.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

#include <commctrl.h>
#include <vector>

std::wstring GetWindowTextString(HWND window)
{
    try {
        LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, 0);
        LRESULT copied =
            SendMessageW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
        return std::wstring(buffer.data(), static_cast<size_t>(copied));
    } catch (...) {
        tfc::Format(L"Failed to get window text");
        throw;
    }
}

std::wstring GetComboBoxItemText(HWND combo, int item)
{
    try {
        LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, item, 0);
        if (length == CB_ERR)
            throw tfc::Win32Error(ERROR_INVALID_INDEX, L"CB_GETLBTEXTLEN");
        std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, 0);
        LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(buffer.data()));
        if (copied == CB_ERR)
            throw tfc::Win32Error(ERROR_INVALID_INDEX, L"CB_GETLBTEXT");
        return std::wstring(buffer.data(), static_cast<size_t>(copied));
    } catch (...) {
        tfc::Format(L"Failed to get listbox text");
        throw;
    }
}

std::wstring GetListViewItemText(HWND list, int item, int column)
{
    try {
        for (int size : {256, 512}) {
            std::vector<wchar_t> buffer(size, 0);
            LVITEMW lv = {};
            lv.iSubItem = column;
            lv.pszText = buffer.data();
            lv.cchTextMax = size;
            LRESULT copied = SendMessageW(list, LVM_GETITEMTEXTW, item, reinterpret_cast<LPARAM>(&lv));
            if (copied < size - 1 || size == 512)
                return std::wstring(buffer.data(), wcsnlen(buffer.data(), size));
        }
        return std::wstring();
    } catch (...) {
        tfc::Format(L"Failed to get listview text");
        throw;
    }
}

#include "foundation/Clipboard.h"
#include "foundation/Errors.h"

#include <cstring>

void Clipboard::Open(HWND owner)
{
    Close();
    if (!OpenClipboard(owner))
        tfc::throw_last_error(L"OpenClipboard");
    owner_ = owner;
    open_ = true;
}

void Clipboard::Close()
{
    if (open_) {
        CloseClipboard();
        open_ = false;
        owner_ = nullptr;
    }
}

void Clipboard::SetText(const std::wstring& text)
{
    if (!EmptyClipboard())
        tfc::throw_last_error(L"EmptyClipboard");
    SIZE_T bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        tfc::throw_last_error(L"GlobalAlloc");
    void* target = GlobalLock(memory);
    if (!target) {
        DWORD error = GetLastError();
        GlobalFree(memory);
        throw tfc::Win32Error(error, L"GlobalLock");
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        DWORD error = GetLastError();
        GlobalFree(memory);
        throw tfc::Win32Error(error, L"SetClipboardData");
    }
}

std::wstring Clipboard::GetText() const
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data)
        return std::wstring();
    const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data));
    if (!text)
        return std::wstring();
    // Bounded by the block's size: clipboard data from other programs may lack its terminator.
    SIZE_T units = GlobalSize(data) / sizeof(wchar_t);
    std::wstring result(text, wcsnlen(text, units));
    GlobalUnlock(data);
    return result;
}

std::wstring QuoteClipboardCell(const std::wstring& text)
{
    bool quote = text.find_first_of(L"\n\t") != std::wstring::npos || (!text.empty() && text[0] == L'"');
    if (!quote)
        return text;
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    quoted += L'"';
    return quoted;
}

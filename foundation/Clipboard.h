#pragma once
// The clipboard as Unicode text, and the quoting rule for tab-separated cells.
#include <windows.h>
#include <string>

class Clipboard
{
public:
    Clipboard() = default;
    ~Clipboard() { Close(); }
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    void Open(HWND owner);
    void Close();
    void SetText(const std::wstring& text);
    // CF_UNICODETEXT, or empty when the clipboard holds none.
    std::wstring GetText() const;

private:
    HWND owner_ = nullptr;
    bool open_ = false;
};

// Quoted when it holds a line feed or a tab, or begins with a double quote; quotes inside are doubled.
std::wstring QuoteClipboardCell(const std::wstring& text);

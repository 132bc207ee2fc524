#include "shell/DecimalText.h"

#include "foundation/Prompt.h"
#include "foundation/WindowText.h"

#include <climits>
#include <cerrno>
#include <cwchar>

bool ParseDecimalField(const std::wstring& text, int& value)
{
    if (text.empty()) {
        value = 0;
        return true;
    }
    wchar_t* end = nullptr;
    errno = 0;
    long parsed = std::wcstol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != L'\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ReadDecimalControl(HWND dialog, int control, int& value, int lowest, int highest)
{
    if (ParseDecimalField(GetWindowTextString(GetDlgItem(dialog, control)), value) && value >= lowest &&
        value <= highest)
        return true;
    ShowMessageBox(dialog, L"You have specified an invalid number", L"Number only", MB_OK | MB_ICONWARNING);
    SetFocus(GetDlgItem(dialog, control));
    return false;
}

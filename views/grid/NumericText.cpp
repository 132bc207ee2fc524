#include "views/grid/NumericText.h"

#include "foundation/Prompt.h"

#include <cstdint>
#include <cwchar>
#include <cwctype>

namespace {

int DigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'z')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'Z')
        return c - L'A' + 10;
    return 99;
}

} // namespace

std::wstring FormatNumericValue(int value, int radix, unsigned width)
{
    wchar_t text[32];
    if (radix == 16) {
        const wchar_t* format = width == 2 ? L"0x%04x" : width == 4 ? L"0x%08x" : L"0x%x";
        swprintf(text, 32, format, static_cast<unsigned>(value));
    } else {
        swprintf(text, 32, L"%i", value);
    }
    return text;
}

NumericReadResult ReadNumericValue(const std::wstring& text, int radix, unsigned width, int& value)
{
    size_t at = 0;
    int base = radix == 16 ? 16 : 10;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        at = 2;
        base = 16;
    }
    while (at < text.size() && std::iswspace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }
    // Anything past 33 bits is out of range whatever follows; stop growing there.
    const uint64_t cap = uint64_t(1) << 33;
    uint64_t magnitude = 0;
    size_t digits = 0;
    for (; at < text.size(); ++at, ++digits) {
        int digit = DigitValue(text[at]);
        if (digit >= base)
            break;
        if (magnitude < cap)
            magnitude = magnitude * base + digit;
    }
    if (digits == 0)
        return NumericReadResult::NoDigits;
    if (at < text.size())
        return NumericReadResult::InvalidCharacters;

    int64_t signed_value;
    if (base == 16 && !negative) {
        // Eight hex digits are the 32 bits as they are: 0xffff8000 is how a negative number is shown.
        if (magnitude > 0xFFFFFFFFull)
            return NumericReadResult::OutOfRange;
        signed_value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    } else {
        signed_value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
        if (signed_value < INT32_MIN || signed_value > INT32_MAX)
            return NumericReadResult::OutOfRange;
    }
    // The lowest value of each width is the installer's null marker: storing it would empty the cell.
    if (width == 2 ? (signed_value <= -32768 || signed_value > 32767) : signed_value == INT32_MIN)
        return NumericReadResult::OutOfRange;
    value = static_cast<int>(signed_value);
    return NumericReadResult::Ok;
}

std::wstring NumericReadMessage(NumericReadResult result, unsigned width)
{
    switch (result) {
    case NumericReadResult::Ok:
        break;
    case NumericReadResult::NoDigits:
        return L"Could not convert to an integer";
    case NumericReadResult::InvalidCharacters:
        return L"Invalid characters in the numeric value.";
    case NumericReadResult::OutOfRange:
        return width == 2 ? L"Out of range for a 2 byte integer" : L"Out of range for a 4 byte integer";
    }
    return std::wstring();
}

bool ParseNumericValue(const std::wstring& text, int radix, unsigned width, HWND owner, int& value)
{
    NumericReadResult result = ReadNumericValue(text, radix, width, value);
    if (result == NumericReadResult::Ok)
        return true;
    ShowMessageBox(owner, NumericReadMessage(result, width), L"Invalid numeric string",
                   MB_OK | MB_ICONWARNING);
    return false;
}

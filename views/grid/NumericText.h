#pragma once
// Numbers as the editors show and read them: decimal, or hexadecimal with "0x" and the column's width in
// digits. Reading refuses what the column cannot hold, including the values the installer keeps as null
// (-32768 in a 2-byte column, -2147483648 in a 4-byte one), instead of clamping.
#include <windows.h>
#include <string>

enum class NumericReadResult
{
    Ok,
    NoDigits,          // "Could not convert to an integer"
    InvalidCharacters, // "Invalid characters in the numeric value."
    OutOfRange,        // "Out of range for a 2 byte integer" / "... 4 byte integer"
};

// Decimal "%i"; hexadecimal "0x%04x" for width 2, "0x%08x" for width 4, "0x%x" for any other width.
std::wstring FormatNumericValue(int value, int radix, unsigned width);

// A text longer than two characters that starts with 0x or 0X is read in base 16 whatever the radix.
// Base 16 takes up to 32 bits (0xffffffff is -1); base 10 takes a signed 32-bit number. The whole text must
// be read.
NumericReadResult ReadNumericValue(const std::wstring& text, int radix, unsigned width, int& value);
std::wstring NumericReadMessage(NumericReadResult result, unsigned width);

// ReadNumericValue; a failure is shown in a message box (caption "Invalid numeric string") over `owner`.
bool ParseNumericValue(const std::wstring& text, int radix, unsigned width, HWND owner, int& value);

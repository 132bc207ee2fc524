#include "regimport/RegistryValueText.h"

#include <windows.h>
#include <cstdio>
#include <stdexcept>

namespace {

// The root's whole name: alone, or followed by the backslash before the sub-key. "HKEY_CURRENT_USERX" is
// another name, not a root with a key.
bool StartsWithRoot(const std::wstring& text, const wchar_t* root)
{
    size_t length = wcslen(root);
    return text.size() >= length && _wcsnicmp(text.c_str(), root, length) == 0 &&
           (text.size() == length || text[length] == L'\\');
}

std::wstring ResolveEscapes(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && (text[i + 1] == L'"' || text[i + 1] == L'\\'))
            ++i;
        result += text[i];
    }
    return result;
}

std::wstring IntegerText(std::int32_t number)
{
    wchar_t buffer[16];
    swprintf(buffer, 16, L"#%i", static_cast<int>(number));
    return buffer;
}

// UTF-16 little-endian text of the bytes; an odd last byte is ignored. The installer keeps a string only
// up to its first NUL, so the terminating NULs an export writes are dropped here.
std::wstring BytesAsText(const std::vector<std::uint8_t>& bytes)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
    while (!text.empty() && text.back() == 0)
        text.pop_back();
    return text;
}

std::wstring MultiStringText(const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() % 2 != 0)
        throw std::runtime_error(
            "A registry value of type REG_MULTI_SZ had an odd number of bytes. It is not "
            "Unicode and therefore cannot be handled.");
    std::wstring result;
    std::wstring current;
    bool previous_zero = false;
    for (size_t i = 0; i < bytes.size(); i += 2) {
        wchar_t unit = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit != 0) {
            current += unit;
        } else if (previous_zero && result.size() > 3 && result.compare(result.size() - 3, 3, L"[~]") == 0) {
            result.resize(result.size() - 3);
        } else {
            result += EscapeFormattedBrackets(current) + L"[~]";
        }
        if (unit == 0)
            current.clear();
        previous_zero = unit == 0;
    }
    return result;
}

} // namespace

int ParseRegistryRoot(const std::wstring& key_text)
{
    if (StartsWithRoot(key_text, L"HKEY_CURRENT_USER"))
        return 1;
    if (StartsWithRoot(key_text, L"HKEY_CLASSES_ROOT"))
        return 0;
    if (StartsWithRoot(key_text, L"HKEY_LOCAL_MACHINE"))
        return 2;
    if (StartsWithRoot(key_text, L"HKEY_USERS"))
        return 3;
    return -1;
}

std::wstring UnquoteRegString(const std::wstring& text)
{
    if (text.size() < 2)
        return ResolveEscapes(text);
    return ResolveEscapes(text.substr(1, text.size() - 2));
}

std::wstring EscapeFormattedBrackets(const std::wstring& text)
{
    std::wstring result;
    result.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'[' || c == L']') {
            result += L"[\\";
            result += c;
            result += L']';
        } else {
            result += c;
        }
    }
    return result;
}

std::wstring FormatRegistryValue(const reg_file_parser::reg_file_grammar::Value& value)
{
    // A quoted string always keeps its quotes and a "dword" has no bytes; anything else came in hex.
    bool quoted = value.type == 1 && !value.text.empty();
    bool dword = value.type == 4 && value.bytes.empty();
    if (dword)
        return IntegerText(static_cast<std::int32_t>(value.number));
    if (!quoted)
        return RegistryValueToMsiText(value.type, value.bytes);
    std::wstring text = EscapeFormattedBrackets(UnquoteRegString(value.text));
    if (!text.empty() && text[0] == L'#')
        return L"#" + text;
    return text;
}

std::wstring RegistryValueToMsiText(int type, const std::vector<std::uint8_t>& bytes)
{
    switch (type) {
    case REG_SZ: {
        std::wstring text = EscapeFormattedBrackets(BytesAsText(bytes));
        return !text.empty() && text[0] == L'#' ? L"#" + text : text;
    }
    case REG_EXPAND_SZ:
        return L"#%" + EscapeFormattedBrackets(BytesAsText(bytes));
    case REG_DWORD: {
        // Bytes past the fourth would be lost without a word, just as missing ones would be made up.
        if (bytes.size() != 4)
            throw std::runtime_error(
                "A registry value of type REG_DWORD did not have exactly four bytes. It is not "
                "a number and therefore cannot be handled.");
        std::uint32_t number =
            bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (std::uint32_t(bytes[3]) << 24);
        return IntegerText(static_cast<std::int32_t>(number));
    }
    case REG_MULTI_SZ:
        return MultiStringText(bytes);
    default: {
        std::wstring text = L"#x";
        wchar_t digits[3];
        for (std::uint8_t byte : bytes) {
            swprintf(digits, 3, L"%02x", byte);
            text += digits;
        }
        return text;
    }
    }
}

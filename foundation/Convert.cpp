#include "foundation/Convert.h"
#include "foundation/Errors.h"

namespace tamblewick_foundation_classes_v1_0 {

// The size is asked first: a multi-byte code page may need more bytes than the text has characters.
std::string to_narrow(const std::wstring& text, UINT code_page)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (length <= 0)
        throw_last_error(L"WideCharToMultiByte");
    std::string result(static_cast<size_t>(length), '\0');
    length = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), &result[0], length,
                                 nullptr, nullptr);
    if (length <= 0)
        throw_last_error(L"WideCharToMultiByte");
    result.resize(static_cast<size_t>(length));
    return result;
}

std::wstring to_wide(const std::string& text, UINT code_page)
{
    if (text.empty())
        return std::wstring();
    // MB_PRECOMPOSED is refused by UTF-8 and other code pages that take no flags.
    DWORD flags = (code_page == CP_UTF8 || code_page == CP_UTF7 || code_page >= 50220) ? 0 : MB_PRECOMPOSED;
    int length =
        MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        throw_last_error(L"MultiByteToWideChar");
    std::wstring result(static_cast<size_t>(length), L'\0');
    length =
        MultiByteToWideChar(code_page, flags, text.data(), static_cast<int>(text.size()), &result[0], length);
    if (length <= 0)
        throw_last_error(L"MultiByteToWideChar");
    result.resize(static_cast<size_t>(length));
    return result;
}

std::string to_narrow(const std::wstring& text)
{
    return to_narrow(text, CP_ACP);
}

std::wstring to_wide(const std::string& text)
{
    return to_wide(text, CP_ACP);
}

std::wstring NarrowToWide(const char* text)
{
    return to_wide(std::string(text ? text : ""));
}

} // namespace tamblewick_foundation_classes_v1_0

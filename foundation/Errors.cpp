#include "foundation/Errors.h"
#include "foundation/Convert.h"

#include <vector>

namespace tamblewick_foundation_classes_v1_0 {

Win32Error::Win32Error(DWORD code, const wchar_t* function)
    : code_(code), function_(function ? function : L"")
{
}

const char* Win32Error::what() const noexcept
{
    try {
        std::string name = to_narrow(function_);
        std::vector<char> buffer(name.size() + 50);
        wsprintfA(buffer.data(), "%s returned error %i", name.c_str(), static_cast<int>(code_));
        what_ = buffer.data();
    } catch (...) {
        what_ = "Win32Error";
    }
    return what_.c_str();
}

std::wstring Win32Error::system_message() const
{
    try {
        DWORD flags =
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
        HMODULE module = nullptr;
        // Network errors live in their own message module; when it is missing (Wine) the system is asked.
        if (code_ >= 2100 && code_ <= 2999) {
            module = LoadLibraryExW(L"netmsg.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
            if (module)
                flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                        FORMAT_MESSAGE_FROM_HMODULE;
        }
        wchar_t* text = nullptr;
        DWORD length = FormatMessageW(flags, module, code_, 0x400 /* user default language */,
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
        if (module)
            FreeLibrary(module);
        if (length == 0 || !text)
            return std::wstring();
        std::wstring result(text, length);
        LocalFree(text);
        for (std::wstring::size_type at = 0; (at = result.find(L"\r\n", at)) != std::wstring::npos;)
            result.replace(at, 2, L" ");
        return result;
    } catch (...) {
        return std::wstring();
    }
}

std::wstring Win32Error::description() const
{
    return function_ + L" reported error " + std::to_wstring(static_cast<int>(code_)) + L":\r\n  " +
           system_message();
}

void throw_last_error(const wchar_t* function)
{
    throw Win32Error(GetLastError(), function);
}

} // namespace tamblewick_foundation_classes_v1_0

#pragma once
// The class library's exceptions: a failed platform call, an already explained failure, a user-facing
// failure.
#include <windows.h>
#include <exception>
#include <string>

namespace tamblewick_foundation_classes_v1_0 {

class Win32Error : public std::exception
{
public:
    Win32Error(DWORD code, const wchar_t* function);
    ~Win32Error() override = default;
    const char* what() const noexcept override;
    // The system's text for the code, line breaks made blanks; empty when there is none. Never throws.
    virtual std::wstring system_message() const;
    // "Name reported error N:\r\n  " followed by the system's text: what error dialogs show.
    virtual std::wstring description() const;

    DWORD code() const { return code_; }
    const std::wstring& function() const { return function_; }

private:
    DWORD code_;
    std::wstring function_;
    mutable std::string what_;
};

// Thrown after the explanation went to the thread's message trail.
class NullError : public std::exception
{
public:
    const char* what() const noexcept override { return ""; }
};

// An expected failure, shown to the user in a plain message box.
struct ManageableError
{
    ManageableError(std::wstring message, std::wstring caption)
        : message(std::move(message)), caption(std::move(caption))
    {
    }
    std::wstring message;
    std::wstring caption;
};

// BOOL- and handle-returning calls: reads GetLastError at once and throws.
[[noreturn]] void throw_last_error(const wchar_t* function);
// Calls that return their status (registry, installer library): throws when it is not 0.
inline void check_status(DWORD status, const wchar_t* function)
{
    if (status != 0)
        throw Win32Error(status, function);
}

} // namespace tamblewick_foundation_classes_v1_0

namespace tfc = tamblewick_foundation_classes_v1_0;

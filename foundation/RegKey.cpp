#include "foundation/RegKey.h"
#include "foundation/Errors.h"

#include <shlwapi.h>

namespace tamblewick_foundation_classes_v1_0 {

RegKey& RegKey::operator=(RegKey&& other) noexcept
{
    if (this != &other) {
        close();
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

void RegKey::create(HKEY parent, const std::wstring& subkey, DWORD options, REGSAM access,
                    LPSECURITY_ATTRIBUTES security, DWORD* disposition)
{
    close();
    check_status(
        RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, options, access, security, &key_, disposition),
        L"RegCreateKeyEx");
}

bool RegKey::open(HKEY parent, const std::wstring& subkey, REGSAM access)
{
    close();
    LONG status = RegOpenKeyExW(parent, subkey.c_str(), 0, access, &key_);
    if (status == ERROR_FILE_NOT_FOUND) {
        key_ = nullptr;
        return false;
    }
    check_status(status, L"RegOpenKeyEx");
    return true;
}

void RegKey::close()
{
    if (key_) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

bool RegKey::value_exists(const std::wstring& name) const
{
    return RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring RegKey::query_string(const std::wstring& name) const
{
    std::vector<BYTE> data(256);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LONG status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
        data.resize(size);
        status = RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size);
    }
    check_status(status, L"RegQueryValueEx");
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw Win32Error(ERROR_INVALID_DATA, L"RegQueryValueEx");
    // Values written by others may lack their terminator or hold an odd byte: take whole units, strip real
    // zeros.
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0')
        text.pop_back();
    return text;
}

DWORD RegKey::query_dword(const std::wstring& name) const
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof(value);
    LONG status =
        RegQueryValueExW(key_, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status == ERROR_MORE_DATA)
        throw Win32Error(ERROR_INVALID_DATA, L"RegQueryValueEx");
    check_status(status, L"RegQueryValueEx");
    if (type != REG_DWORD || size != sizeof(value))
        throw Win32Error(ERROR_INVALID_DATA, L"RegQueryValueEx");
    return value;
}

std::vector<BYTE> RegKey::query_binary(const std::wstring& name) const
{
    DWORD size = 0;
    check_status(RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, &size), L"RegQueryValueEx");
    std::vector<BYTE> data(size);
    if (size != 0)
        check_status(RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, data.data(), &size),
                     L"RegQueryValueEx");
    data.resize(size);
    return data;
}

void RegKey::set_value(const std::wstring& name, DWORD type, const void* data, DWORD size)
{
    check_status(RegSetValueExW(key_, name.c_str(), 0, type, static_cast<const BYTE*>(data), size),
                 L"RegSetValueEx");
}

void RegKey::set_string(const std::wstring& name, const std::wstring& value)
{
    set_value(name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RegKey::set_dword(const std::wstring& name, DWORD value)
{
    set_value(name, REG_DWORD, &value, sizeof(value));
}

std::vector<std::wstring> EnumRegistryValueNames(HKEY key)
{
    DWORD count = 0, longest = 0;
    check_status(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest,
                                  nullptr, nullptr, nullptr),
                 L"RegQueryInfoKey");
    std::vector<std::wstring> names;
    std::vector<wchar_t> buffer(longest + 2);
    for (DWORD index = 0; index < count; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        check_status(RegEnumValueW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr),
                     L"RegEnumValue");
        names.emplace_back(buffer.data(), length);
    }
    return names;
}

std::vector<std::wstring> EnumRegistrySubkeyNames(HKEY key)
{
    std::vector<std::wstring> names;
    wchar_t buffer[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        LONG status = RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        check_status(status, L"RegEnumKeyEx");
        names.emplace_back(buffer, length);
    }
    return names;
}

void DeleteRegistryTree(HKEY parent, const std::wstring& subkey)
{
    LONG status = SHDeleteKeyW(parent, subkey.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        throw Win32Error(status, L"SHDeleteKey");
}

} // namespace tamblewick_foundation_classes_v1_0

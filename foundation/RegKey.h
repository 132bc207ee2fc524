#pragma once
// The class library's registry key: one HKEY, closed by the destructor.
#include <windows.h>
#include <string>
#include <vector>

namespace tamblewick_foundation_classes_v1_0 {

class RegKey
{
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
    RegKey& operator=(RegKey&& other) noexcept;

    void create(HKEY parent, const std::wstring& subkey, DWORD options = REG_OPTION_NON_VOLATILE,
                REGSAM access = KEY_ALL_ACCESS, LPSECURITY_ATTRIBUTES security = nullptr,
                DWORD* disposition = nullptr);
    // RegOpenKeyExW; false when the key does not exist, other failures throw.
    bool open(HKEY parent, const std::wstring& subkey, REGSAM access = KEY_READ);
    void close();

    bool value_exists(const std::wstring& name) const;
    std::wstring query_string(const std::wstring& name) const;
    DWORD query_dword(const std::wstring& name) const;
    std::vector<BYTE> query_binary(const std::wstring& name) const;

    void set_value(const std::wstring& name, DWORD type, const void* data, DWORD size);
    void set_string(const std::wstring& name, const std::wstring& value);
    void set_dword(const std::wstring& name, DWORD value);

    HKEY get() const { return key_; }
    operator HKEY() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Value names in the order RegEnumValueW gives them.
std::vector<std::wstring> EnumRegistryValueNames(HKEY key);
// Subkey names in the order RegEnumKeyExW gives them.
std::vector<std::wstring> EnumRegistrySubkeyNames(HKEY key);
// Deletes a key with everything below it; a missing key is no error.
void DeleteRegistryTree(HKEY parent, const std::wstring& subkey);

} // namespace tamblewick_foundation_classes_v1_0

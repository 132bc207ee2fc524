#include "foundation/SettingsKey.h"

#include <windows.h>

namespace {

std::wstring initial_path()
{
    wchar_t buffer[512];
    DWORD length = GetEnvironmentVariableW(L"DRAVNETTA_SETTINGS_KEY", buffer, 512);
    if (length > 0 && length < 512)
        return std::wstring(buffer, length);
    return L"Software\\Varnock\\Dravnetta";
}

std::wstring& path()
{
    // Never destroyed: the global options save through it from their destructor at exit, and a static
    // made on first use here would be destroyed before them.
    static std::wstring* current = new std::wstring(initial_path());
    return *current;
}

} // namespace

const std::wstring& SettingsKeyPath()
{
    return path();
}

void SetSettingsKeyPath(const std::wstring& next)
{
    path() = next;
}

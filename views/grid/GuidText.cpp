#include "views/grid/GuidText.h"

#include "foundation/Errors.h"

#include <windows.h>
#include <rpc.h>
#include <cwctype>

std::wstring GenerateGuidString()
{
    UUID uuid;
    RPC_STATUS status = UuidCreate(&uuid);
    // A GUID unique to this machine only is still a GUID for a package.
    if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY)
        throw tfc::Win32Error(status, L"UuidCreate");
    RPC_WSTR text = nullptr;
    status = UuidToStringW(&uuid, &text);
    if (status != RPC_S_OK || !text)
        throw tfc::Win32Error(status, L"UuidToString");
    std::wstring guid = L"{";
    guid += reinterpret_cast<wchar_t*>(text);
    RpcStringFreeW(&text);
    for (wchar_t& c : guid)
        c = static_cast<wchar_t>(std::towupper(c));
    guid += L"}";
    return guid;
}

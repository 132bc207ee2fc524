#pragma once
// New GUIDs as the installer's tables hold them: upper case, in braces, 38 characters.
#include <string>

// Throws tfc::Win32Error "UuidCreate" or "UuidToString" when the platform cannot make one.
std::wstring GenerateGuidString();

#pragma once
// Wide/narrow conversion through the ANSI code page; failures throw Win32Error.
#include <windows.h>
#include <string>

namespace tamblewick_foundation_classes_v1_0 {

std::string to_narrow(const std::wstring& text);
std::wstring to_wide(const std::string& text);
// The same through a chosen code page (tests use 932 and 65001).
std::string to_narrow(const std::wstring& text, UINT code_page);
std::wstring to_wide(const std::string& text, UINT code_page);
std::wstring NarrowToWide(const char* text);

} // namespace tamblewick_foundation_classes_v1_0

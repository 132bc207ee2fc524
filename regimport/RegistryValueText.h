#pragma once
// From what a registry export file says to what the Registry table stores: roots, value names and the
// Value column's text ("#" before numbers, "#x" before raw bytes, "#%" before expandable strings, "[~]"
// between the strings of a multi-string, brackets escaped so the installer does not format them).
#include "regimport/RegFileGrammar.h"

#include <cstdint>
#include <string>
#include <vector>

// 0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE, 3 HKEY_USERS (any case; the name alone
// or followed by a backslash), -1 else.
int ParseRegistryRoot(const std::wstring& key_text);
// Drops the enclosing quotes and resolves \" and \\.
std::wstring UnquoteRegString(const std::wstring& text);
// '[' becomes "[\[]" and ']' becomes "[\]]".
std::wstring EscapeFormattedBrackets(const std::wstring& text);
// The Value column's text of one parsed value.
std::wstring FormatRegistryValue(const reg_file_parser::reg_file_grammar::Value& value);
// The Value column's text of raw registry bytes of that type. Throws std::runtime_error for bytes that
// cannot be such a value (a multi-string of odd length, a number of other than four bytes).
std::wstring RegistryValueToMsiText(int type, const std::vector<std::uint8_t>& bytes);

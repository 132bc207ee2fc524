#pragma once
// Formatted text refers to rows as [key], [#key], [!key] or [$key]: a File row with "#" or "!", a Component
// row with "$", a row of any other table without a prefix. When a key changes, the references to the old
// key follow it.
#include <string>

namespace reference_rewrite {

// The prefix characters a reference to a row of the table may carry ("" for none).
std::wstring ReferencePrefixes(const std::wstring& table);

// The text with every reference to old_key of a row of table replaced by one to new_key, each keeping its
// prefix. Keys compare as plain text; other references and text stay as they are.
std::wstring RewriteReferences(const std::wstring& text, const std::wstring& table,
                               const std::wstring& old_key, const std::wstring& new_key);

} // namespace reference_rewrite

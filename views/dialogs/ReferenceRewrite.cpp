#include "views/dialogs/ReferenceRewrite.h"

#include <boost/regex.hpp>

namespace reference_rewrite {

std::wstring ReferencePrefixes(const std::wstring& table)
{
    if (table == L"Component")
        return L"$";
    if (table == L"File")
        return L"#!";
    return std::wstring();
}

std::wstring RewriteReferences(const std::wstring& text, const std::wstring& table,
                               const std::wstring& old_key, const std::wstring& new_key)
{
    // One fixed pattern: the key is compared as text, never put into an expression.
    static const boost::wregex reference(L"\\[([#!$]?)([\\w.]+)\\]");
    const std::wstring prefixes = ReferencePrefixes(table);
    std::wstring result;
    auto last = text.begin();
    for (boost::wsregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
        const boost::wsmatch& match = *it;
        std::wstring prefix = match[1].str();
        bool prefix_fits = prefixes.empty()
                               ? prefix.empty()
                               : (prefix.size() == 1 && prefixes.find(prefix) != std::wstring::npos);
        if (!prefix_fits || match[2].str() != old_key)
            continue;
        result.append(last, match[0].first);
        result += L"[" + prefix + new_key + L"]";
        last = match[0].second;
    }
    result.append(last, text.end());
    return result;
}

} // namespace reference_rewrite

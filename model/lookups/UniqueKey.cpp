#include "model/lookups/UniqueKey.h"

#include <boost/regex.hpp>

namespace {

// The prefix taken literally, then one or more digits; matched against a whole key.
boost::wregex PrefixPattern(const std::wstring& prefix)
{
    static const std::wstring metacharacters = L".[{()\\*+?|^$";
    std::wstring pattern;
    for (wchar_t c : prefix) {
        if (metacharacters.find(c) != std::wstring::npos)
            pattern += L'\\';
        pattern += c;
    }
    pattern += L"[[:digit:]]+";
    return boost::wregex(pattern, boost::regex::perl);
}

} // namespace

std::wstring UniqueKeyPrefix(const std::wstring& text, const std::vector<std::wstring>& keys)
{
    std::wstring prefix = text;
    for (;;) {
        boost::wregex pattern = PrefixPattern(prefix);
        bool taken = false;
        for (const std::wstring& key : keys) {
            if (boost::regex_match(key, pattern)) {
                taken = true;
                break;
            }
        }
        if (!taken)
            return prefix;
        prefix += L'_';
    }
}

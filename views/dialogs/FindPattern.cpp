#include "views/dialogs/FindPattern.h"

bool FindPattern::Accepts(const std::wstring& table_name, const std::wstring& column_name) const
{
    return (table.empty() || table == table_name) && (column.empty() || column == column_name);
}

bool FindPattern::Matches(const std::wstring& text) const
{
    return boost::regex_search(text, expression);
}

FindPattern BuildPattern(const std::wstring& text, const std::wstring& table, const std::wstring& column,
                         bool regular_expression, bool match_case, bool whole_word)
{
    std::wstring pattern = text;
    if (!regular_expression) {
        static const boost::wregex special(L"[\\\\.|*?+(){}\\[\\]^$]");
        pattern = boost::regex_replace(text, special, L"\\\\$0");
    }
    // The group keeps an alternation inside the word boundaries ("a|b" is the word a or the word b).
    if (whole_word)
        pattern = L"(?:^|\\s)(?:" + pattern + L")(?:$|\\s)";
    FindPattern result;
    boost::wregex::flag_type flags = boost::regex_constants::normal;
    if (!match_case)
        flags |= boost::regex_constants::icase;
    result.expression.assign(pattern, flags);
    result.table = table;
    result.column = column;
    return result;
}

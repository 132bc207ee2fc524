#pragma once
// What the Find dialog hands to the documents it searches: the compiled pattern and the table and column
// filters. Matching may throw (std::runtime_error when the expression grows too complex for a cell).
#include <boost/regex.hpp>
#include <string>

struct FindPattern
{
    boost::wregex expression;
    // Empty: any table, any column.
    std::wstring table;
    std::wstring column;

    // Whether the filters let the cell of that table and column be searched.
    bool Accepts(const std::wstring& table_name, const std::wstring& column_name) const;
    // Whether the cell's display text holds a match.
    bool Matches(const std::wstring& text) const;
};

// Without regular_expression the text is literal; whole_word encloses the whole pattern between blanks or
// the ends of the text. Throws boost::regex_error when the expression does not compile.
FindPattern BuildPattern(const std::wstring& text, const std::wstring& table, const std::wstring& column,
                         bool regular_expression, bool match_case, bool whole_word);

#pragma once
// The grammar of registry export files, run over UTF-16 code units exactly as the file holds them.
// Nothing is resolved here: names and strings keep their quotes and escapes, bytes stay bytes.
#include <boost/spirit/include/classic_core.hpp>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace reg_file_parser {

class reg_file_grammar;

// Ordering of keys by their text without the brackets. The comparison is a parameter so that the
// order can be checked apart from the locale; it answers like CompareStringW (0 means it failed).
typedef int (*KeyTextCompare)(const wchar_t* a, int a_length, const wchar_t* b, int b_length);
// CompareStringW with the user's locale, ignoring case.
int CompareKeyTextIgnoringCase(const wchar_t* a, int a_length, const wchar_t* b, int b_length);

class reg_file_grammar : public boost::spirit::classic::grammar<reg_file_grammar>
{
public:
    struct Value
    {
        Value() = default;
        Value(std::wstring name, int type, std::wstring text, std::vector<std::uint8_t> bytes,
              std::uint32_t number)
            : name(std::move(name)), type(type), text(std::move(text)), bytes(std::move(bytes)),
              number(number)
        {
        }
        std::wstring name;               // as written, quotes and escapes kept; empty for '@'
        int type = 0;                    // registry type number
        std::wstring text;               // quoted-string data as written
        std::vector<std::uint8_t> bytes; // hex data
        std::uint32_t number = 0;        // dword data
    };
    // Key text from '[' to the last ']' of its line, and the values under it in file order.
    typedef std::pair<std::wstring, std::vector<Value>> KeyInfo;

    struct key_closure;
    struct value_closure;
    template <typename ScannerT> struct definition;
};

struct KeyInfoComp
{
    KeyTextCompare compare = CompareKeyTextIgnoringCase;
    bool operator()(const reg_file_grammar::KeyInfo& a, const reg_file_grammar::KeyInfo& b) const;
};

// Equal keys keep file order: multiset::insert puts a new element after the equal ones.
typedef std::multiset<reg_file_grammar::KeyInfo, KeyInfoComp> KeyInfoSet;

typedef boost::spirit::classic::parse_info<const wchar_t*> RegParseResult;

// Parses [first, last) and inserts every key into `keys`. Only a result with `full` set is a success;
// otherwise `stop` is the start of the first line that did not fit, and the keys before it are in `keys`.
RegParseResult ParseRegFileText(const wchar_t* first, const wchar_t* last, KeyInfoSet& keys);

} // namespace reg_file_parser

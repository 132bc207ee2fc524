// Five closure members and a five-argument construct_ need a larger limit than Phoenix's default 3.
#define PHOENIX_LIMIT 6
#define BOOST_SPIRIT_CLOSURE_LIMIT 6

#include "regimport/RegFileGrammar.h"

#include <boost/spirit/include/classic_closure.hpp>
#include <boost/spirit/include/classic_core.hpp>
#include <boost/spirit/include/classic_regex.hpp>
#include <boost/spirit/include/phoenix1_binders.hpp>
#include <boost/spirit/include/phoenix1_casts.hpp>
#include <boost/spirit/include/phoenix1_functions.hpp>
#include <boost/spirit/include/phoenix1_primitives.hpp>

#include <windows.h>
#include <mutex>

namespace reg_file_parser {

namespace spirit = boost::spirit::classic;
using phoenix::arg1;
using phoenix::arg2;
using phoenix::construct_;
using phoenix::val;
using phoenix::var;

namespace {

// Only the ASCII digits and letters: the character-class helpers go through the C library's wide
// classification, which may take other scripts' digits for hex digits.
int HexDigitValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// One or more hex digits as an unsigned 32-bit number; a value that does not fit fails the match
// rather than wrapping, so "dword:100000000" is refused.
struct hex_number_parser : spirit::parser<hex_number_parser>
{
    typedef hex_number_parser self_t;
    template <typename ScannerT> struct result
    {
        typedef typename spirit::match_result<ScannerT, std::uint32_t>::type type;
    };

    template <typename ScannerT>
    typename spirit::parser_result<self_t, ScannerT>::type parse(const ScannerT& scan) const
    {
        typename ScannerT::iterator_t start = scan.first;
        std::uint32_t number = 0;
        std::ptrdiff_t count = 0;
        for (; !scan.at_end(); ++scan, ++count) {
            int digit = HexDigitValue(*scan);
            if (digit < 0)
                break;
            if (number > 0x0FFFFFFFu) {
                scan.first = start;
                return scan.no_match();
            }
            number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        if (count == 0)
            return scan.no_match();
        return scan.create_match(count, number, start, scan.first);
    }
};

// Exactly two hex digits.
struct hex_byte_parser : spirit::parser<hex_byte_parser>
{
    typedef hex_byte_parser self_t;
    template <typename ScannerT> struct result
    {
        typedef typename spirit::match_result<ScannerT, std::uint8_t>::type type;
    };

    template <typename ScannerT>
    typename spirit::parser_result<self_t, ScannerT>::type parse(const ScannerT& scan) const
    {
        typename ScannerT::iterator_t start = scan.first;
        if (scan.at_end())
            return scan.no_match();
        int high = HexDigitValue(*scan);
        if (high < 0)
            return scan.no_match();
        ++scan;
        int low = scan.at_end() ? -1 : HexDigitValue(*scan);
        if (low < 0) {
            scan.first = start;
            return scan.no_match();
        }
        ++scan;
        return scan.create_match(2, static_cast<std::uint8_t>(high * 16 + low), start, scan.first);
    }
};

const hex_number_parser hex_number_p = hex_number_parser();
const hex_byte_parser hex_byte_p = hex_byte_parser();

} // namespace

struct insert_impl
{
    template <typename Keys, typename Text, typename Values> struct result
    {
        typedef void type;
    };
    void operator()(KeyInfoSet* keys, const std::wstring& text,
                    const std::vector<reg_file_grammar::Value>& values) const
    {
        keys->insert(reg_file_grammar::KeyInfo(text, values));
    }
};

struct push_back_impl
{
    template <typename Container, typename Item> struct result
    {
        typedef void type;
    };
    template <typename Container, typename Item> void operator()(Container& container, const Item& item) const
    {
        container.push_back(item);
    }
};

namespace {
const phoenix::function<insert_impl> insert_key = insert_impl();
const phoenix::function<push_back_impl> push_back = push_back_impl();
} // namespace

struct reg_file_grammar::key_closure : spirit::closure<key_closure, std::wstring, std::vector<Value>>
{
    member1 text;
    member2 values;
};

struct reg_file_grammar::value_closure : spirit::closure<value_closure, std::wstring, int, std::wstring,
                                                         std::vector<std::uint8_t>, std::uint32_t>
{
    member1 name;
    member2 type;
    member3 text;
    member4 bytes;
    member5 number;
};

// The grammar object for the run: the rule set is built on its first parse and kept. `keys` is the
// collection of the parse that is running.
class reg_file_grammar_instance : public reg_file_grammar
{
public:
    mutable KeyInfoSet* keys = nullptr;
};

template <typename ScannerT> struct reg_file_grammar::definition
{
    typedef spirit::rule<ScannerT> rule_t;

    explicit definition(const reg_file_grammar& grammar)
        : key_text(L"\\[[^\\n]*\\]"), string_start(L"\"[^\"\\\\]*"), string_escape(L"\\\\.[^\"\\\\]*")
    {
        using spirit::ch_p;
        using spirit::eol_p;
        using spirit::eps_p;
        using spirit::str_p;
        const auto& self = static_cast<const reg_file_grammar_instance&>(grammar);

        // The expression "[^"\\]*(\\.[^"\\]*)*" with its outer repetition done here: as one
        // expression, Boost.Regex keeps backtracking state for every escape and throws on strings with
        // many thousands of them. The pieces only repeat single characters.
        quoted_string = string_start >> *string_escape >> ch_p(L'"');
        blank = ch_p(L' ') | ch_p(L'\t');
        line_end = *blank >> eol_p;
        skip_line = !(ch_p(L';') >> *(spirit::anychar_p - eol_p)) >> line_end;
        header = (!ch_p(L'\xFEFF') >> str_p(L"Windows Registry Editor Version 5.00")) | str_p(L"REGEDIT4");
        file = header >> line_end >> *skip_line >> *key;

        key = (key_line >> *value)[insert_key(var(self.keys), key.text, key.values)];
        key_line = key_text[key.text = construct_<std::wstring>(arg1, arg2)] >> line_end >> *skip_line;

        // The closure's numbers start undefined; a Value must never carry a previous line's leftovers.
        value = eps_p[value.type = val(0)] >> eps_p[value.number = val(0u)] >>
                (value_name >> ch_p(L'=') >> data >>
                 line_end)[push_back(key.values, construct_<Value>(value.name, value.type, value.text,
                                                                   value.bytes, value.number))] >>
                *skip_line;
        value_name = quoted_string[value.name = construct_<std::wstring>(arg1, arg2)] | ch_p(L'@');
        data =
            (hex_type >> ch_p(L':') >> !hex_list) |
            (str_p(L"dword")[value.type = val(4)] >> ch_p(L':') >> hex_number_p[value.number = arg1]) |
            (eps_p[value.type = val(1)] >> quoted_string[value.text = construct_<std::wstring>(arg1, arg2)]);
        hex_type = hex_n | hex_plain;
        hex_n = (str_p(L"hex(") | str_p(L"hexadecimal(")) >>
                hex_number_p[value.type = phoenix::static_cast_<int>(arg1)] >> ch_p(L')');
        hex_plain = str_p(L"hex")[value.type = val(3)];
        hex_list = hex_bytes >> *(continuation >> hex_bytes);
        hex_bytes = hex_byte_p[push_back(value.bytes, arg1)] >>
                    *(ch_p(L',') >> hex_byte_p[push_back(value.bytes, arg1)]);
        continuation = *blank >> str_p(L",\\") >> *blank >> eol_p >> *blank;
    }

    const rule_t& start() const { return file; }

    spirit::rxstrlit<wchar_t> key_text, string_start, string_escape;
    rule_t quoted_string, blank, line_end, skip_line, header, file, key_line, value_name, data, hex_type,
        hex_n, hex_plain, hex_list, hex_bytes, continuation;
    spirit::rule<ScannerT, typename key_closure::context_t> key;
    spirit::rule<ScannerT, typename value_closure::context_t> value;
};

int CompareKeyTextIgnoringCase(const wchar_t* a, int a_length, const wchar_t* b, int b_length)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a, a_length, b, b_length);
}

bool KeyInfoComp::operator()(const reg_file_grammar::KeyInfo& a, const reg_file_grammar::KeyInfo& b) const
{
    // The brackets take no part; a failed comparison counts as "not less" to keep a strict weak order.
    const std::wstring& at = a.first;
    const std::wstring& bt = b.first;
    int a_length = at.size() >= 2 ? static_cast<int>(at.size() - 2) : 0;
    int b_length = bt.size() >= 2 ? static_cast<int>(bt.size() - 2) : 0;
    const wchar_t* a_inner = at.size() >= 2 ? at.c_str() + 1 : L"";
    const wchar_t* b_inner = bt.size() >= 2 ? bt.c_str() + 1 : L"";
    return compare(a_inner, a_length, b_inner, b_length) == CSTR_LESS_THAN;
}

RegParseResult ParseRegFileText(const wchar_t* first, const wchar_t* last, KeyInfoSet& keys)
{
    // One grammar for the run; its closures keep their frames in the rules, so parses take turns.
    static std::mutex lock;
    static reg_file_grammar_instance grammar;
    std::lock_guard<std::mutex> hold(lock);
    grammar.keys = &keys;
    RegParseResult result;
    try {
        result = spirit::parse(first, last, grammar);
    } catch (...) {
        grammar.keys = nullptr;
        throw;
    }
    grammar.keys = nullptr;
    return result;
}

} // namespace reg_file_parser

#include "foundation/CmdLine.h"

namespace tamblewick_foundation_classes_v1_0 {

namespace {

bool is_blank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

} // namespace

void CmdLine::parse(const wchar_t* command_line, bool skip_first)
{
    if (!command_line)
        return;
    cursor_ = command_line;
    if (skip_first) {
        while (is_blank(*cursor_))
            ++cursor_;
        read_token();
    }
    for (;;) {
        while (is_blank(*cursor_))
            ++cursor_;
        if (*cursor_ == 0)
            return;
        if (*cursor_ == L'/' || *cursor_ == L'-') {
            ++cursor_;
            read_option();
            on_option();
        } else {
            read_token();
            on_argument();
        }
    }
}

void CmdLine::read_token()
{
    if (*cursor_ != 0 && quotes_.find(*cursor_) != std::wstring::npos) {
        wchar_t quote = *cursor_++;
        const wchar_t* start = cursor_;
        while (*cursor_ != 0 && *cursor_ != quote)
            ++cursor_;
        // An unterminated quote takes the rest of the line.
        value_.assign(start, cursor_);
        if (*cursor_ == quote)
            ++cursor_;
        return;
    }
    const wchar_t* start = cursor_;
    while (*cursor_ != 0 && *cursor_ != L' ')
        ++cursor_;
    value_.assign(start, cursor_);
}

void CmdLine::read_option()
{
    const wchar_t* start = cursor_;
    while (*cursor_ != 0 && *cursor_ != L' ' && *cursor_ != L':' && *cursor_ != L'=')
        ++cursor_;
    option_.assign(start, cursor_);
    if (*cursor_ == L':' || *cursor_ == L'=') {
        ++cursor_;
        read_token();
    } else {
        value_.clear();
    }
}

} // namespace tamblewick_foundation_classes_v1_0

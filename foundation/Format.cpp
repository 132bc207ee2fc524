#include "foundation/Format.h"
#include "foundation/MessageTrail.h"

#include <cwchar>

namespace tamblewick_foundation_classes_v1_0 {
namespace {

std::wstring& trail_line()
{
    MessageList& trail = thread_messages();
    if (trail.empty() || !trail.back().empty())
        trail.emplace_back();
    return trail.back();
}

} // namespace

Format::Format(const std::wstring& format) : output_(trail_line()), format_(format)
{
    advance();
}

Format::Format(const std::wstring& format, std::wstring& output) : output_(output), format_(format)
{
    advance();
}

void Format::advance()
{
    letter_ = 0;
    waiting_ = false;
    while (position_ < format_.size()) {
        std::wstring::size_type percent = format_.find(L'%', position_);
        if (percent == std::wstring::npos) {
            output_.append(format_, position_, std::wstring::npos);
            position_ = format_.size();
            return;
        }
        output_.append(format_, position_, percent - position_);
        if (percent + 1 < format_.size() && format_[percent + 1] == L'%') {
            output_ += L'%';
            position_ = percent + 2;
            continue;
        }
        // A '%' at the very end is a placeholder with letter 0.
        letter_ = percent + 1 < format_.size() ? format_[percent + 1] : 0;
        position_ = percent + 2 <= format_.size() ? percent + 2 : format_.size();
        waiting_ = true;
        return;
    }
}

Format& Format::arg(const std::wstring& value)
{
    append(value.c_str());
    return *this;
}

Format& Format::arg(const wchar_t* value)
{
    return arg(std::wstring(value ? value : L""));
}

void Format::append(const wchar_t* text)
{
    output_ += text;
    // Once the format text is used up, further arguments only append.
    if (waiting_)
        advance();
}

Format& Format::arg(long value)
{
    wchar_t buffer[40];
    if (letter_ == L'X' || letter_ == L'x')
        swprintf(buffer, 40, letter_ == L'X' ? L"%lX" : L"%lx", static_cast<unsigned long>(value));
    else
        swprintf(buffer, 40, L"%li", value);
    append(buffer);
    return *this;
}

Format& Format::arg(unsigned long value)
{
    wchar_t buffer[40];
    swprintf(buffer, 40, letter_ == L'X' ? L"%lX" : letter_ == L'x' ? L"%lx" : L"%lu", value);
    append(buffer);
    return *this;
}

Format& Format::arg(unsigned int value)
{
    wchar_t buffer[40];
    swprintf(buffer, 40, letter_ == L'X' ? L"%X" : letter_ == L'x' ? L"%x" : L"%u", value);
    append(buffer);
    return *this;
}

} // namespace tamblewick_foundation_classes_v1_0

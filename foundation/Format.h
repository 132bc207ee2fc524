#pragma once
// The placeholder formatter: '%' and one letter stand for the next argument; "%%" is a literal '%'.
// Without an output string it writes a line of the calling thread's message trail.
#include <string>

namespace tamblewick_foundation_classes_v1_0 {

class Format
{
public:
    explicit Format(const std::wstring& format);
    Format(const std::wstring& format, std::wstring& output);

    Format& arg(const std::wstring& value);
    Format& arg(const wchar_t* value);
    Format& arg(long value);
    Format& arg(unsigned long value);
    Format& arg(unsigned int value);

    template <typename T> Format& operator<<(const T& value) { return arg(value); }

    const std::wstring& str() const { return output_; }
    operator const std::wstring&() const { return output_; }

private:
    void advance();
    void append(const wchar_t* text);

    std::wstring& output_;
    std::wstring format_;
    std::wstring::size_type position_ = 0;
    wchar_t letter_ = 0;
    bool waiting_ = false;
};

} // namespace tamblewick_foundation_classes_v1_0

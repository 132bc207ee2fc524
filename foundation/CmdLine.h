#pragma once
// The class library's command-line parser: arguments and /name:value or -name=value options.
#include <string>
#include <vector>

namespace tamblewick_foundation_classes_v1_0 {

class CmdLine
{
public:
    virtual ~CmdLine() = default;
    // With skip_first the program's own path is read and dropped.
    void parse(const wchar_t* command_line, bool skip_first);

protected:
    virtual void on_argument() = 0;
    virtual void on_option() = 0;

    std::wstring option_;
    std::wstring value_;
    std::wstring quotes_ = L"\"";

private:
    void read_token();
    void read_option();
    const wchar_t* cursor_ = nullptr;
};

} // namespace tamblewick_foundation_classes_v1_0

// The program's command line: the paths to open at start.
class CmdLine : public tamblewick_foundation_classes_v1_0::CmdLine
{
public:
    std::vector<std::wstring> paths;

protected:
    void on_argument() override { paths.push_back(value_); }
    void on_option() override {}
};

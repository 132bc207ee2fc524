#include "model/SummaryProperty.h"
#include "model/installer/MsiApi.h"

#include <stdexcept>
#include <vector>

namespace {

[[noreturn]] void WrongType()
{
    throw std::runtime_error("Attempted to set a SummaryInfo Stream property with the wrong type");
}

std::wstring FormatLocale(bool date, const SYSTEMTIME& time)
{
    auto format = [&](wchar_t* buffer, int size) {
        return date ? GetDateFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, size)
                    : GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, buffer, size);
    };
    int size = format(nullptr, 0);
    if (size <= 0)
        return L"";
    std::vector<wchar_t> buffer(size);
    format(buffer.data(), size);
    return buffer.data();
}

} // namespace

int MsiSIProperty::numeric_value() const
{
    throw std::runtime_error("Internal Error: numeric_value() is not implemented for this property");
}

void MsiSIProperty::set_filetime(const FILETIME&)
{
    WrongType();
}

void MsiSIProperty::set_short(short)
{
    WrongType();
}

void MsiSIProperty::set_integer(int)
{
    WrongType();
}

void MsiSIProperty::set_string(const std::wstring&)
{
    WrongType();
}

std::wstring MsiSIShortProperty::to_string() const
{
    return is_null() ? L"" : std::to_wstring(value_);
}

void MsiSIShortProperty::write_to(MSIHANDLE summary, UINT pid) const
{
    msi::SummaryValue value;
    value.type = VT_I2;
    value.integer = value_;
    msi::SummaryInfoSetProperty(summary, pid, value);
}

void MsiSIShortProperty::set_short(short value)
{
    value_ = value;
    mark_set();
}

std::wstring MsiSIIntegerProperty::to_string() const
{
    return is_null() ? L"" : std::to_wstring(value_);
}

void MsiSIIntegerProperty::write_to(MSIHANDLE summary, UINT pid) const
{
    msi::SummaryValue value;
    value.type = VT_I4;
    value.integer = value_;
    msi::SummaryInfoSetProperty(summary, pid, value);
}

void MsiSIIntegerProperty::set_integer(int value)
{
    value_ = value;
    mark_set();
}

std::wstring MsiSIStringProperty::to_string() const
{
    return is_null() ? L"" : value_;
}

void MsiSIStringProperty::write_to(MSIHANDLE summary, UINT pid) const
{
    msi::SummaryValue value;
    value.type = VT_LPSTR;
    value.text = value_;
    msi::SummaryInfoSetProperty(summary, pid, value);
}

void MsiSIStringProperty::set_string(const std::wstring& value)
{
    value_ = value;
    mark_set();
}

std::wstring MsiSIFiletimeProperty::to_string() const
{
    SYSTEMTIME time;
    if (is_null() || !FileTimeToSystemTime(&value_, &time))
        return L"";
    return FormatLocale(true, time) + L" " + FormatLocale(false, time);
}

void MsiSIFiletimeProperty::write_to(MSIHANDLE summary, UINT pid) const
{
    msi::SummaryValue value;
    value.type = VT_FILETIME;
    value.time = value_;
    msi::SummaryInfoSetProperty(summary, pid, value);
}

void MsiSIFiletimeProperty::set_filetime(const FILETIME& value)
{
    value_ = value;
    mark_set();
}

#include "model/MsiFieldData.h"

#include <cstring>

void MsiFieldData::set_null()
{
    null_ = true;
    std::vector<BYTE>().swap(bytes_);
}

void MsiFieldData::set_integer(int32_t value)
{
    bytes_.resize(4);
    std::memcpy(bytes_.data(), &value, 4);
    null_ = false;
}

void MsiFieldData::set_string(const std::wstring& text)
{
    if (text.empty()) {
        set_null();
        return;
    }
    bytes_.resize(text.size() * sizeof(wchar_t));
    std::memcpy(bytes_.data(), text.data(), bytes_.size());
    null_ = false;
}

void MsiFieldData::set_bytes(std::vector<BYTE> bytes)
{
    bytes_ = std::move(bytes);
    null_ = false;
}

int32_t MsiFieldData::integer() const
{
    if (bytes_.size() < 4)
        return INT32_MIN;
    int32_t value;
    std::memcpy(&value, bytes_.data(), 4);
    return value;
}

std::wstring MsiFieldData::string() const
{
    std::wstring text(bytes_.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], bytes_.data(), text.size() * sizeof(wchar_t));
    return text;
}

MsiFieldDataRef MakeIntegerFieldData(int32_t value)
{
    MsiFieldDataRef cell(new MsiFieldData());
    cell->set_integer(value);
    return cell;
}

MsiFieldDataRef MakeNullFieldData()
{
    return MsiFieldDataRef(new MsiFieldData());
}

#include "frame/ValidationMessage.h"

ValidationMessage ValidationMessage::FromFields(const std::vector<std::wstring>& fields,
                                                const std::wstring& document, const std::wstring& cub)
{
    auto field = [&fields](size_t index) { return index < fields.size() ? fields[index] : std::wstring(); };
    ValidationMessage message;
    message.location.text = document;
    message.cub = cub;
    message.ice = field(0);
    message.type = field(1);
    message.description = field(2);
    message.help = field(3);
    message.location.table_name = field(4);
    message.location.column_name = field(5);
    for (size_t i = 6; i < fields.size(); ++i)
        message.location.key_values.push_back(fields[i]);
    return message;
}

std::wstring ValidationMessage::TypeText() const
{
    static const wchar_t* const names[] = {L"Failure", L"Error", L"Warning", L"Info"};
    if (type.size() == 1 && type[0] >= L'0' && type[0] <= L'3')
        return names[type[0] - L'0'];
    return type;
}

std::wstring ValidationMessage::KeyText() const
{
    std::wstring text;
    for (size_t i = 0; i < location.key_values.size(); ++i) {
        if (i)
            text += L'|';
        text += location.key_values[i];
    }
    return text;
}

bool ValidationMessageLess::operator()(const FindCriteria& a, const FindCriteria& b) const
{
    if (a.text != b.text)
        return a.text < b.text;
    if (tables && a.table_name != b.table_name)
        return a.table_name < b.table_name;
    // std::vector's < is element by element, then by length.
    if (key_values && a.key_values != b.key_values)
        return a.key_values < b.key_values;
    if (columns && a.column_name != b.column_name)
        return a.column_name < b.column_name;
    return false;
}

#include "model/MsiFieldDef.h"
#include "model/installer/MsiApi.h"
#include "model/MsiQuery.h"
#include "foundation/Options.h"

#include <cwctype>
#include <stdexcept>

MsiFieldDef::MsiFieldDef(std::wstring name, bool key, std::wstring type_text, int column_index,
                         MsiFieldSchema::Ptr field_schema)
    : key_(key), name_(std::move(name)), type_text_(std::move(type_text)), column_index_(column_index),
      field_schema_(std::move(field_schema))
{
    wchar_t first = type_text_.empty() ? L'\0' : type_text_[0];
    switch (first) {
    case L'i':
    case L'I':
        kind_ = MsiFieldKind::Integer;
        break;
    case L'v':
    case L'V':
        kind_ = MsiFieldKind::Binary;
        break;
    case L'l':
    case L'L':
        localizable_ = true;
        break;
    default:
        // "s"/"S" and any other letter (Wine's temporary columns use 'g' and 'j') are strings.
        break;
    }
    nullable_ = !(first >= L'a' && first <= L'z');
    for (size_t at = 1; at < type_text_.size() && type_text_[at] >= L'0' && type_text_[at] <= L'9'; ++at)
        width_ = width_ * 10 + static_cast<unsigned>(type_text_[at] - L'0');
}

std::wstring MsiFieldDef::description() const
{
    std::wstring text = width_ != 0 ? L"(" + std::to_wstring(width_) + L")" : std::wstring(L"(\x221E)");
    if (key_)
        text += L", Key";
    if (!nullable_)
        text += L", Required";
    if (localizable_)
        text += L", Localizable";
    return text;
}

std::wstring MsiFieldDef::described(const wchar_t* kind_word) const
{
    return name_ + L": " + kind_word + MsiFieldDef::description();
}

std::wstring MsiFieldDef::display_str(const MsiFieldData&) const
{
    return std::wstring();
}

void MsiFieldDef::append_display_str(const MsiFieldData& cell, std::wstring& text) const
{
    text += display_str(cell);
}

std::wstring MsiFieldDef::clipboard_str(const MsiFieldData&) const
{
    return std::wstring();
}

int MsiFieldDef::integer_value(const MsiFieldData&) const
{
    throw std::runtime_error("Attempted to extract an integer from a non integer field");
}

void MsiFieldDef::set_field_data(MsiFieldData&, const std::wstring&) const
{
    throw std::runtime_error("No default implementation provided for the set_field_data function");
}

MsiValidation MsiFieldDef::validate(const MsiFieldData& cell) const
{
    MsiValidation messages;
    if (cell.is_null() && !nullable_)
        messages.emplace_back(2, L"The field must have a value");
    return messages;
}

void MsiFieldDef::set_non_null_record_data(MSIHANDLE, UINT, const MsiFieldData&) const
{
    throw std::runtime_error("No default implementation provided for the set_non_null_record_data function");
}

MsiFieldDataRef MsiFieldDef::clone_non_null_data(const MsiFieldData&) const
{
    throw std::runtime_error("No default implementation provided for the clone_non_null_data function");
}

std::wstring MsiFieldDef::sql_definition() const
{
    std::wstring text = MsiQuery::QuoteName(name_) + L" ";
    switch (kind_) {
    case MsiFieldKind::Integer:
        // Size 1 is stored as 2 bytes.
        text += width_ <= 2 ? L"INT" : width_ == 4 ? L"LONG" : L"";
        break;
    case MsiFieldKind::Binary:
        text += L"OBJECT";
        break;
    case MsiFieldKind::String:
        text += width_ != 0 ? L"CHAR(" + std::to_wstring(width_) + L")" : std::wstring(L"LONGCHAR");
        break;
    }
    if (!nullable_)
        text += L" NOT NULL";
    if (localizable_)
        text += L" LOCALIZABLE";
    return text;
}

MsiFieldDataRef MsiFieldDef::clone_data(const MsiFieldData& cell) const
{
    if (cell.is_null())
        return MakeNullFieldData();
    return clone_non_null_data(cell);
}

void MsiFieldDef::set_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const
{
    if (cell.is_null())
        msi::RecordSetString(record, field, nullptr);
    else
        set_non_null_record_data(record, field, cell);
}

void MsiFieldDef::set_condition_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const
{
    set_record_data(record, field, cell);
}

MsiFieldDefRef MakeConcreteFieldDef(const MsiFieldDef& base)
{
    switch (base.kind()) {
    case MsiFieldKind::Integer:
        return MsiFieldDefRef(new MsiNumericFieldDef(base));
    case MsiFieldKind::Binary:
        return MsiFieldDefRef(new MsiBinaryFieldDef(base));
    case MsiFieldKind::String:
        break;
    }
    return MsiFieldDefRef(new MsiStringFieldDef(base));
}

MsiFieldDefRef MakeFieldDef(const std::wstring& name, bool key, const std::wstring& type_text,
                            int column_index, const MsiFieldSchema::Ptr& field_schema)
{
    return MakeConcreteFieldDef(MsiFieldDef(name, key, type_text, column_index, field_schema));
}

FieldCategory GetNumericDisplayFormat(const MsiFieldSchema* field_schema)
{
    if (!field_schema)
        return FieldCategory::None;
    FieldCategory category = field_schema->category();
    bool bit_flags = !field_schema->named_values.empty();
    if (bit_flags && (category == FieldCategory::Hex || category == FieldCategory::Integer ||
                      category == FieldCategory::DoubleInteger)) {
        if (gOptions.bit_flags_display == Options::BIT_FLAGS_DECIMAL)
            return FieldCategory::None;
        if (gOptions.bit_flags_display == Options::BIT_FLAGS_HEX)
            return FieldCategory::Hex;
    }
    return category;
}

uint32_t ParseUnsigned32(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() && std::iswspace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }
    uint64_t value = 0;
    bool too_large = false;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + static_cast<uint64_t>(text[at] - L'0');
        if (value > 0xFFFFFFFFull) {
            too_large = true;
            value = 0xFFFFFFFFull;
        }
    }
    if (too_large)
        return 0xFFFFFFFFu;
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

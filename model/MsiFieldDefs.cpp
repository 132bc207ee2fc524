// The three kinds of column: strings, numbers and streams.
#include "model/MsiBinaryData.h"
#include "model/MsiFieldDef.h"
#include "model/installer/MsiApi.h"
#include "foundation/Errors.h"
#include "foundation/TempFiles.h"

#include <boost/regex.hpp>
#include <cstdio>
#include <cstring>
#include <stdexcept>

// Strings.

std::wstring MsiStringFieldDef::description() const
{
    return described(L"String ");
}

std::wstring MsiStringFieldDef::display_str(const MsiFieldData& cell) const
{
    return cell.is_null() ? std::wstring(L"<null>") : cell.string();
}

void MsiStringFieldDef::append_display_str(const MsiFieldData& cell, std::wstring& text) const
{
    if (cell.is_null()) {
        text += L"<null>";
        return;
    }
    const BYTE* kept = cell.stored_data();
    size_t start = text.size();
    text.resize(start + cell.size() / sizeof(wchar_t));
    if (cell.narrow()) {
        for (size_t at = start; at < text.size(); ++at)
            text[at] = kept[at - start];
    } else if (text.size() > start) {
        std::memcpy(&text[start], kept, (text.size() - start) * sizeof(wchar_t));
    }
}

std::wstring MsiStringFieldDef::clipboard_str(const MsiFieldData& cell) const
{
    return cell.is_null() ? std::wstring() : cell.string();
}

void MsiStringFieldDef::set_field_data(MsiFieldData& cell, const std::wstring& text) const
{
    cell.set_string(text);
}

MsiValidation MsiStringFieldDef::validate(const MsiFieldData& cell) const
{
    MsiValidation messages = MsiFieldDef::validate(cell);
    if (cell.is_null())
        return messages;
    std::wstring text = cell.string();
    if (width() != 0 && text.size() > width())
        messages.emplace_back(1, L"The string exceeds the length of the field");
    if (field_schema() && field_schema()->category() == FieldCategory::GUID) {
        static const boost::wregex guid(
            L"^\\{[[:xdigit:]]{8}-[[:xdigit:]]{4}-[[:xdigit:]]{4}-[[:xdigit:]]{4}-[[:xdigit:]]{12}\\}$");
        static const boost::wregex lower(L"[[:lower:]]");
        if (!boost::regex_match(text, guid))
            messages.emplace_back(1, L"The string does not match the guid format");
        if (boost::regex_search(text, lower))
            messages.emplace_back(1, L"A guid should not have lower case characters");
    }
    return messages;
}

void MsiStringFieldDef::set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const
{
    msi::RecordSetString(record, field, cell.string());
}

MsiFieldDataRef MsiStringFieldDef::clone_non_null_data(const MsiFieldData& cell) const
{
    std::wstring text = cell.string();
    return MsiFieldData::MakeText(text.data(), text.size());
}

// Numbers.

std::wstring MsiNumericFieldDef::description() const
{
    return described(L"Number ");
}

std::wstring MsiNumericFieldDef::display_str(const MsiFieldData& cell) const
{
    // The installer stores the null markers as null, so that is what the cell will read as.
    if (cell.is_null() || holds_null_marker(cell))
        return L"<null>";
    int value = integer_value(cell);
    wchar_t text[32];
    if (GetNumericDisplayFormat(field_schema().get()) == FieldCategory::Hex) {
        const wchar_t* format = width() <= 2 ? L"0x%04x" : width() == 4 ? L"0x%08x" : L"0x%x";
        swprintf(text, 32, format, static_cast<unsigned>(value));
    } else {
        swprintf(text, 32, L"%i", value);
    }
    return text;
}

std::wstring MsiNumericFieldDef::clipboard_str(const MsiFieldData& cell) const
{
    return cell.is_null() ? std::wstring() : std::to_wstring(integer_value(cell));
}

int MsiNumericFieldDef::integer_value(const MsiFieldData& cell) const
{
    return cell.is_null() ? INT32_MIN : cell.integer();
}

void MsiNumericFieldDef::set_field_data(MsiFieldData& cell, const std::wstring& text) const
{
    if (text.empty()) {
        if (nullable())
            cell.set_null();
        else
            cell.set_integer(0);
        return;
    }
    cell.set_integer(static_cast<int32_t>(ParseUnsigned32(text)));
}

bool MsiNumericFieldDef::holds_null_marker(const MsiFieldData& cell) const
{
    if (cell.is_null())
        return false;
    int value = cell.integer();
    return value == INT32_MIN || (width() <= 2 && value == -32768);
}

MsiValidation MsiNumericFieldDef::validate(const MsiFieldData& cell) const
{
    // The installer stores these values as null, so a required column must not take them.
    if (holds_null_marker(cell))
        return nullable() ? MsiValidation() : MsiValidation{{2, L"The field must have a value"}};
    MsiValidation messages = MsiFieldDef::validate(cell);
    // A 2-byte column cannot hold more: the installer refuses such a row, or keeps only part of it.
    int value = integer_value(cell);
    if (!cell.is_null() && width() <= 2 && (value < -32768 || value > 32767))
        messages.emplace_back(1, L"Out of range for a 2 byte integer");
    return messages;
}

void MsiNumericFieldDef::set_non_null_record_data(MSIHANDLE record, UINT field,
                                                  const MsiFieldData& cell) const
{
    msi::RecordSetColumnInteger(record, field, integer_value(cell), width());
}

void MsiNumericFieldDef::set_condition_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const
{
    if (cell.is_null())
        msi::RecordSetString(record, field, nullptr);
    else
        msi::RecordSetInteger(record, field, integer_value(cell));
}

MsiFieldDataRef MsiNumericFieldDef::clone_non_null_data(const MsiFieldData& cell) const
{
    return MakeIntegerFieldData(integer_value(cell));
}

// Streams.

namespace {

// A copy of the file in a new temporary file, digested.
MsiBinaryData CopyToTempFile(const std::wstring& source)
{
    std::wstring copy = GlobalTempFiles().Create(std::wstring());
    if (!CopyFileW(source.c_str(), copy.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    // The copy must be writable even when the original was write-protected.
    SetFileAttributesW(copy.c_str(), FILE_ATTRIBUTE_NORMAL);
    return FileMd5(copy);
}

} // namespace

std::wstring MsiBinaryFieldDef::description() const
{
    return described(L"Binary");
}

std::wstring MsiBinaryFieldDef::display_str(const MsiFieldData& cell) const
{
    return cell.is_null() ? std::wstring(L"<null>") : std::wstring(L"<binary>");
}

std::wstring MsiBinaryFieldDef::clipboard_str(const MsiFieldData& cell) const
{
    if (cell.is_null())
        return std::wstring();
    MsiBinaryData binary(cell);
    if (binary.state != MsiBinaryData::Extracted)
        throw std::runtime_error("Tried to copy a binary field to the clipboard without first extracting");
    return binary.path;
}

void MsiBinaryFieldDef::set_field_data(MsiFieldData& cell, const std::wstring& path) const
{
    if (path.empty()) {
        if (!nullable())
            throw std::runtime_error("Tried to set a non-nullable binary field to a null value;");
        cell.set_null();
        return;
    }
    CopyToTempFile(path).StoreInto(cell);
}

void MsiBinaryFieldDef::set_non_null_record_data(MSIHANDLE record, UINT field, const MsiFieldData& cell) const
{
    MsiBinaryData binary(cell);
    if (binary.state != MsiBinaryData::Extracted)
        throw std::runtime_error(
            "Tried to set non null binary data in a record without extracting binary data to file first");
    msi::RecordSetStream(record, field, binary.path);
}

MsiFieldDataRef MsiBinaryFieldDef::clone_non_null_data(const MsiFieldData& cell) const
{
    MsiBinaryData binary(cell);
    if (binary.state != MsiBinaryData::Extracted)
        throw std::runtime_error("Tried to clone a binary field without first extracting");
    MsiFieldDataRef copy(new MsiFieldData());
    CopyToTempFile(binary.path).StoreInto(*copy);
    return copy;
}

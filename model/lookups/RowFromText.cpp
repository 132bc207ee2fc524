#include "model/lookups/RowFromText.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

namespace {

// Far more than any table numbers its pasted rows; only a key that cannot take numbers gets here.
const int kMaxKeyRetries = 10000;

[[noreturn]] void Refuse(const std::wstring& message)
{
    tfc::Format{message};
    throw tfc::NullError();
}

int FirstKeyColumn(const MsiColumns& columns)
{
    for (size_t column = 0; column < columns.size(); ++column) {
        if (columns[column]->is_key())
            return static_cast<int>(column);
    }
    return -1;
}

MsiRow ParseRow(const MsiColumns& columns, const std::vector<std::wstring>& texts,
                std::vector<std::wstring>& key_values)
{
    MsiRow row;
    row.reserve(columns.size());
    key_values.clear();
    for (size_t column = 0; column < columns.size(); ++column) {
        const MsiFieldDef& def = *columns[column];
        MsiFieldDataRef value(new MsiFieldData());
        if (texts[column].empty() && !def.nullable())
            Refuse(L"Cannot add a row to the table with null data in a non-nullable field");
        def.set_field_data(*value, texts[column]);
        if (def.is_key())
            key_values.push_back(def.display_str(*value));
        row.push_back(value);
    }
    return row;
}

} // namespace

MsiRow RowFromTexts(const MsiColumns& columns, const std::vector<std::wstring>& texts, const KeyTaken& taken)
{
    if (texts.size() != columns.size())
        Refuse(L"Cannot add a row to a table with a different number of fields");
    std::vector<std::wstring> attempt = texts;
    std::vector<std::wstring> key_values;
    MsiRow row = ParseRow(columns, attempt, key_values);
    int first_key = FirstKeyColumn(columns);
    if (first_key < 0 || !taken(key_values))
        return row;
    // Numbered from what was entered, never from the display text: a hexadecimal display text with a
    // digit appended does not read back as a larger number.
    const std::wstring base = texts[first_key];
    std::wstring previous_key = key_values.front();
    for (int counter = 0; counter < kMaxKeyRetries; ++counter) {
        attempt[first_key] = base + std::to_wstring(counter);
        row = ParseRow(columns, attempt, key_values);
        // "0" + "0" still reads as 0, but "01" is 1: only a second unchanged key means that appending
        // digits cannot change it.
        if (counter > 0 && key_values.front() == previous_key)
            break;
        if (!taken(key_values))
            return row;
        previous_key = key_values.front();
    }
    tfc::Format(L"Cannot add a row: no unused key can be made from %s").arg(base);
    throw tfc::NullError();
}

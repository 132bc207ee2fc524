#pragma once
// The location of one cell: a free first text (the document's path where the receiver needs it), the table,
// the column and the key texts of the row. Lookups, table nodes, the find dialog, the document tabs and the
// validation results pass cells around as this.
#include <string>
#include <vector>

struct FindCriteria
{
    FindCriteria() = default;
    FindCriteria(std::wstring text, std::wstring table_name, std::wstring column_name,
                 std::vector<std::wstring> key_values)
        : text(std::move(text)), table_name(std::move(table_name)), column_name(std::move(column_name)),
          key_values(std::move(key_values))
    {
    }

    bool empty() const
    {
        return text.empty() && table_name.empty() && column_name.empty() && key_values.empty();
    }
    bool operator==(const FindCriteria& other) const
    {
        return text == other.text && table_name == other.table_name && column_name == other.column_name &&
               key_values == other.key_values;
    }
    bool operator!=(const FindCriteria& other) const { return !(*this == other); }

    std::wstring text;
    std::wstring table_name;
    std::wstring column_name;
    std::vector<std::wstring> key_values;
};

#include "model/lookups/RowOrder.h"

#include <windows.h>

bool TextSortsBefore(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()),
                          b.c_str(), static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

SortKey SortKeyOf(const MsiFieldDef& def, const MsiFieldData& cell)
{
    SortKey key;
    if (def.kind() == MsiFieldKind::Integer)
        key.number = def.integer_value(cell);
    else
        key.text = def.display_str(cell);
    return key;
}

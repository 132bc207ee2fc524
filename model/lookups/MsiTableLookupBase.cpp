#include "model/lookups/MsiTableLookupBase.h"

MsiTableLookupBase::~MsiTableLookupBase() = default;

int MsiTableLookupBase::FindEditableRow(const std::vector<std::wstring>& key_values, int sort_column)
{
    return FindRow(key_values, sort_column);
}

std::wstring MsiTableLookupBase::WriteTable(MSIHANDLE)
{
    return std::wstring();
}

int MsiTableLookupBase::FindColumn(const std::wstring& name)
{
    int count = ColumnCount();
    for (int column = FirstColumn(); column < count; ++column) {
        MsiFieldDefRef def = GetFieldDef(column);
        if (def && def->name() == name)
            return column;
    }
    return -1;
}

COLORREF MsiTableLookupBase::GetCellTextColour(int, int, int)
{
    return 0;
}

LRESULT MsiTableLookupBase::DrawListCell(int column, int position, int sort_column, HWND list,
                                         unsigned validation_flags, UINT item_state, bool cursor_column)
{
    return DrawCell(column, position, sort_column, list, position, validation_flags, item_state,
                    cursor_column);
}

LRESULT MsiTableLookupBase::DrawCell(int, int, int, HWND, int, unsigned, UINT, bool)
{
    return 0;
}

std::wstring MsiTableLookupBase::CheckRequiredRelationships(const MsiFieldDef&, RowIterator)
{
    return std::wstring();
}

bool MsiTableLookupBase::IsEditableRow(RowIterator row)
{
    MsiTable* table = GetTable();
    return table != nullptr && row != table->rows().end();
}

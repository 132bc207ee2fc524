#include "model/lookups/MsiTableLookupBase.h"
#include "model/MsiFile.h"

MsiTableLookupBase::~MsiTableLookupBase() = default;

int MsiTableLookupBase::FindEditableRow(const std::vector<std::wstring>& key_values, int sort_column)
{
    return FindRow(key_values, sort_column);
}

int MsiTableLookupBase::DeleteRows(const std::vector<RowIterator>& rows, const DeletedRows& deleted)
{
    std::vector<std::vector<std::wstring>> keys;
    for (RowIterator row : rows)
        keys.push_back(GetRowKeyValues(row));
    int count = 0;
    for (const std::vector<std::wstring>& key : keys) {
        int position = FindEditableRow(key, 0);
        if (position == RowCount())
            continue;
        DeleteRow(0, position);
        ++count;
        if (deleted && !deleted(count))
            break;
    }
    return count;
}

std::wstring MsiTableLookupBase::DuplicateKeyProblem(const MsiColumns& columns, const MsiFieldDef& def,
                                                     RowIterator row, const MsiFieldDataRef& value)
{
    if (!def.is_key())
        return std::wstring();
    std::vector<std::wstring> key_values = GetRowKeyValues(row);
    // The position of the changed column among the key columns, in column order.
    size_t ordinal = 0;
    for (const MsiFieldDefRef& column : columns) {
        if (column->column_index() == def.column_index())
            break;
        if (column->is_key())
            ++ordinal;
    }
    if (ordinal >= key_values.size())
        return std::wstring();
    // A null key is entered as the empty text, which no existing key shows ("<null>" is what they show).
    key_values[ordinal] = (!value || value->is_null()) ? std::wstring() : def.display_str(*value);
    if (FindEditableRow(key_values, 0) != RowCount())
        return L"Setting this value would result in a duplicate row";
    return std::wstring();
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

void MsiTableLookupBase::AppendCellText(int column, int position, int sort_column, std::wstring& text)
{
    text += GetCellText(column, position, sort_column);
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

std::wstring MsiTableLookupBase::CheckRequiredRelationships(const MsiFieldDef& def, RowIterator row)
{
    MsiTable* table = GetTable();
    if (!table)
        return std::wstring();
    size_t column = static_cast<size_t>(def.column_index());
    if (column < row->size() && def.nullable() && row->at(column)->is_null())
        return std::wstring();
    MsiFile* file = table->owner();
    if (!file || !file->relationships().IsEnabled() || !def.field_schema())
        return std::wstring();
    std::wstring text;
    for (const RelationshipDefPtr& relationship : def.field_schema()->outgoing) {
        if (!relationship->required() || relationship->pairs().empty())
            continue;
        bool satisfied = false;
        if (MsiTableRef referred = file->FindTable(relationship->pairs().begin()->second->table())) {
            for (const auto& rows : file->relationships().GetReferencedRows(*table, row, referred.get())) {
                for (const SchemaRelationships::LinkedRow& linked : rows.second)
                    satisfied = satisfied || linked.relationships.count(relationship) > 0;
            }
        }
        if (!satisfied)
            text += L"Required relationship not satisfied: \r\n\t" + relationship->Describe() + L"\r\n";
    }
    return text;
}

bool MsiTableLookupBase::IsEditableRow(RowIterator row)
{
    MsiTable* table = GetTable();
    return table != nullptr && row != table->rows().end();
}

bool MsiTableLookupBase::ShowStreamOwnerByName(const std::wstring& stream_name)
{
    size_t dot = stream_name.find(L'.');
    if (!owner_node_ || dot == std::wstring::npos)
        return false;
    FindCriteria owner(owner_node_->GetOwnerPath(), stream_name.substr(0, dot), std::wstring(),
                       {stream_name.substr(dot + 1)});
    return owner_node_->SelectTable(owner);
}

#include "model/lookups/MsiTableLookupBase.h"
#include "model/CodePageText.h"
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

UINT MsiTableLookupBase::EditedCodePage()
{
    MsiTable* table = GetTable();
    return table && table->owner() ? table->owner()->GetCodepage() : 0;
}

std::wstring MsiTableLookupBase::CodePageProblem(const MsiFieldDef& def, const MsiFieldDataRef& value)
{
    if (def.kind() != MsiFieldKind::String || !value || value->is_null())
        return std::wstring();
    return CodePageRefusal(value->string(), EditedCodePage());
}

std::wstring MsiTableLookupBase::NewRowRefusal(const std::vector<MsiFieldDataRef>& values)
{
    MsiTable* table = GetTable();
    return table ? RowCodePageRefusal(table->columns(), values, EditedCodePage()) : std::wstring();
}

std::wstring MsiTableLookupBase::PastedRowsRefusal(const std::vector<std::vector<std::wstring>>& rows)
{
    MsiTable* table = GetTable();
    if (!table)
        return std::wstring();
    const std::wstring refused = L"Cannot paste the rows into the " + GetTableName() + L" table: ";
    const MsiColumns& columns = table->columns();
    UINT code_page = EditedCodePage();
    for (const std::vector<std::wstring>& texts : rows) {
        // A blank line between rows.
        if (texts.size() == 1 && texts[0].empty() && TextColumnCount() != 1)
            continue;
        if (static_cast<int>(texts.size()) != TextColumnCount()) {
            return refused + L"it has " + std::to_wstring(TextColumnCount()) + L" fields, a pasted row has " +
                   std::to_wstring(texts.size()) + L".";
        }
        for (size_t column = 0; column < columns.size() && column < texts.size(); ++column) {
            const MsiFieldDef& def = *columns[column];
            const std::wstring& text = texts[column];
            if (text.empty()) {
                if (!def.nullable())
                    return refused + L"its " + def.name() + L" field needs a value, a pasted row has none.";
                continue;
            }
            if (def.kind() == MsiFieldKind::Binary) {
                DWORD attributes = GetFileAttributesW(text.c_str());
                if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
                    return refused + L"its " + def.name() +
                           L" field holds a stream, which a row brings as the path of a file, and \"" + text +
                           L"\" is no file.";
            } else if (def.kind() == MsiFieldKind::String) {
                std::wstring problem = CodePageRefusal(text, code_page);
                if (!problem.empty())
                    return refused + problem;
            }
        }
    }
    return std::wstring();
}

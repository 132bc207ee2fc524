#include "views/grid/CreateFieldEditor.h"
#include "views/grid/MsiBinaryFieldEditor.h"
#include "views/grid/MsiGUIDFieldEditor.h"
#include "views/grid/MsiNumericFieldEditor.h"
#include "views/grid/MsiSelectionFieldEditor.h"
#include "views/grid/MsiStringFieldEditor.h"

#include "model/MsiFile.h"
#include "model/lookups/FieldEditorFactory.h"

#include <memory>

namespace {

bool IsReadOnly(const MsiTable& table)
{
    return table.owner() && table.owner()->read_only();
}

std::wstring DatabaseFolder(const MsiTable& table)
{
    if (!table.owner())
        return std::wstring();
    const std::wstring& path = table.owner()->path();
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

std::set<std::wstring> GatherChoices(const MsiTable& table, const MsiFieldDef& def)
{
    std::set<std::wstring> choices;
    const MsiFieldSchema* schema = def.field_schema().get();
    if (!schema || !table.owner())
        return choices;
    for (const RelationshipDefPtr& relationship : schema->outgoing) {
        // Formatted text may refer to anything; it is not a choice among the referred values.
        if (relationship->kind() == RelationshipKind::Formatted)
            continue;
        for (const MsiFieldSchema::Ptr& target : relationship->TargetColumnsFor(schema)) {
            MsiTableRef other = table.owner()->FindTable(target->table());
            if (!other)
                continue;
            MsiFieldDefRef column = other->FindColumn(target->column());
            if (!column)
                continue;
            for (const MsiRow& row : other->rows()) {
                const MsiFieldDataRef& cell = row[column->column_index()];
                // A null value is no choice: picking it would store the text "<null>".
                if (cell && !cell->is_null())
                    choices.insert(column->display_str(*cell));
            }
        }
    }
    return choices;
}

InPlaceEditorPtr CreateFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                   const MsiFieldDef& def)
{
    bool read_only = IsReadOnly(table);
    const MsiFieldSchema* schema = def.field_schema().get();
    switch (def.kind()) {
    case MsiFieldKind::Integer:
        if (read_only)
            return {};
        if (!NamedValuesEmpty(schema))
            return std::make_shared<MsiBitFlagsFieldEditor>(handler, table, row, def);
        return std::make_shared<MsiNumericFieldEditor>(handler, table, row, def);
    case MsiFieldKind::Binary:
        return std::make_shared<MsiBinaryFieldEditor>(handler, table, row, def, DatabaseFolder(table));
    case MsiFieldKind::String: {
        if (read_only)
            return {};
        if (!schema)
            return std::make_shared<MsiStringFieldEditor>(handler, table, row, def);
        std::set<std::wstring> choices = GatherChoices(table, def);
        if (!choices.empty())
            return std::make_shared<MsiSelectionFieldEditor>(handler, table, row, def, std::move(choices));
        if (schema->category_for(table.RowKeyText(*row)) == FieldCategory::GUID)
            return std::make_shared<MsiGUIDFieldEditor>(handler, table, row, def);
        return std::make_shared<MsiStringFieldEditor>(handler, table, row, def);
    }
    }
    return {};
}

void InstallFieldEditorFactory()
{
    SetFieldEditorFactory(&CreateFieldEditor);
}

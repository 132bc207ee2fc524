#include "model/lookups/FieldEditorFactory.h"

#include <utility>

namespace {

FieldEditorFactory& installed_factory()
{
    static FieldEditorFactory factory;
    return factory;
}

} // namespace

FieldEditorFactory SetFieldEditorFactory(FieldEditorFactory factory)
{
    std::swap(installed_factory(), factory);
    return factory;
}

std::shared_ptr<InPlaceEditor> MakeFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table,
                                               RowIterator row, const MsiFieldDef& def)
{
    const FieldEditorFactory& factory = installed_factory();
    if (!factory)
        return std::shared_ptr<InPlaceEditor>();
    return factory(handler, table, row, def);
}

#include "model/lookups/MsiFieldEditorHandler.h"

std::wstring MsiFieldEditorHandler::ValidateFieldValue(const MsiFieldDef&, RowIterator,
                                                       const MsiFieldDataRef&)
{
    return std::wstring();
}

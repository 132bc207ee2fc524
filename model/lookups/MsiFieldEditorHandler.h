#pragma once
// The receiver of an in-place editor's calls: first ValidateFieldValue with the value the user entered,
// then exactly one CommitFieldValue when the edit ends. Every table lookup is one, and so is the new-row
// dialog.
#include "model/MsiFieldData.h"
#include "model/MsiFieldDef.h"
#include "model/MsiTable.h"

#include <string>

class MsiFieldEditorHandler
{
public:
    virtual ~MsiFieldEditorHandler() = default;

    // The reason the value cannot be stored in that cell of the row, or an empty text when it can.
    virtual std::wstring ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                            const MsiFieldDataRef& value);
    // Stores the value when changed is true; with false the edit ended without a change.
    virtual void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                                  bool changed) = 0;
};

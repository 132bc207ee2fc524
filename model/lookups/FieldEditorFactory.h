#pragma once
// The lookups hand editing to the editor factory of the views, which the model cannot link against: the
// views install their factory here once at start (the program's and their tests' set-up). Without one no
// cell is editable.
#include "model/MsiFieldDef.h"
#include "model/MsiTable.h"

#include <functional>
#include <memory>

class InPlaceEditor;
class MsiFieldEditorHandler;

using FieldEditorFactory = std::function<std::shared_ptr<InPlaceEditor>(
    MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row, const MsiFieldDef& def)>;

// Returns the previous factory.
FieldEditorFactory SetFieldEditorFactory(FieldEditorFactory factory);
// The installed factory's editor, or empty without a factory.
std::shared_ptr<InPlaceEditor> MakeFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table,
                                               RowIterator row, const MsiFieldDef& def);

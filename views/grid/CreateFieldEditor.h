#pragma once
// The editor factory: the editor that fits a cell, by its column's kind, its schema entry and whether the
// database is open read-only. The lookups reach it through the factory seam of model/lookups.
#include "model/MsiFieldDef.h"
#include "model/MsiTable.h"
#include "model/lookups/MsiFieldEditorHandler.h"
#include "views/grid/InPlaceEditor.h"

#include <set>
#include <string>

// Empty when the cell may not be edited:
// - integers: none read-only; bit flags when the schema names values, else the numeric editor;
// - streams: always the stream editor (loading off when read-only), its path box at the database's folder;
// - strings: none read-only; a value list of the related rows' texts when there are any, the GUID editor
//   for the GUID category of the row or column, else the text editor;
// - anything else: none.
InPlaceEditorPtr CreateFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                                   const MsiFieldDef& def);

// The texts a value-list editor offers: every non-null value of the columns that the column refers to,
// in the tables the database has, sorted, each once.
std::set<std::wstring> GatherChoices(const MsiTable& table, const MsiFieldDef& def);

// Makes CreateFieldEditor the factory that the lookups use (once at start, and in tests).
void InstallFieldEditorFactory();

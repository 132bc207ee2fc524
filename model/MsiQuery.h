#pragma once
// The small SQL helpers every part of the model uses: open and execute views (with trail lines naming the
// statement on failure), read texts, check for a table, and quote names. Values never go into SQL text:
// they travel as "?" parameters in a record.
#include "model/installer/MsiApi.h"

#include <functional>
#include <string>
#include <vector>

// A WHERE condition with its "?" parameters (params is empty when the text has none).
struct SqlCondition
{
    std::wstring text;
    MsiHandle params;
};

namespace MsiQuery {

MsiHandle OpenView(MSIHANDLE database, const std::wstring& sql);
// On failure adds "Failed to execute sql query: ..." and the parameters to the trail, then throws.
void Execute(MSIHANDLE view, const std::wstring& sql, MSIHANDLE params);
MsiHandle OpenAndExecute(MSIHANDLE database, const std::wstring& sql, MSIHANDLE params);
bool TableExists(MSIHANDLE database, const std::wstring& name);
using msi::QuoteName;
// Replaces the one row of the table that the condition selects (see msi::ReplaceFetchedRow): fill writes
// the new values into the fetched record. No row, or more than one, throws and changes nothing.
void ReplaceOneRow(MSIHANDLE database, const std::wstring& table, const SqlCondition& where,
                   const std::function<void(MSIHANDLE record)>& fill);
// Every field of a record as text, joined by ", " (for trail lines).
std::wstring RecordText(MSIHANDLE record);

} // namespace MsiQuery

namespace MsiRecord {

std::wstring GetString(MSIHANDLE record, UINT field);

} // namespace MsiRecord

struct QualifiedComponent
{
    std::wstring qualifier;
    std::wstring application_data;
    std::wstring path;
};

// The files registered for a component whose paths the installer could provide.
std::vector<QualifiedComponent> EnumQualifiedComponents(const std::wstring& component);

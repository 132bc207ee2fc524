#include "model/MsiQuery.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

#include <stdexcept>

namespace MsiQuery {

MsiHandle OpenView(MSIHANDLE database, const std::wstring& sql)
{
    return msi::DatabaseOpenView(database, sql);
}

void Execute(MSIHANDLE view, const std::wstring& sql, MSIHANDLE params)
{
    try {
        msi::ViewExecute(view, params);
    } catch (const tfc::Win32Error&) {
        tfc::Format(L"Failed to execute sql query: %s") << sql;
        if (params)
            tfc::Format(L"\twith params: %s") << RecordText(params);
        throw;
    }
}

MsiHandle OpenAndExecute(MSIHANDLE database, const std::wstring& sql, MSIHANDLE params)
{
    MsiHandle view = OpenView(database, sql);
    Execute(view.get(), sql, params);
    return view;
}

bool TableExists(MSIHANDLE database, const std::wstring& name)
{
    MsiHandle params = msi::CreateRecord(1);
    msi::RecordSetString(params.get(), 1, name);
    const std::wstring sql = L"SELECT `Name` FROM `_Tables` WHERE `Name`=?";
    MsiHandle view = OpenAndExecute(database, sql, params.get());
    return static_cast<bool>(msi::ViewFetch(view.get()));
}

void ReplaceOneRow(MSIHANDLE database, const std::wstring& table, const SqlCondition& where,
                   const std::function<void(MSIHANDLE record)>& fill)
{
    std::wstring sql = L"SELECT * FROM " + QuoteName(table) + L" WHERE " + where.text;
    {
        // Counted apart, so that the row is changed only once it is known to be the only one.
        MsiHandle count = OpenAndExecute(database, sql, where.params.get());
        if (!msi::ViewFetch(count.get()))
            throw std::runtime_error("The row to change is no longer in the database");
        if (msi::ViewFetch(count.get()))
            throw std::runtime_error("The condition of the row to change selects more than one row");
    }
    MsiHandle view = OpenAndExecute(database, sql, where.params.get());
    MsiHandle record = msi::ViewFetch(view.get());
    if (!record)
        throw std::runtime_error("The row to change is no longer in the database");
    msi::ReplaceFetchedRow(database, table, view.get(), record.get(), fill);
}

std::wstring RecordText(MSIHANDLE record)
{
    std::wstring text;
    UINT count = msi::RecordGetFieldCount(record);
    for (UINT field = 1; field <= count; ++field) {
        if (field > 1)
            text += L", ";
        // Stream fields have no text; their size says enough.
        try {
            text += MsiRecord::GetString(record, field);
        } catch (const tfc::Win32Error&) {
            text += L"<stream>";
        }
    }
    return text;
}

} // namespace MsiQuery

namespace MsiRecord {

std::wstring GetString(MSIHANDLE record, UINT field)
{
    return msi::RecordGetString(record, field);
}

} // namespace MsiRecord

std::vector<QualifiedComponent> EnumQualifiedComponents(const std::wstring& component)
{
    std::vector<QualifiedComponent> found;
    QualifiedComponent entry;
    for (DWORD index = 0;
         msi::EnumComponentQualifiers(component, index, entry.qualifier, entry.application_data); ++index) {
        try {
            entry.path = msi::ProvideQualifiedComponent(component, entry.qualifier, INSTALLMODE_DEFAULT);
            found.push_back(entry);
        } catch (const tfc::Win32Error&) {
            // Not provided: the qualifier is left out.
        }
    }
    return found;
}

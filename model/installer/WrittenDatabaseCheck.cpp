#include "model/installer/WrittenDatabaseCheck.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TransformReader.h"
#include "model/installer/TransformWriter.h"
#include "foundation/Errors.h"

namespace msi {
namespace {

size_t CountRows(MSIHANDLE database, const std::wstring& table)
{
    MsiHandle view = DatabaseOpenView(database, L"SELECT * FROM `" + table + L"`");
    ViewExecute(view.get(), 0);
    size_t count = 0;
    while (ViewFetch(view.get()))
        ++count;
    return count;
}

[[noreturn]] void Refuse(const std::wstring& path, const std::wstring& what)
{
    throw tfc::ManageableError(L"The file written for " + path + L" did not read back as saved: " + what +
                                   L"\r\nNothing was replaced; the changes are still open.",
                               L"Unable to save");
}

} // namespace

TableRowCounts DatabaseRowCounts(const std::wstring& path)
{
    MsiHandle database = OpenDatabase(path, MSIDBOPEN_READONLY);
    std::vector<std::wstring> names;
    {
        MsiHandle view = DatabaseOpenView(database.get(), L"SELECT `Name` FROM `_Tables`");
        ViewExecute(view.get(), 0);
        while (MsiHandle record = ViewFetch(view.get()))
            names.push_back(RecordGetString(record.get(), 1));
    }
    TableRowCounts counts;
    for (const std::wstring& name : names)
        counts[name] = CountRows(database.get(), name);
    return counts;
}

void CheckWrittenDatabase(const std::wstring& path, const TableRowCounts& expected)
{
    TableRowCounts found;
    try {
        found = DatabaseRowCounts(path);
    } catch (const tfc::Win32Error& error) {
        Refuse(path, error.description());
    }
    for (const auto& table : expected) {
        auto there = found.find(table.first);
        if (there == found.end())
            Refuse(path, L"table " + table.first + L" is missing.");
        if (there->second != table.second)
            Refuse(path, L"table " + table.first + L" has " + std::to_wstring(there->second) +
                             L" rows, not " + std::to_wstring(table.second) + L".");
    }
    for (const auto& table : found)
        if (!expected.count(table.first))
            Refuse(path, L"table " + table.first + L" should not be there.");
}

void CheckWrittenTransform(const std::wstring& path)
{
    bool transform = false;
    try {
        transform = IsEqualCLSID(TransformFile(path).ClassId(), kTransformClassId) != FALSE;
    } catch (const tfc::Win32Error& error) {
        Refuse(path, error.description());
    }
    if (!transform)
        Refuse(path, L"it is not a transform.");
}

} // namespace msi

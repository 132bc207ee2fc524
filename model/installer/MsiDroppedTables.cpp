#include "model/installer/MsiDroppedTables.h"
#include "model/installer/MsiApi.h"
#include "model/installer/TransformTableData.h"

namespace msi {
namespace detail {

std::set<std::wstring> ListedTables(MSIHANDLE database)
{
    std::vector<std::wstring> names = ReadTableNames(database);
    return std::set<std::wstring>(names.begin(), names.end());
}

void RemoveColumnsOfDroppedTables(MSIHANDLE database, const std::set<std::wstring>& before)
{
    std::set<std::wstring> after = ListedTables(database);
    for (const std::wstring& table : before) {
        if (after.count(table))
            continue;
        MsiHandle name = CreateRecord(1);
        RecordSetString(name.get(), 1, table);
        // Listed again and dropped for good: Wine's own drop clears what its loaded table holds (deleting
        // the _Columns rows alone makes the next commit fault).
        MsiHandle insert = DatabaseOpenView(database, L"INSERT INTO `_Tables` (`Name`) VALUES (?)");
        ViewExecute(insert.get(), name.get());
        MsiHandle drop = DatabaseOpenView(database, L"DROP TABLE `" + table + L"`");
        ViewExecute(drop.get(), 0);
    }
}

} // namespace detail
} // namespace msi

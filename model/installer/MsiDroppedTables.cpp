#include "model/installer/MsiDroppedTables.h"
#include "model/installer/MsiApi.h"

namespace msi {
namespace detail {

std::set<std::wstring> ListedTables(MSIHANDLE database)
{
    std::set<std::wstring> names;
    MsiHandle view = DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables`");
    ViewExecute(view.get(), 0);
    while (MsiHandle record = ViewFetch(view.get()))
        names.insert(RecordGetString(record.get(), 1));
    return names;
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

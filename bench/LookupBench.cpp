// Timing of the table lookups over a large database: a File table of n rows with Component and Directory
// tables of n / 5 rows, for n = 10,000, 20,000 and 100,000. Prints one line per figure; asserts nothing.
// Usage: bench_LookupBench [folder for the scratch databases]
#include "model/MsiApi.h"
#include "model/MsiFile.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "model/lookups/MsiTableLookup.h"
#include "foundation/Convert.h"

#include <windows.h>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

class Stopwatch
{
public:
    Stopwatch()
    {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }
    double milliseconds() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
               static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_;
    LARGE_INTEGER start_;
};

void Report(int rows, const char* figure, double value, const char* unit)
{
    std::printf("rows=%d %s=%.3f %s\n", rows, figure, value, unit);
    std::fflush(stdout);
}

void Execute(MSIHANDLE database, const std::wstring& sql)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    msi::ViewExecute(view.get(), 0);
}

// Inserts rows through one prepared view; fill sets the fields of row i.
template <typename Fill>
void InsertRows(MSIHANDLE database, const std::wstring& sql, int count, UINT fields, Fill fill)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    MsiHandle record = msi::CreateRecord(fields);
    for (int i = 0; i < count; ++i) {
        fill(record.get(), i);
        msi::ViewExecute(view.get(), record.get());
        msi::ViewClose(view.get());
    }
}

std::wstring Name(const wchar_t* prefix, int i)
{
    return prefix + std::to_wstring(i);
}

void MakeDatabase(const std::wstring& path, int files)
{
    DeleteFileW(path.c_str());
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    Execute(database.get(),
            L"CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), "
            L"`DefaultDir` CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)");
    Execute(database.get(),
            L"CREATE TABLE `Component` (`Component` CHAR(72) NOT NULL, `ComponentId` CHAR(38), "
            L"`Directory_` CHAR(72) NOT NULL, `Attributes` SHORT NOT NULL, `Condition` CHAR(255), "
            L"`KeyPath` CHAR(72) PRIMARY KEY `Component`)");
    Execute(database.get(), L"CREATE TABLE `File` (`File` CHAR(72) NOT NULL, `Component_` CHAR(72) NOT NULL, "
                            L"`FileName` CHAR(255) NOT NULL LOCALIZABLE, `FileSize` LONG NOT NULL, `Version` "
                            L"CHAR(72), `Language` CHAR(20), `Attributes` SHORT, `Sequence` LONG NOT NULL "
                            L"PRIMARY KEY `File`)");
    int others = files / 5;
    InsertRows(
        database.get(),
        L"INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES (?, ?, ?)", others,
        3, [](MSIHANDLE record, int i) {
            msi::RecordSetString(record, 1, i == 0 ? std::wstring(L"TARGETDIR") : Name(L"Dir", i));
            // A tree: every folder below one of the earlier ones.
            msi::RecordSetString(record, 2,
                                 i == 0 ? std::wstring()
                                        : (i < 10 ? std::wstring(L"TARGETDIR") : Name(L"Dir", i / 10)));
            msi::RecordSetString(record, 3, i == 0 ? std::wstring(L"SourceDir") : Name(L"DIR~|Folder", i));
        });
    InsertRows(database.get(),
               L"INSERT INTO `Component` (`Component`, `ComponentId`, `Directory_`, `Attributes`, `KeyPath`) "
               L"VALUES (?, ?, ?, ?, ?)",
               others, 5, [others](MSIHANDLE record, int i) {
                   wchar_t guid[40];
                   swprintf(guid, 40, L"{%08X-0000-0000-0000-000000000000}", i);
                   msi::RecordSetString(record, 1, Name(L"Comp", i));
                   msi::RecordSetString(record, 2, guid);
                   msi::RecordSetString(record, 3,
                                        i == 0 ? std::wstring(L"TARGETDIR") : Name(L"Dir", (i * 7) % others));
                   msi::RecordSetInteger(record, 4, i % 4);
                   msi::RecordSetString(record, 5, Name(L"File", i * 5));
               });
    InsertRows(database.get(),
               L"INSERT INTO `File` (`File`, `Component_`, `FileName`, `FileSize`, `Version`, `Language`, "
               L"`Attributes`, `Sequence`) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
               files, 8, [](MSIHANDLE record, int i) {
                   msi::RecordSetString(record, 1, Name(L"File", i));
                   msi::RecordSetString(record, 2, Name(L"Comp", i / 5));
                   msi::RecordSetString(record, 3,
                                        Name(L"FILE~", i % 1000) + L"|file" + std::to_wstring(i) + L".dll");
                   msi::RecordSetInteger(record, 4, (i * 7919) % 100000);
                   msi::RecordSetString(record, 5,
                                        i % 3 ? std::wstring() : L"1.0." + std::to_wstring(i % 97));
                   msi::RecordSetString(record, 6, i % 2 ? std::wstring(L"1033") : std::wstring());
                   if (i % 5)
                       msi::RecordSetInteger(record, 7, 512);
                   else
                       msi::RecordSetString(record, 7, std::wstring());
                   msi::RecordSetInteger(record, 8, i + 1);
               });
    msi::DatabaseCommit(database.get());
}

void Run(const std::wstring& folder, int files, bool with_references)
{
    std::wstring path = folder + L"\\lookup-bench-" + std::to_wstring(files) + L".msi";
    {
        Stopwatch made;
        MakeDatabase(path, files);
        Report(files, "make_database_ms", made.milliseconds(), "ms");
    }
    MsiFile file;
    Stopwatch load;
    file.Open(path, MSIDBOPEN_TRANSACT);
    Report(files, "load_all_tables_ms", load.milliseconds(), "ms");

    MsiTable& table = *file.FindTable(L"File");
    Stopwatch build;
    MsiTableLookup lookup(table);
    lookup.GetCellText(0, lookup.RowCount() - 1, 0);
    Report(files, "build_file_lookup_ms", build.milliseconds(), "ms");

    std::vector<int> selected;
    int focused = -1;
    int previous = 0;
    for (int column = 0; column < lookup.ColumnCount(); ++column) {
        Stopwatch sort;
        lookup.Sort(column, true, previous, selected, focused);
        char figure[64];
        std::snprintf(figure, sizeof(figure), "sort_%ls_ms", lookup.GetFieldDef(column)->name().c_str());
        Report(files, figure, sort.milliseconds(), "ms");
        previous = column;
    }
    {
        Stopwatch sort;
        lookup.Sort(previous, false, previous, selected, focused);
        Report(files, "sort_descending_again_ms", sort.milliseconds(), "ms");
    }

    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, files - 1);
    {
        // Reads every key once, and the positions of the sort column's order.
        Stopwatch first;
        lookup.FindRow({Name(L"File", pick(random))}, previous);
        Report(files, "first_key_search_ms", first.milliseconds(), "ms");
    }
    const int searches = 1000;
    Stopwatch search;
    int found = 0;
    for (int i = 0; i < searches; ++i)
        found += lookup.FindRow({Name(L"File", pick(random))}, previous) != lookup.RowCount();
    Report(files, "key_search_us", 1000.0 * search.milliseconds() / searches, "us");
    if (found != searches)
        std::printf("rows=%d key_search_missed=%d\n", files, searches - found);

    // The same number of changes made on the database alone tells how much of an edit is the lookup's.
    MsiFieldDefRef version = lookup.GetFieldDef(lookup.FindColumn(L"Version"));
    Stopwatch changes;
    for (int i = 0; i < 1000; ++i)
        file.ModifyRow(table, *version, lookup.GetIndexedRow(pick(random), 0),
                       MsiFieldDataRef(new MsiFieldData(L"3.0." + std::to_wstring(i))));
    Report(files, "database_changes_1000_ms", changes.milliseconds(), "ms");
    Stopwatch edits;
    for (int i = 0; i < 1000; ++i) {
        int position = pick(random);
        lookup.CommitFieldValue(*version, lookup.GetIndexedRow(position, 0),
                                MsiFieldDataRef(new MsiFieldData(L"2.0." + std::to_wstring(i))), true);
    }
    Report(files, "edits_1000_ms", edits.milliseconds(), "ms");

    Stopwatch directory;
    MsiDirectoryTableLookup directories(*file.FindTable(L"Directory"));
    directories.Sort(3, true, 0, selected, focused);
    Report(files, "directory_lookup_sorted_by_path_ms", directory.milliseconds(), "ms");

    if (!with_references) {
        std::printf("rows=%d build_row_references skipped: it grows with the product of the File and "
                    "Component rows, see the smaller runs\n",
                    files);
        return;
    }
    Stopwatch references;
    file.relationships().Build(file);
    Report(files, "build_row_references_ms", references.milliseconds(), "ms");
}

} // namespace

int main(int argc, char** argv)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = argc > 1 ? tfc::to_wide(argv[1]) : std::wstring(temp);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    try {
        Run(folder, 10000, true);
        Run(folder, 20000, true);
        Run(folder, 100000, false);
    } catch (const std::exception& error) {
        std::printf("failed: %s\n", error.what());
        return 1;
    }
    return 0;
}

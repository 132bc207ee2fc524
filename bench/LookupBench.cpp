// Timing of the model and the table lookups over a large database: a File table of n rows with Component
// and Directory tables of n / 5 rows, for n = 10,000, 20,000 and 100,000, beside the installer library
// doing the same work alone (the raw_ figures). Prints one line per figure; asserts nothing.
// Usage: bench_LookupBench [folder for the scratch databases [File rows...]]
#include "BenchSupport.h"

#include "model/installer/MsiApi.h"
#include "model/MsiFile.h"
#include "model/lookups/MsiDirectoryTableLookup.h"
#include "model/lookups/MsiTableLookup.h"
#include "foundation/Convert.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace bench;

namespace {

// The same keys the editor's changes use, so both sides do the same work.
std::vector<int> ChangedRows(int files)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, files - 1);
    std::vector<int> rows(1000);
    for (int& row : rows)
        row = pick(random);
    return rows;
}

void RawUpdates(MSIHANDLE database, const std::vector<int>& rows)
{
    MsiHandle view = msi::DatabaseOpenView(database, L"UPDATE `File` SET `Version`=? WHERE `File`=?");
    MsiHandle record = msi::CreateRecord(2);
    for (size_t i = 0; i < rows.size(); ++i) {
        msi::RecordSetString(record.get(), 1, L"4.0." + std::to_wstring(i));
        msi::RecordSetString(record.get(), 2, WideName(L"File", rows[i]));
        msi::ViewExecute(view.get(), record.get());
        msi::ViewClose(view.get());
    }
}

void Run(const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\lookup-bench-" + std::to_wstring(files) + L".msi";
    {
        Stopwatch made;
        MakeDatabase(folder, path, files);
        Report(files, "make_database_ms", made.milliseconds(), "ms");
    }
    // The platform's side works on copies: Wine opens no file that a transacted handle holds.
    std::wstring raw_path = Copy(path, L"-raw");
    std::vector<int> changed_rows = ChangedRows(files);
    {
        Stopwatch fetch;
        RawFetchAll(raw_path);
        Report(files, "raw_fetch_all_ms", fetch.milliseconds(), "ms");
        // What the installer library itself keeps of an open database, which the editor's figure includes.
        unsigned long long memory = 0;
        long long cells = RawFetchAll(raw_path, &memory);
        Report(files, "raw_memory_after_fetch_bytes_per_cell",
               static_cast<double>(memory) / static_cast<double>(cells ? cells : 1), "bytes");
    }
    {
        MsiHandle database = msi::OpenDatabase(raw_path, MSIDBOPEN_READONLY);
        Stopwatch ordered;
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT * FROM `File` ORDER BY `FileName`");
        msi::ViewExecute(view.get(), 0);
        while (MsiHandle record = msi::ViewFetch(view.get())) {
        }
        Report(files, "raw_order_by_FileName_ms", ordered.milliseconds(), "ms");
    }
    {
        MsiHandle database = msi::OpenDatabase(raw_path, MSIDBOPEN_TRANSACT);
        Stopwatch updates;
        RawUpdates(database.get(), changed_rows);
        Report(files, "raw_updates_1000_ms", updates.milliseconds(), "ms");
    }
    {
        // What a save to another path does at least: copy, open, the same changes, commit.
        std::wstring target = folder + L"\\lookup-bench-raw-saved.msi";
        Stopwatch saved;
        if (!CopyFileW(raw_path.c_str(), target.c_str(), FALSE))
            throw std::runtime_error("CopyFile failed");
        MsiHandle database = msi::OpenDatabase(target, MSIDBOPEN_TRANSACT);
        RawUpdates(database.get(), changed_rows);
        msi::DatabaseCommit(database.get());
        database.reset();
        Report(files, "raw_save_as_after_updates_ms", saved.milliseconds(), "ms");
        DeleteFileW(target.c_str());
    }
    DeleteFileW(raw_path.c_str());

    MsiFile file;
    unsigned long long memory_before = HeapBytesInUse();
    Stopwatch load;
    file.Open(path, MSIDBOPEN_TRANSACT);
    Report(files, "load_all_tables_ms", load.milliseconds(), "ms");
    long long cells = 0;
    for (const auto& entry : file.tables())
        cells += static_cast<long long>(entry.second->rows().size() * entry.second->columns().size());
    unsigned long long memory_after = HeapBytesInUse();
    Report(files, "memory_after_load_bytes_per_cell",
           static_cast<double>(memory_after > memory_before ? memory_after - memory_before : 0) /
               static_cast<double>(cells ? cells : 1),
           "bytes");

    MsiTable& table = *file.FindTable(L"File");
    Stopwatch build;
    MsiTableLookup lookup(table);
    lookup.GetCellText(0, lookup.RowCount() - 1, 0);
    Report(files, "build_file_lookup_ms", build.milliseconds(), "ms");

    // The changes go through the change log, as the editor's own do; a save to another path replays them.
    {
        std::vector<RowIterator> rows;
        {
            std::vector<RowIterator> all;
            for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
                all.push_back(row);
            for (int at : changed_rows)
                rows.push_back(all[at]);
        }
        MsiFieldDefRef version = table.FindColumn(L"Version");
        Stopwatch changes;
        for (size_t i = 0; i < rows.size(); ++i)
            file.ModifyRow(table, *version, rows[i],
                           MsiFieldDataRef(new MsiFieldData(L"4.0." + std::to_wstring(i))));
        Report(files, "changes_1000_ms", changes.milliseconds(), "ms");
        std::wstring target = folder + L"\\lookup-bench-saved.msi";
        Stopwatch saved;
        file.Save(target, false, L"");
        Report(files, "save_as_after_changes_ms", saved.milliseconds(), "ms");
        DeleteFileW(target.c_str());
    }

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
    {
        int name_column = lookup.FindColumn(L"FileName");
        lookup.Sort(name_column, true, previous, selected, focused);
        lookup.Sort(0, true, name_column, selected, focused);
        Stopwatch sort;
        lookup.Sort(name_column, true, 0, selected, focused);
        Report(files, "sort_FileName_again_ms", sort.milliseconds(), "ms");
        previous = name_column;
    }

    std::mt19937 random(42);
    std::uniform_int_distribution<int> pick(0, files - 1);
    {
        // Reads every key once, and the positions of the sort column's order.
        Stopwatch first;
        lookup.FindRow({WideName(L"File", pick(random))}, previous);
        Report(files, "first_key_search_ms", first.milliseconds(), "ms");
    }
    const int searches = 1000;
    Stopwatch search;
    int found = 0;
    for (int i = 0; i < searches; ++i)
        found += lookup.FindRow({WideName(L"File", pick(random))}, previous) != lookup.RowCount();
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

    Stopwatch references;
    file.relationships().Build(file);
    Report(files, "build_row_references_ms", references.milliseconds(), "ms");
    {
        // Changes kept in the row references: each looks up only the rows concerned.
        MsiFieldDefRef component = table.FindColumn(L"Component_");
        Stopwatch tracked;
        for (int i = 0; i < 1000; ++i)
            file.ModifyRow(table, *component, lookup.GetIndexedRow(pick(random), 0),
                           MsiFieldDataRef(new MsiFieldData(WideName(L"Comp", pick(random) / 5))));
        Report(files, "tracked_changes_1000_ms", tracked.milliseconds(), "ms");
    }
    {
        // The editor's changes and UPDATEs of the same rows on its own database handle, one of each in
        // turn, so that the load of a shared machine and the state of the database weigh on both alike: the
        // editor's share as a ratio. Each row's last value is the editor's, so memory and file still agree.
        MsiHandle view =
            msi::DatabaseOpenView(file.handle(), L"UPDATE `File` SET `Version`=? WHERE `File`=?");
        MsiHandle record = msi::CreateRecord(2);
        std::vector<RowIterator> all;
        for (RowIterator row = table.rows().begin(); row != table.rows().end(); ++row)
            all.push_back(row);
        MsiFieldDefRef version = table.FindColumn(L"Version");
        double raw_ms = 0, editor_ms = 0;
        for (size_t i = 0; i < changed_rows.size(); ++i) {
            Stopwatch raw;
            msi::RecordSetString(record.get(), 1, L"5.0." + std::to_wstring(i));
            msi::RecordSetString(record.get(), 2, WideName(L"File", changed_rows[i]));
            msi::ViewExecute(view.get(), record.get());
            msi::ViewClose(view.get());
            raw_ms += raw.milliseconds();
            Stopwatch editor;
            file.ModifyRow(table, *version, all[changed_rows[i]],
                           MsiFieldDataRef(new MsiFieldData(L"6.0." + std::to_wstring(i))));
            editor_ms += editor.milliseconds();
        }
        Report(files, "changes_to_raw_updates_in_turn_ratio", editor_ms / (raw_ms > 0 ? raw_ms : 1), "x");
    }
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments = ReadArguments(argc, argv, {10000, 20000, 100000});
    try {
        for (int files : arguments.sizes)
            Run(arguments.folder, files);
    } catch (const std::exception& error) {
        std::printf("failed: %s\n", error.what());
        return 1;
    }
    return 0;
}

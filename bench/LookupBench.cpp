// Timing of the model and the table lookups over a large database: a File table of n rows with Component
// and Directory tables of n / 5 rows, for n = 10,000, 20,000 and 100,000, beside the installer library
// doing the same work alone (the raw_ figures). Prints one line per figure; asserts nothing.
// Usage: bench_LookupBench [folder for the scratch databases [File rows...]]
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

// A table as .idt text, brought in by the installer library in one import.
class IdtFile
{
public:
    IdtFile(const char* names, const char* types, const char* keys) : text_(names)
    {
        text_ += "\r\n";
        text_ += types;
        text_ += "\r\n";
        text_ += keys;
        text_ += "\r\n";
    }
    IdtFile& cell(const std::string& value)
    {
        if (!at_line_start_)
            text_ += '\t';
        text_ += value;
        at_line_start_ = false;
        return *this;
    }
    void end_row()
    {
        text_ += "\r\n";
        at_line_start_ = true;
    }
    void import(MSIHANDLE database, const std::wstring& folder, const std::wstring& name) const
    {
        std::wstring path = folder + L"\\" + name;
        FILE* file = _wfopen(path.c_str(), L"wb");
        if (!file)
            throw std::runtime_error("cannot write the .idt file");
        std::fwrite(text_.data(), 1, text_.size(), file);
        std::fclose(file);
        msi::DatabaseImport(database, folder, name);
        DeleteFileW(path.c_str());
    }

private:
    std::string text_;
    bool at_line_start_ = true;
};

std::string Name(const char* prefix, int i)
{
    return prefix + std::to_string(i);
}

std::wstring WideName(const wchar_t* prefix, int i)
{
    return prefix + std::to_wstring(i);
}

// A File table of files rows, Component and Directory tables of files / 5 rows.
void MakeDatabase(const std::wstring& folder, const std::wstring& path, int files)
{
    DeleteFileW(path.c_str());
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    int others = files / 5;
    IdtFile directories("Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255", "Directory\tDirectory");
    for (int i = 0; i < others; ++i) {
        // A tree: every folder below one of the earlier ones.
        directories.cell(i == 0 ? "TARGETDIR" : Name("Dir", i))
            .cell(i == 0 ? "" : (i < 10 ? std::string("TARGETDIR") : Name("Dir", i / 10)))
            .cell(i == 0 ? "SourceDir" : Name("DIR~|Folder", i))
            .end_row();
    }
    directories.import(database.get(), folder, L"Directory.idt");
    IdtFile components("Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath",
                       "s72\tS38\ts72\ti2\tS255\tS72", "Component\tComponent");
    for (int i = 0; i < others; ++i) {
        char guid[40];
        std::snprintf(guid, sizeof(guid), "{%08X-0000-0000-0000-000000000000}", i);
        components.cell(Name("Comp", i))
            .cell(guid)
            .cell(i == 0 ? std::string("TARGETDIR") : Name("Dir", (i * 7) % others))
            .cell(std::to_string(i % 4))
            .cell("")
            .cell(Name("File", i * 5))
            .end_row();
    }
    components.import(database.get(), folder, L"Component.idt");
    IdtFile file_rows("File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence",
                      "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti4", "File\tFile");
    for (int i = 0; i < files; ++i) {
        file_rows.cell(Name("File", i))
            .cell(Name("Comp", i / 5))
            .cell(Name("FILE~", i % 1000) + "|file" + std::to_string(i) + ".dll")
            .cell(std::to_string((i * 7919) % 100000))
            .cell(i % 3 ? std::string() : "1.0." + std::to_string(i % 97))
            .cell(i % 2 ? "1033" : "")
            .cell(i % 5 ? "512" : "")
            .cell(std::to_string(i + 1))
            .end_row();
    }
    file_rows.import(database.get(), folder, L"File.idt");
    msi::DatabaseCommit(database.get());
}

std::wstring Copy(const std::wstring& path, const std::wstring& suffix)
{
    std::wstring copy = path.substr(0, path.size() - 4) + suffix + L".msi";
    if (!CopyFileW(path.c_str(), copy.c_str(), FALSE))
        throw std::runtime_error("CopyFile failed");
    return copy;
}

// Bytes of every heap block in use, with the heap's own overhead: unlike the working set, not lowered by
// blocks an earlier run freed and this one reuses.
unsigned long long HeapBytesInUse()
{
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    unsigned long long bytes = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                bytes += entry.cbData + entry.cbOverhead;
        }
        HeapUnlock(heap);
    }
    return bytes;
}

// Every cell of every table as the installer library gives it; returns the number of cells. memory: the
// heap bytes the open database then holds.
long long RawFetchAll(const std::wstring& path, unsigned long long* memory = nullptr)
{
    unsigned long long before = memory ? HeapBytesInUse() : 0;
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_TRANSACT);
    std::vector<std::wstring> tables;
    {
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT `Name` FROM `_Tables`");
        msi::ViewExecute(view.get(), 0);
        while (MsiHandle record = msi::ViewFetch(view.get()))
            tables.push_back(msi::RecordGetString(record.get(), 1));
    }
    long long cells = 0;
    for (const std::wstring& table : tables) {
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"SELECT * FROM `" + table + L"`");
        msi::ViewExecute(view.get(), 0);
        MsiHandle types = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_TYPES);
        std::wstring kinds;
        for (UINT field = 1; field <= msi::RecordGetFieldCount(types.get()); ++field)
            kinds += static_cast<wchar_t>(towlower(msi::RecordGetString(types.get(), field)[0]));
        while (MsiHandle record = msi::ViewFetch(view.get())) {
            for (UINT field = 1; field <= kinds.size(); ++field, ++cells) {
                // Numbers read as numbers, texts as texts; streams are left where they are.
                if (kinds[field - 1] == L'i')
                    MsiRecordGetInteger(record.get(), field);
                else if (kinds[field - 1] != L'v')
                    msi::RecordGetString(record.get(), field);
            }
        }
    }
    if (memory) {
        unsigned long long after = HeapBytesInUse();
        *memory = after > before ? after - before : 0;
    }
    return cells;
}

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
        std::vector<int> sizes;
        for (int at = 2; at < argc; ++at)
            sizes.push_back(std::atoi(argv[at]));
        if (sizes.empty())
            sizes = {10000, 20000, 100000};
        for (int files : sizes)
            Run(folder, files);
    } catch (const std::exception& error) {
        std::printf("failed: %s\n", error.what());
        return 1;
    }
    return 0;
}

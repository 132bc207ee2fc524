#pragma once
// What the benchmarks share: a stopwatch, the figure line, tables written as .idt text and imported by
// the installer library in one go, the large File database and the installer library's own fetch of it,
// and, for the window benchmarks, a way to let the frame handle everything it has queued.
#include "foundation/Convert.h"
#include "foundation/Prompt.h"
#include "model/installer/MsiApi.h"

#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

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

inline void Report(int rows, const char* figure, double value, const char* unit)
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

inline std::string Name(const char* prefix, int i)
{
    return prefix + std::to_string(i);
}

inline std::wstring WideName(const wchar_t* prefix, int i)
{
    return prefix + std::to_wstring(i);
}

// A File table of files rows, Component and Directory tables of files / 5 rows.
inline void MakeDatabase(const std::wstring& folder, const std::wstring& path, int files)
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

inline std::wstring Copy(const std::wstring& path, const std::wstring& suffix)
{
    std::wstring copy = path.substr(0, path.size() - 4) + suffix + L".msi";
    if (!CopyFileW(path.c_str(), copy.c_str(), FALSE))
        throw std::runtime_error("CopyFile failed");
    return copy;
}

// Bytes of every heap block in use, with the heap's own overhead: unlike the working set, not lowered by
// blocks an earlier run freed and this one reuses.
inline unsigned long long HeapBytesInUse()
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
inline long long RawFetchAll(const std::wstring& path, unsigned long long* memory = nullptr)
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

// The scratch folder (first argument, else the temporary folder) and the sizes that follow it, else the
// defaults.
struct Arguments
{
    std::wstring folder;
    std::vector<int> sizes;
};

inline Arguments ReadArguments(int argc, char** argv, std::vector<int> defaults)
{
    Arguments arguments;
    if (argc > 1) {
        arguments.folder = tamblewick_foundation_classes_v1_0::to_wide(argv[1]);
    } else {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        arguments.folder = temp;
    }
    if (!arguments.folder.empty() && arguments.folder.back() == L'\\')
        arguments.folder.pop_back();
    for (int at = 2; at < argc; ++at)
        arguments.sizes.push_back(std::atoi(argv[at]));
    if (arguments.sizes.empty())
        arguments.sizes = std::move(defaults);
    return arguments;
}

// No person answers a benchmark: every prompt (an error included) is printed and answered No.
inline void PrintPrompts()
{
    SetPromptResponder([](const PromptRequest& request) {
        std::printf("prompt: %ls\n", request.text.c_str());
        std::fflush(stdout);
        PromptAnswer answer;
        answer.result = IDNO;
        return answer;
    });
}

// Handles every message queued for this thread, paints included, until none is left.
inline void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace bench

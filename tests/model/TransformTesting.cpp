#include "TransformTesting.h"
#include "model/installer/TransformStorage.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace transform_testing {

void Exec(MSIHANDLE database, const std::wstring& sql, const std::vector<Arg>& args)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    MsiHandle record;
    if (!args.empty()) {
        record = msi::CreateRecord(static_cast<UINT>(args.size()));
        for (size_t i = 0; i < args.size(); ++i) {
            UINT field = static_cast<UINT>(i + 1);
            if (args[i].kind == Arg::Integer)
                msi::RecordSetInteger(record.get(), field, args[i].number);
            else if (args[i].kind == Arg::Text)
                msi::RecordSetString(record.get(), field, args[i].text);
            else
                msi::RecordSetStream(record.get(), field, args[i].text);
        }
    }
    msi::ViewExecute(view.get(), record.get());
}

void SetCodePage(MSIHANDLE database, UINT code_page)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring name = L"cp" + std::to_wstring(GetCurrentProcessId()) + L".idt";
    std::string text = "\r\n\r\n" + std::to_string(code_page) + "\t_ForceCodepage\r\n";
    std::wstring path = std::wstring(folder) + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    msi::DatabaseImport(database, folder, name);
    DeleteFileW(path.c_str());
}

void CreateDatabase(const std::wstring& path, const std::vector<std::wstring>& statements, UINT code_page)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    if (code_page)
        SetCodePage(database.get(), code_page);
    for (const std::wstring& sql : statements)
        Exec(database.get(), sql);
    msi::DatabaseCommit(database.get());
}

namespace {

std::vector<std::wstring> column_info(MSIHANDLE view, MSICOLINFO kind)
{
    MsiHandle info = msi::ViewGetColumnInfo(view, kind);
    std::vector<std::wstring> texts;
    for (UINT i = 1; i <= msi::RecordGetFieldCount(info.get()); ++i)
        texts.push_back(msi::RecordGetString(info.get(), i));
    return texts;
}

std::string cell_text(MSIHANDLE record, UINT field, wchar_t type)
{
    if (msi::RecordIsNull(record, field))
        return "<null>";
    if (type == L'v' || type == L'V') {
        std::string bytes;
        char buffer[4096];
        while (DWORD read = msi::RecordReadStream(record, field, buffer, sizeof(buffer)))
            bytes.append(buffer, read);
        if (bytes.size() <= 64)
            return "b[" + std::to_string(bytes.size()) + "]:" + bytes;
        unsigned long long hash = 14695981039346656037ull; // FNV-1a
        for (char c : bytes)
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        return "b[" + std::to_string(bytes.size()) + "]#" + std::to_string(hash);
    }
    if (type == L'i' || type == L'I' || type == L'j' || type == L'J')
        return "i:" + std::to_string(msi::RecordGetInteger(record, field));
    return "s:" + tfc::to_narrow(msi::RecordGetString(record, field), CP_UTF8);
}

std::vector<std::string> select_lines(MSIHANDLE database, const std::wstring& sql, const std::wstring& table)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    MsiHandle name = msi::CreateRecord(1);
    msi::RecordSetString(name.get(), 1, table);
    msi::ViewExecute(view.get(), sql.find(L'?') != std::wstring::npos ? name.get() : 0);
    std::vector<std::wstring> types = column_info(view.get(), MSICOLINFO_TYPES);
    bool streams = std::any_of(types.begin(), types.end(), [](const std::wstring& type) {
        return !type.empty() && towlower(type[0]) == L'v';
    });
    UINT keys = streams ? msi::RecordGetFieldCount(msi::DatabaseGetPrimaryKeys(database, table).get()) : 0;
    std::vector<std::string> lines;
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        std::string line;
        for (size_t i = 0; i < types.size(); ++i)
            line += cell_text(record.get(), static_cast<UINT>(i + 1), types[i].empty() ? L's' : types[i][0]) +
                    " | ";
        lines.push_back(line);
        // A stream read to its end must be put back, or the handle's next commit fails.
        std::wstring name = table;
        for (UINT key = 1; key <= keys; ++key)
            name += L"." + msi::RecordGetString(record.get(), key);
        if (streams)
            msi::RewindStream(database, name);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

// Independent of the writer's own reader: SELECT * with the library's column types, and the table's
// _Columns rows (number, name, type word).
DatabaseText DumpDatabase(MSIHANDLE database)
{
    DatabaseText text;
    MsiHandle tables = msi::DatabaseOpenView(database, L"SELECT `Name` FROM `_Tables`");
    msi::ViewExecute(tables.get(), 0);
    while (MsiHandle record = msi::ViewFetch(tables.get())) {
        std::wstring name = msi::RecordGetString(record.get(), 1);
        std::vector<std::string> lines = select_lines(
            database, L"SELECT `Number`, `Name`, `Type` FROM `_Columns` WHERE `Table` = ?", name);
        std::vector<std::string> rows = select_lines(database, L"SELECT * FROM `" + name + L"`", name);
        lines.insert(lines.end(), rows.begin(), rows.end());
        text[name] = lines;
    }
    return text;
}

MsiHandle ApplyToCopy(const std::wstring& base, const std::wstring& transform, const std::wstring& folder,
                      bool reopen, std::wstring* copy_path)
{
    static int counter = 0;
    std::wstring copy = folder + L"\\applied" + std::to_wstring(++counter) + L".msi";
    if (copy_path)
        *copy_path = copy;
    if (!CopyFileW(base.c_str(), copy.c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    MsiHandle database = msi::OpenDatabaseTransformed(copy, transform, 0);
    if (!reopen)
        return database;
    msi::DatabaseCommit(database.get());
    database.reset();
    EXPECT_TRUE(DeleteFileW(transform.c_str())) << "the transform is still in use";
    return msi::OpenDatabase(copy, MSIDBOPEN_READONLY);
}

std::string ReadTransformStream(const std::wstring& transform, const std::wstring& packed_name)
{
    msi::ComRef<IStorage> storage;
    msi::CheckHresult(StgOpenStorage(transform.c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr,
                                     0, storage.receive()),
                      L"StgOpenStorage");
    msi::ComRef<IStream> stream;
    msi::CheckHresult(storage->OpenStream(packed_name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0,
                                          stream.receive()),
                      L"IStorage::OpenStream");
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

} // namespace transform_testing

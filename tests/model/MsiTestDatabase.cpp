#include "MsiTestDatabase.h"
#include "foundation/Convert.h"
#include "foundation/Errors.h"

namespace model_testing {

MsiHandle ParamRecord(const std::vector<Param>& params)
{
    MsiHandle record = msi::CreateRecord(static_cast<UINT>(params.size()));
    for (size_t at = 0; at < params.size(); ++at) {
        UINT field = static_cast<UINT>(at + 1);
        const Param& param = params[at];
        if (param.kind == Param::integer)
            msi::RecordSetInteger(record.get(), field, param.number);
        else if (param.kind == Param::text)
            msi::RecordSetString(record.get(), field, param.value);
        else if (param.kind == Param::stream)
            msi::RecordSetStream(record.get(), field, param.value);
    }
    return record;
}

MsiHandle Execute(MSIHANDLE database, const std::wstring& sql, const std::vector<Param>& params)
{
    MsiHandle view = msi::DatabaseOpenView(database, sql);
    MsiHandle record = params.empty() ? MsiHandle() : ParamRecord(params);
    msi::ViewExecute(view.get(), record.get());
    return view;
}

void CreateDatabaseFile(const std::wstring& path, const std::vector<std::wstring>& statements)
{
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    for (const std::wstring& sql : statements)
        Execute(database.get(), sql);
    msi::DatabaseCommit(database.get());
}

std::string StreamBytes(MSIHANDLE record, UINT field)
{
    std::string bytes;
    char buffer[4096];
    for (;;) {
        DWORD read = msi::RecordReadStream(record, field, buffer, sizeof(buffer));
        bytes.append(buffer, read);
        if (read < sizeof(buffer))
            return bytes;
    }
}

std::vector<std::vector<std::string>> SelectRows(MSIHANDLE database, const std::wstring& sql,
                                                 const std::vector<Param>& params)
{
    MsiHandle view = Execute(database, sql, params);
    MsiHandle types = msi::ViewGetColumnInfo(view.get(), MSICOLINFO_TYPES);
    UINT count = msi::RecordGetFieldCount(types.get());
    std::vector<std::vector<std::string>> rows;
    while (MsiHandle record = msi::ViewFetch(view.get())) {
        std::vector<std::string> row;
        for (UINT field = 1; field <= count; ++field) {
            wchar_t kind = msi::RecordGetString(types.get(), field)[0];
            if (msi::RecordIsNull(record.get(), field))
                row.push_back("<null>");
            else if (kind == L'i' || kind == L'I')
                row.push_back(std::to_string(msi::RecordGetInteger(record.get(), field)));
            else if (kind == L'v' || kind == L'V')
                row.push_back(StreamBytes(record.get(), field));
            else
                row.push_back(tfc::to_narrow(msi::RecordGetString(record.get(), field)));
        }
        rows.push_back(row);
    }
    // Fetching the rows again puts streams added in this session back at their start (see RewindStream).
    msi::ViewClose(view.get());
    MsiHandle again = params.empty() ? MsiHandle() : ParamRecord(params);
    msi::ViewExecute(view.get(), again.get());
    while (msi::ViewFetch(view.get())) {
    }
    return rows;
}

FILETIME OldTime()
{
    SYSTEMTIME system = {2001, 2, 0, 3, 4, 5, 6, 0};
    FILETIME time;
    SystemTimeToFileTime(&system, &time);
    return time;
}

FILETIME LastWriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

void SetLastWriteTime(const std::wstring& path, const FILETIME& time)
{
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
}

} // namespace model_testing

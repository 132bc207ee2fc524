#include "model/installer/DatabaseCodePage.h"
#include "model/installer/MsiApi.h"
#include "foundation/Errors.h"
#include "foundation/FileUtil.h"
#include "foundation/TempFiles.h"

#include <string>

namespace msi {
namespace {

std::string read_file(const std::wstring& path)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void write_file(const std::wstring& path, const std::string& text)
{
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        tfc::throw_last_error(L"CreateFile");
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok)
        throw tfc::Win32Error(error, L"WriteFile");
}

} // namespace

UINT ReadDatabaseCodePage(MSIHANDLE database)
{
    TempFiles files; // deletes the export
    std::wstring path = files.Create(L""), folder, name;
    SplitPathAtLastBackslash(path, folder, name);
    DatabaseExport(database, L"_ForceCodepage", folder, name);

    std::string text = read_file(path);
    size_t tab = text.find("\t_ForceCodepage");
    size_t start = tab == std::string::npos ? std::string::npos : text.find_last_of('\n', tab);
    if (start == std::string::npos)
        throw tfc::Win32Error(ERROR_INVALID_DATA, L"MsiDatabaseExport");
    return static_cast<UINT>(std::stoul(text.substr(start + 1, tab - start - 1)));
}

void WriteDatabaseCodePage(MSIHANDLE database, UINT code_page)
{
    TempFiles files; // deletes the table file
    std::wstring path = files.Create(L""), folder, name;
    SplitPathAtLastBackslash(path, folder, name);
    write_file(path, "\r\n\r\n" + std::to_string(code_page) + "\t_ForceCodepage");
    DatabaseImport(database, folder, name);
}

} // namespace msi

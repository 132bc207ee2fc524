#include "model/installer/MsiApi.h"
#include "model/installer/MsiCallFaults.h"
#include "model/installer/MsiAppliedTransform.h"
#include "model/installer/CompoundFileCheck.h"
#include "model/installer/DatabaseFileTidy.h"
#include "model/installer/MsiStreamChanges.h"
#include "model/installer/MsiDroppedTables.h"
#include "model/installer/MsiEmptyTables.h"
#include "model/installer/MsiTransformFallback.h"
#include "model/installer/TableFileCheck.h"
#include "foundation/Errors.h"

#include <shlwapi.h>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace msi {
namespace {

// Runs one library call unless the test seam makes it fail.
template <typename Call> UINT run(const wchar_t* name, Call call, const wchar_t* detail = nullptr)
{
    UINT injected = 0;
    if (detail::TakeInjectedFailure(name, injected, detail))
        return injected;
    return call();
}

template <typename Call> void run_checked(const wchar_t* name, Call call)
{
    tfc::check_status(run(name, call), name);
}

// Calls that fill a text buffer: 234 answers the length needed (without terminator); ask again.
template <typename Call> std::wstring read_text(const wchar_t* name, Call call)
{
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        UINT result = run(name, [&] { return call(buffer.data(), &size); });
        if (result == ERROR_MORE_DATA) {
            buffer.resize(std::max<size_t>(size + 1, buffer.size() + 1));
            continue;
        }
        tfc::check_status(result, name);
        return std::wstring(buffer.data(), std::min<size_t>(size, buffer.size() - 1));
    }
}

} // namespace

MsiHandle OpenDatabase(const std::wstring& path, const wchar_t* persist)
{
    // An existing file is checked first: Wine's library loops forever on some damaged files and reads
    // others with tables missing.
    FileCheck checked = FileCheck::Sound;
    if (persist != MSIDBOPEN_CREATE && persist != MSIDBOPEN_CREATEDIRECT) {
        // A file an earlier session left with links to freed entries is made whole before Wine commits
        // to it; when that fails, the file is opened as it is.
        if (persist == MSIDBOPEN_TRANSACT || persist == MSIDBOPEN_DIRECT) {
            try {
                TidyDatabaseFile(path, true);
            } catch (const tfc::Win32Error&) {
            }
        }
        checked = RequireSoundDatabaseFile(path);
    }
    MSIHANDLE database = 0;
    UINT result = run(L"MsiOpenDatabase", [&] { return MsiOpenDatabaseW(path.c_str(), persist, &database); });
    // The library's answer to a file another program holds says nothing of it (1627 under Wine).
    if (result != ERROR_SUCCESS && checked == FileCheck::InUse)
        throw DatabaseFileError(FileCheck::InUse, path);
    tfc::check_status(result, L"MsiOpenDatabase");
    MsiHandle owner(database);
    // The modes are small numbers; any other value names an output file, which stream changes never use.
    ULONG_PTR mode = reinterpret_cast<ULONG_PTR>(persist);
    if (mode < 0x100 && (mode & ~static_cast<ULONG_PTR>(MSIDBOPEN_PATCHFILE)) != 0)
        NoteDatabasePath(database, path);
    return owner;
}

void DatabaseCommit(MSIHANDLE database)
{
    if (detail::RunningOnWine())
        detail::RebuildEmptyTables(database);
    run_checked(L"MsiDatabaseCommit", [&] { return MsiDatabaseCommit(database); });
    StreamChangesCommitted(database);
}

MsiHandle DatabaseOpenView(MSIHANDLE database, const std::wstring& sql)
{
    MSIHANDLE view = 0;
    tfc::check_status(run(
                          L"MsiDatabaseOpenView",
                          [&] { return MsiDatabaseOpenViewW(database, sql.c_str(), &view); }, sql.c_str()),
                      L"MsiDatabaseOpenView");
    return MsiHandle(view);
}

std::wstring QuoteName(const std::wstring& name)
{
    if (name.find(L'`') != std::wstring::npos)
        throw std::runtime_error(
            "A table or column name holds a backquote, which installer SQL cannot write");
    return L"`" + name + L"`";
}

MsiHandle DatabaseGetPrimaryKeys(MSIHANDLE database, const std::wstring& table)
{
    MSIHANDLE record = 0;
    run_checked(L"MsiDatabaseGetPrimaryKeys",
                [&] { return MsiDatabaseGetPrimaryKeysW(database, table.c_str(), &record); });
    return MsiHandle(record);
}

void DatabaseExport(MSIHANDLE database, const std::wstring& table, const std::wstring& folder,
                    const std::wstring& file)
{
    run_checked(L"MsiDatabaseExport",
                [&] { return MsiDatabaseExportW(database, table.c_str(), folder.c_str(), file.c_str()); });
}

void DatabaseImport(MSIHANDLE database, const std::wstring& folder, const std::wstring& file)
{
    // The library faults on an empty file or a short row and silently changes other rows.
    RequireTableFile(folder.empty() || folder.back() == L'\\' ? folder + file : folder + L"\\" + file);
    run_checked(L"MsiDatabaseImport",
                [&] { return MsiDatabaseImportW(database, folder.c_str(), file.c_str()); });
}

void ViewExecute(MSIHANDLE view, MSIHANDLE record)
{
    run_checked(L"MsiViewExecute", [&] { return MsiViewExecute(view, record); });
}

MsiHandle ViewFetch(MSIHANDLE view)
{
    MSIHANDLE record = 0;
    UINT result = run(L"MsiViewFetch", [&] { return MsiViewFetch(view, &record); });
    if (result == ERROR_NO_MORE_ITEMS)
        return MsiHandle();
    tfc::check_status(result, L"MsiViewFetch");
    return MsiHandle(record);
}

void ViewClose(MSIHANDLE view)
{
    run_checked(L"MsiViewClose", [&] { return MsiViewClose(view); });
}

MsiHandle ViewGetColumnInfo(MSIHANDLE view, MSICOLINFO kind)
{
    MSIHANDLE record = 0;
    run_checked(L"MsiViewGetColumnInfo", [&] { return MsiViewGetColumnInfo(view, kind, &record); });
    return MsiHandle(record);
}

void ViewModify(MSIHANDLE view, MSIMODIFY mode, MSIHANDLE record)
{
    run_checked(L"MsiViewModify", [&] { return MsiViewModify(view, mode, record); });
}

MsiHandle CreateRecord(UINT fields)
{
    MSIHANDLE record = 0;
    UINT result = run(L"MsiCreateRecord", [&] {
        record = MsiCreateRecord(fields);
        return record ? 0u : ERROR_OUTOFMEMORY;
    });
    if (result != 0)
        throw tfc::Win32Error(result, L"MsiCreateRecord");
    return MsiHandle(record);
}

UINT RecordGetFieldCount(MSIHANDLE record)
{
    UINT count = 0;
    run_checked(L"MsiRecordGetFieldCount", [&] {
        count = MsiRecordGetFieldCount(record);
        return count == static_cast<UINT>(-1) ? static_cast<UINT>(ERROR_INVALID_HANDLE) : 0u;
    });
    return count;
}

int RecordGetInteger(MSIHANDLE record, UINT field)
{
    return MsiRecordGetInteger(record, field);
}

std::wstring RecordGetString(MSIHANDLE record, UINT field)
{
    return read_text(L"MsiRecordGetString", [&](wchar_t* buffer, DWORD* size) {
        return MsiRecordGetStringW(record, field, buffer, size);
    });
}

size_t RecordGetString(MSIHANDLE record, UINT field, std::vector<wchar_t>& buffer)
{
    if (buffer.size() < 2)
        buffer.resize(256);
    const wchar_t* name = L"MsiRecordGetString";
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size());
        UINT result = run(name, [&] { return MsiRecordGetStringW(record, field, buffer.data(), &size); });
        if (result == ERROR_MORE_DATA) {
            buffer.resize(std::max<size_t>(size + 1, buffer.size() + 1));
            continue;
        }
        tfc::check_status(result, name);
        return std::min<size_t>(size, buffer.size() - 1);
    }
}

bool RecordIsNull(MSIHANDLE record, UINT field)
{
    return MsiRecordIsNull(record, field) != FALSE;
}

UINT RecordDataSize(MSIHANDLE record, UINT field)
{
    return MsiRecordDataSize(record, field);
}

DWORD RecordReadStream(MSIHANDLE record, UINT field, char* buffer, DWORD size)
{
    run_checked(L"MsiRecordReadStream", [&] { return MsiRecordReadStream(record, field, buffer, &size); });
    return size;
}

void RecordSetInteger(MSIHANDLE record, UINT field, int value)
{
    run_checked(L"MsiRecordSetInteger", [&] { return MsiRecordSetInteger(record, field, value); });
}

namespace {

bool wine_size_one(unsigned column_size)
{
    return column_size == 1 && detail::RunningOnWine();
}

} // namespace

int RecordGetColumnInteger(MSIHANDLE record, UINT field, unsigned column_size)
{
    int value = RecordGetInteger(record, field);
    if (!wine_size_one(column_size) || value == INT32_MIN)
        return value;
    unsigned stored = static_cast<unsigned>(value) ^ 0x80000000u;
    return stored <= 0xFFFF ? static_cast<int>(stored) - 0x8000 : value;
}

void RecordSetColumnInteger(MSIHANDLE record, UINT field, int value, unsigned column_size)
{
    // -32768 would be stored as 0, which is null.
    if (wine_size_one(column_size) && value > -32768 && value <= 32767)
        value = static_cast<int>(static_cast<unsigned>(value + 0x8000) ^ 0x80000000u);
    RecordSetInteger(record, field, value);
}

void RecordSetString(MSIHANDLE record, UINT field, const wchar_t* text)
{
    run_checked(L"MsiRecordSetString", [&] { return MsiRecordSetStringW(record, field, text); });
}

void RecordSetStream(MSIHANDLE record, UINT field, const std::wstring& path)
{
    run_checked(L"MsiRecordSetStream", [&] { return MsiRecordSetStreamW(record, field, path.c_str()); });
}

MsiHandle GetSummaryInformation(MSIHANDLE database, const wchar_t* path, UINT update_count)
{
    MSIHANDLE summary = 0;
    run_checked(L"MsiGetSummaryInformation",
                [&] { return MsiGetSummaryInformationW(database, path, update_count, &summary); });
    return MsiHandle(summary);
}

UINT SummaryInfoGetPropertyCount(MSIHANDLE summary)
{
    UINT count = 0;
    run_checked(L"MsiSummaryInfoGetPropertyCount",
                [&] { return MsiSummaryInfoGetPropertyCount(summary, &count); });
    return count;
}

SummaryValue SummaryInfoGetProperty(MSIHANDLE summary, UINT property)
{
    SummaryValue value;
    value.text = read_text(L"MsiSummaryInfoGetProperty", [&](wchar_t* buffer, DWORD* size) {
        return MsiSummaryInfoGetPropertyW(summary, property, &value.type, &value.integer, &value.time, buffer,
                                          size);
    });
    // Only a text property touches the buffer and its size; for the others it would read as 255 zeros.
    if (value.type != VT_LPSTR)
        value.text.clear();
    return value;
}

void SummaryInfoSetProperty(MSIHANDLE summary, UINT property, const SummaryValue& value)
{
    FILETIME time = value.time;
    run_checked(L"MsiSummaryInfoSetProperty", [&] {
        return MsiSummaryInfoSetPropertyW(summary, property, value.type, value.integer, &time,
                                          value.type == VT_LPSTR ? value.text.c_str() : nullptr);
    });
}

void SummaryInfoPersist(MSIHANDLE summary)
{
    run_checked(L"MsiSummaryInfoPersist", [&] { return MsiSummaryInfoPersist(summary); });
}

bool DatabaseGenerateTransform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path)
{
    UINT result = run(L"MsiDatabaseGenerateTransform",
                      [&] { return MsiDatabaseGenerateTransformW(database, reference, path.c_str(), 0, 0); });
    if (IsMissingTransformSupport(TransformCall::Generate, result, detail::RunningOnWine()))
        result = GenerateTransformWithoutPlatform(database, reference, path, result);
    if (result == ERROR_NO_DATA)
        return false;
    tfc::check_status(result, L"MsiDatabaseGenerateTransform");
    return true;
}

void CreateTransformSummaryInfo(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path,
                                int error_conditions, int validation)
{
    UINT result = run(L"MsiCreateTransformSummaryInfo", [&] {
        return MsiCreateTransformSummaryInfoW(database, reference, path.c_str(), error_conditions,
                                              validation);
    });
    if (IsMissingTransformSupport(TransformCall::SummaryInfo, result, detail::RunningOnWine()))
        result = CreateTransformSummaryInfoWithoutPlatform(database, reference, path, error_conditions,
                                                           validation, result);
    tfc::check_status(result, L"MsiCreateTransformSummaryInfo");
}

namespace {

void apply_transform(MSIHANDLE database, detail::AppliedTransform& transform, int conditions)
{
    std::set<std::wstring> before = detail::ListedTables(database);
    transform.Prepare(database, conditions);
    if (transform.LibraryHasWork()) {
        const std::wstring& given = transform.LibraryPath();
        run_checked(L"MsiDatabaseApplyTransform",
                    [&] { return MsiDatabaseApplyTransformW(database, given.c_str(), conditions); });
        detail::RemoveColumnsOfDroppedTables(database, before);
    }
    transform.Finish(database);
}

} // namespace

void DatabaseApplyTransform(MSIHANDLE database, const std::wstring& path, int error_conditions)
{
    // Only listing the operations (the view-transform flag) changes no table.
    bool listing = (error_conditions & MSITRANSFORM_ERROR_VIEWTRANSFORM) != 0;
    if (listing) {
        run_checked(L"MsiDatabaseApplyTransform",
                    [&] { return MsiDatabaseApplyTransformW(database, path.c_str(), error_conditions); });
        return;
    }
    // The conditions the transform itself says to suppress hold as well as the caller's.
    int conditions = error_conditions | detail::StoredErrorConditions(path);
    detail::AppliedTransform transform(path);
    apply_transform(database, transform, conditions);
}

MsiHandle OpenDatabaseTransformed(const std::wstring& path, const std::wstring& transform_path,
                                  int error_conditions)
{
    int conditions = error_conditions | detail::StoredErrorConditions(transform_path);
    detail::AppliedTransform transform(transform_path);
    transform.UpdateStoredTables(path);
    MsiHandle database = OpenDatabase(path, MSIDBOPEN_TRANSACT);
    apply_transform(database.get(), transform, conditions);
    // A commit rewrites the pool and the file: not when all went straight into the file.
    if (transform.ChangesUncommitted())
        DatabaseCommit(database.get());
    return database;
}

INSTALLUILEVEL SetInternalUI(INSTALLUILEVEL level, HWND* window)
{
    return MsiSetInternalUI(level, window);
}

INSTALLUI_HANDLERW SetExternalUI(INSTALLUI_HANDLERW handler, DWORD filter, void* context)
{
    return MsiSetExternalUIW(handler, filter, context);
}

MsiHandle OpenPackage(const std::wstring& path)
{
    MSIHANDLE package = 0;
    run_checked(L"MsiOpenPackage", [&] { return MsiOpenPackageW(path.c_str(), &package); });
    return MsiHandle(package);
}

UINT DoAction(MSIHANDLE install, const std::wstring& action)
{
    UINT result = run(L"MsiDoAction", [&] { return MsiDoActionW(install, action.c_str()); });
    if (result != 0 && result != ERROR_MORE_DATA)
        throw tfc::Win32Error(result, L"MsiDoAction");
    return result;
}

MsiHandle EnableUIPreview(MSIHANDLE database)
{
    MSIHANDLE preview = 0;
    run_checked(L"MsiEnableUIPreview", [&] { return MsiEnableUIPreview(database, &preview); });
    return MsiHandle(preview);
}

void PreviewDialog(MSIHANDLE preview, const std::wstring& dialog)
{
    // The installer removes the shown dialog for a null name; an empty text fails under Wine.
    run_checked(L"MsiPreviewDialog",
                [&] { return MsiPreviewDialogW(preview, dialog.empty() ? nullptr : dialog.c_str()); });
}

bool EnumComponentQualifiers(const std::wstring& component, DWORD index, std::wstring& qualifier,
                             std::wstring& application_data)
{
    std::vector<wchar_t> name(MAX_PATH + 1), data(MAX_PATH + 1);
    for (;;) {
        DWORD name_size = static_cast<DWORD>(name.size()), data_size = static_cast<DWORD>(data.size());
        UINT result = run(L"MsiEnumComponentQualifiers", [&] {
            return MsiEnumComponentQualifiersW(component.c_str(), index, name.data(), &name_size, data.data(),
                                               &data_size);
        });
        if (result == ERROR_MORE_DATA) {
            // Either text may be the long one; grow what was asked for, and both when neither says.
            size_t old_name = name.size(), old_data = data.size();
            name.resize(std::max<size_t>(old_name, name_size + 1));
            data.resize(std::max<size_t>(old_data, data_size + 1));
            if (name.size() == old_name && data.size() == old_data) {
                name.resize(old_name * 2);
                data.resize(old_data * 2);
            }
            continue;
        }
        if (result == ERROR_NO_MORE_ITEMS || result == ERROR_UNKNOWN_COMPONENT)
            return false;
        tfc::check_status(result, L"MsiEnumComponentQualifiers");
        qualifier.assign(name.data(), std::min<size_t>(name_size, name.size() - 1));
        application_data.assign(data.data(), std::min<size_t>(data_size, data.size() - 1));
        return true;
    }
}

std::wstring ProvideQualifiedComponent(const std::wstring& component, const std::wstring& qualifier,
                                       DWORD install_mode)
{
    return read_text(L"MsiProvideQualifiedComponent", [&](wchar_t* buffer, DWORD* size) {
        return MsiProvideQualifiedComponentW(component.c_str(), qualifier.c_str(), install_mode, buffer,
                                             size);
    });
}

DWORD LibraryMajorVersion()
{
    HMODULE library = GetModuleHandleW(L"msi.dll");
    if (!library)
        return 0;
    auto get_version = reinterpret_cast<DLLGETVERSIONPROC>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetVersion")));
    if (!get_version)
        return 0;
    DLLVERSIONINFO info = {};
    info.cbSize = sizeof(info);
    return SUCCEEDED(get_version(&info)) ? info.dwMajorVersion : 0;
}

} // namespace msi

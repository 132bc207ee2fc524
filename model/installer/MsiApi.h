#pragma once
// The one door to the installer library (msi.dll). Every call the program makes goes through here:
// a failure throws tfc::Win32Error named after the call without its W ("MsiOpenDatabase"), 259 ends a
// fetch or an enumeration, and 234 is retried with a larger buffer. Where Wine's library lacks what
// Windows has, this layer makes up for it, never the callers (see ViewModify and MsiTransformFallback.h).
#include "model/installer/MsiHandle.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <functional>
#include <string>
#include <vector>

namespace msi {

// Databases. persist is a path or one of MSIDBOPEN_READONLY, MSIDBOPEN_TRANSACT, MSIDBOPEN_CREATE...
// An existing file that is missing, a folder, unreadable, not a compound file or damaged throws
// tfc::ManageableError naming the path (CompoundFileCheck.h) before the library sees it.
MsiHandle OpenDatabase(const std::wstring& path, const wchar_t* persist);
void DatabaseCommit(MSIHANDLE database);
MsiHandle DatabaseOpenView(MSIHANDLE database, const std::wstring& sql);
// `name` for SQL text; a name holding a backquote cannot be written in installer SQL and throws.
std::wstring QuoteName(const std::wstring& name);
// The record of the table's key column names, from field 1.
MsiHandle DatabaseGetPrimaryKeys(MSIHANDLE database, const std::wstring& table);
void DatabaseExport(MSIHANDLE database, const std::wstring& table, const std::wstring& folder,
                    const std::wstring& file);
// A file that is no table file, or a row that does not fit its columns, throws TableFileError naming the
// file, line and column (TableFileCheck.h) before the library sees any of it.
void DatabaseImport(MSIHANDLE database, const std::wstring& folder, const std::wstring& file);

// Views. record may be 0 (no parameters).
void ViewExecute(MSIHANDLE view, MSIHANDLE record);
// The next record, or an empty handle at the end of the view (259).
MsiHandle ViewFetch(MSIHANDLE view);
void ViewClose(MSIHANDLE view);
// kind: MSICOLINFO_NAMES or MSICOLINFO_TYPES.
MsiHandle ViewGetColumnInfo(MSIHANDLE view, MSICOLINFO kind);
// Any mode but MSIMODIFY_REPLACE, which needs the row's original key (see ReplaceFetchedRow).
void ViewModify(MSIHANDLE view, MSIMODIFY mode, MSIHANDLE record);

// MSIMODIFY_REPLACE of one fetched row: fill writes the new values into the fetched record, then the row
// is replaced (a changed key moves the row). Where the platform answers 120 (Wine) the replace is done
// here: same key -> update, changed key -> delete and insert, stream cells carried over; a failure
// leaves the table as it was and passes the error on. table names the view's single table.
void ReplaceFetchedRow(MSIHANDLE database, const std::wstring& table, MSIHANDLE view, MSIHANDLE record,
                       const std::function<void(MSIHANDLE record)>& fill);

// Wine shares one stream object between the database and every record fetched with it, and a commit
// writes a stream that was added in this session from wherever the last read left it (1627 when not at
// its start). Whoever reads a stream that may not be committed yet puts it back: fetching its `_Streams`
// row (name = table and key texts joined by ".") rewinds it. Harmless where streams are not shared.
void RewindStream(MSIHANDLE database, const std::wstring& name);

// Records. Fields count from 1; field 0 is the format text.
MsiHandle CreateRecord(UINT fields);
UINT RecordGetFieldCount(MSIHANDLE record);
// MSI_NULL_INTEGER (0x80000000) for a null field.
int RecordGetInteger(MSIHANDLE record, UINT field);
std::wstring RecordGetString(MSIHANDLE record, UINT field);
// The same text into a buffer the caller keeps between calls; returns its length (the buffer may grow).
size_t RecordGetString(MSIHANDLE record, UINT field, std::vector<wchar_t>& buffer);
bool RecordIsNull(MSIHANDLE record, UINT field);
// Bytes of a stream field (or length of a text field).
UINT RecordDataSize(MSIHANDLE record, UINT field);
// Reads up to size bytes of a stream field from where the last read stopped; returns how many were read.
DWORD RecordReadStream(MSIHANDLE record, UINT field, char* buffer, DWORD size);
void RecordSetInteger(MSIHANDLE record, UINT field, int value);
// The value of an integer column of the given size (the type's width) in a record read from or written to
// a table. Wine stores a column declared with size 1 (as one toolset writes them) in 2 bytes, like size 2,
// but converts its record values as for 4 bytes: a stored 6 reads as 6 + 0x8000 - 2^31, and a value set
// keeps only the low 16 bits of that form. These two put that right; conditions (WHERE) take the plain
// value, which Wine compares correctly.
int RecordGetColumnInteger(MSIHANDLE record, UINT field, unsigned column_size);
void RecordSetColumnInteger(MSIHANDLE record, UINT field, int value, unsigned column_size);
// nullptr (or an empty text) makes the field null.
void RecordSetString(MSIHANDLE record, UINT field, const wchar_t* text);
inline void RecordSetString(MSIHANDLE record, UINT field, const std::wstring& text)
{
    RecordSetString(record, field, text.c_str());
}
// The stream is read from the file when the record is next executed; set it right before each execute.
void RecordSetStream(MSIHANDLE record, UINT field, const std::wstring& path);

// Summary information.
struct SummaryValue
{
    UINT type = VT_EMPTY; // VT_I2, VT_I4, VT_LPSTR, VT_FILETIME or VT_EMPTY
    int integer = 0;
    FILETIME time = {0, 0};
    std::wstring text;
};
// database 0 opens the summary of the file at path.
MsiHandle GetSummaryInformation(MSIHANDLE database, const wchar_t* path, UINT update_count);
UINT SummaryInfoGetPropertyCount(MSIHANDLE summary);
SummaryValue SummaryInfoGetProperty(MSIHANDLE summary, UINT property);
void SummaryInfoSetProperty(MSIHANDLE summary, UINT property, const SummaryValue& value);
void SummaryInfoPersist(MSIHANDLE summary);

// Transforms. GenerateTransform answers false when the databases do not differ (232, no file written).
bool DatabaseGenerateTransform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path);
void CreateTransformSummaryInfo(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path,
                                int error_conditions, int validation);
// Under Wine the layer makes up for what the library's apply gets wrong (MsiAppliedTransform.h).
void DatabaseApplyTransform(MSIHANDLE database, const std::wstring& path, int error_conditions);
// The database file at path, which no handle holds, opened transacted with the transform applied and
// committed. Under Wine the updates of large tables' rows go straight into the file first (StoredTables.h).
MsiHandle OpenDatabaseTransformed(const std::wstring& path, const std::wstring& transform_path,
                                  int error_conditions);

// Packages and actions (validation).
INSTALLUILEVEL SetInternalUI(INSTALLUILEVEL level, HWND* window);
INSTALLUI_HANDLERW SetExternalUI(INSTALLUI_HANDLERW handler, DWORD filter, void* context);
MsiHandle OpenPackage(const std::wstring& path);
// Returns 0 or 234 (an action that reported more messages); anything else throws "MsiDoAction".
UINT DoAction(MSIHANDLE install, const std::wstring& action);

// Dialog preview. An empty name removes the shown dialog.
MsiHandle EnableUIPreview(MSIHANDLE database);
void PreviewDialog(MSIHANDLE preview, const std::wstring& dialog);

// Qualified components. False at the end of the list (259, or 1607 for an unknown component).
bool EnumComponentQualifiers(const std::wstring& component, DWORD index, std::wstring& qualifier,
                             std::wstring& application_data);
std::wstring ProvideQualifiedComponent(const std::wstring& component, const std::wstring& qualifier,
                                       DWORD install_mode);

// Major version from the library's DllGetVersion; 0 when it has none.
DWORD LibraryMajorVersion();

} // namespace msi

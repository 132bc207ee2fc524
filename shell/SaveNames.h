#pragma once
// Names of saving: numbered backup names, the save dialog's default extension and the user name for
// "Last Saved By".
#include <string>

// The next backup name of a path, before looking at the disk: the extension starts at the last dot of
// the file name (not of a folder); a trailing "_V<digits>" of the stem is counted on, so Setup_V7.msi
// gives Setup_V8.msi, and `number` above 0 asks for that number instead.
std::wstring BackupName(const std::wstring& path, long long number = 0);
// The first backup name whose file does not exist yet.
std::wstring NextFreeBackupName(const std::wstring& path);
// The extension of the file name with its dot; empty when the name has none.
std::wstring ExtensionOf(const std::wstring& path);
// Whether the file name's extension is `extension` (with its dot), letter case ignored.
bool HasExtension(const std::wstring& path, const wchar_t* extension);
// The extension of the file name with its dot, `fallback` when it has none.
std::wstring DefaultSaveExtension(const std::wstring& path, const wchar_t* fallback = L".msi");
// The folder of a path, with its last backslash (so a drive's root stays a root); empty without one.
std::wstring FolderOfPath(const std::wstring& path);
// The name to stamp as "Last Saved By"; false when the options keep the file's own.
bool LastSavedByName(std::wstring& name);
// The Windows user name; throws Win32Error "GetLastError" when it cannot be read.
std::wstring GetCurrentUserName();

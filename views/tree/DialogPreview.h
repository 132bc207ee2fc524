#pragma once
// "&Preview" of a Dialog row: the installer shows the dialog while the preview window is open.
#include <windows.h>
#include <msi.h>
#include <string>

// The database needs summary information with a package code and a page count, or the installer refuses
// the preview (Win32Error "MsiEnableUIPreview"). An unknown dialog throws Win32Error "MsiPreviewDialog".
void PreviewInstallerDialog(MSIHANDLE database, const std::wstring& dialog, HWND owner);

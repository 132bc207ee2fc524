#pragma once
// Where the program's own transform writer plugs in. Wine's installer library answers 120 (not
// implemented) or 1627 (function failed) to MsiDatabaseGenerateTransformW and
// MsiCreateTransformSummaryInfoW; the layer (MsiApi.cpp) then calls these instead and reports what they
// return as if the library had answered it. They run the program's own writer (TransformWriter.h,
// TransformSummaryWriter.h), which throws ManageableError or Win32Error when it cannot write.
#include <windows.h>
#include <msi.h>
#include <string>

namespace msi {

// True for the answers that mean "the library cannot do this here" rather than a real failure.
inline bool IsMissingTransformSupport(UINT result)
{
    return result == ERROR_CALL_NOT_IMPLEMENTED || result == ERROR_FUNCTION_FAILED;
}

// Writes the transform from reference to database at path, as MsiDatabaseGenerateTransformW would:
// 0 written, 232 (no data) when the databases do not differ, anything else a failure.
UINT GenerateTransformWithoutPlatform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path,
                                      UINT platform_result);
// Adds the transform's summary information to the file at path, as MsiCreateTransformSummaryInfoW would.
UINT CreateTransformSummaryInfoWithoutPlatform(MSIHANDLE database, MSIHANDLE reference,
                                               const std::wstring& path, int error_conditions, int validation,
                                               UINT platform_result);

} // namespace msi

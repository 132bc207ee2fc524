#pragma once
// Where the program's own writer plugs in. Wine's installer library does not implement
// MsiDatabaseGenerateTransformW (120) and answers 1627 (function failed) to MsiCreateTransformSummaryInfoW;
// the layer (MsiApi.cpp) then calls these instead and reports what they return as if the library had
// answered it. They run the program's own writer (TransformWriter.h, TransformSummaryWriter.h), which
// throws ManageableError or Win32Error when it cannot write.
#include <windows.h>
#include <msi.h>
#include <string>

namespace msi {

enum class TransformCall
{
    Generate,
    SummaryInfo
};

// True where the platform does not implement the call, rather than failed doing it: 120 from either;
// 1627 from the summary call only on Wine, whose stub answers it. Anywhere else 1627 is a real failure
// and is reported as one.
inline bool IsMissingTransformSupport(TransformCall call, UINT result, bool on_wine)
{
    if (result == ERROR_CALL_NOT_IMPLEMENTED)
        return true;
    return call == TransformCall::SummaryInfo && result == ERROR_FUNCTION_FAILED && on_wine;
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

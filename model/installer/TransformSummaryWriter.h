#pragma once
// The summary information of a transform, written with the platform's property-set calls into a
// transform file that exists already, for installer libraries that cannot do it themselves.
#include <windows.h>
#include <msi.h>
#include <string>

namespace msi {

// Writes (replacing) the transform's summary stream: the databases' platforms and languages (7, 8),
// product codes and versions (9), the larger minimum installer version (14) and
// validation << 16 | error conditions (16). Failures throw Win32Error.
void WriteTransformSummary(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path,
                           int error_conditions, int validation);

} // namespace msi

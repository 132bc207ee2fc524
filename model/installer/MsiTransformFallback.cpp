#include "model/installer/MsiTransformFallback.h"
#include "model/installer/TransformSummaryWriter.h"
#include "model/installer/TransformWriter.h"

namespace msi {

// The program's own writer stands in. Its failures throw with their own cause (a text the code page
// cannot hold, a schema change a transform cannot carry, a failed storage call) rather than a code.
UINT GenerateTransformWithoutPlatform(MSIHANDLE database, MSIHANDLE reference, const std::wstring& path, UINT)
{
    return WriteTransform(database, reference, path) ? ERROR_SUCCESS : ERROR_NO_DATA;
}

UINT CreateTransformSummaryInfoWithoutPlatform(MSIHANDLE database, MSIHANDLE reference,
                                               const std::wstring& path, int error_conditions, int validation,
                                               UINT)
{
    WriteTransformSummary(database, reference, path, error_conditions, validation);
    return ERROR_SUCCESS;
}

} // namespace msi

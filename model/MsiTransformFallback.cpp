#include "model/MsiTransformFallback.h"

namespace msi {

// No transform writer yet: the platform's answer stands.
UINT GenerateTransformWithoutPlatform(MSIHANDLE, MSIHANDLE, const std::wstring&, UINT platform_result)
{
    return platform_result;
}

UINT CreateTransformSummaryInfoWithoutPlatform(MSIHANDLE, MSIHANDLE, const std::wstring&, int, int,
                                               UINT platform_result)
{
    return platform_result;
}

} // namespace msi

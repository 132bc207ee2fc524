// Qualified components: an entry too long for the first buffer is asked for again, not taken as the end.
#include "model/MsiCallFaults.h"
#include "model/MsiQuery.h"
#include "foundation/Errors.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kUnknownComponent[] = L"{6F1E1C5A-0000-4C1D-9D4E-000000000002}";

} // namespace

TEST(EnumQualifiedComponents, LongEntryIsAskedForAgainWithMoreRoom)
{
    msi::ScopedCallFaults faults;
    msi::StartCountingCalls();
    msi::FailCall(L"MsiEnumComponentQualifiers", 1, ERROR_MORE_DATA);
    EXPECT_TRUE(EnumQualifiedComponents(kUnknownComponent).empty());
    EXPECT_EQ(2u, msi::CallCount(L"MsiEnumComponentQualifiers"));

    msi::FailCall(L"MsiEnumComponentQualifiers", 1, ERROR_INSTALL_FAILURE);
    try {
        EnumQualifiedComponents(kUnknownComponent);
        FAIL() << "a failed enumeration passed as an empty one";
    } catch (const tfc::Win32Error& error) {
        EXPECT_EQ(L"MsiEnumComponentQualifiers", error.function());
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSTALL_FAILURE), static_cast<DWORD>(error.code()));
    }
}

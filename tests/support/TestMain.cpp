// Test programs start here: settings go to a scratch key and an unexpected prompt fails instead of waiting.
#include "foundation/Prompt.h"
#include "foundation/Errors.h"
#include "foundation/RegKey.h"
#include "foundation/SettingsKey.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <commctrl.h>
#include <string>

int main(int argc, char** argv)
{
    // One key per program: test programs run side by side, and each deletes its key when it ends.
    const std::wstring settings =
        L"Software\\DravnettaTests\\Settings" + std::to_wstring(GetCurrentProcessId());
    SetSettingsKeyPath(settings);
    SetPromptResponder([](const PromptRequest& request) {
        ADD_FAILURE() << "Unexpected prompt of kind " << static_cast<int>(request.kind);
        return PromptAnswer{IDCANCEL, {}, false};
    });
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    testing::InitGoogleMock(&argc, argv);
    int result = RUN_ALL_TESTS();
    tfc::DeleteRegistryTree(HKEY_CURRENT_USER, settings);
    return result;
}

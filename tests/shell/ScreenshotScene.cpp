// A frame with a document tab open, held on screen for tools/screenshot.sh to photograph. Disabled: it
// only runs when the script asks for it.
#include "ShellTesting.h"

#include "views/tree/StaticNode.h"

#include <gtest/gtest.h>

using namespace shell_testing;

TEST(ShellScreenshot, DISABLED_FrameWithADocumentTab)
{
    TestFrame frame(L"Dravnetta.exe C:\\Packages\\Sample.msi C:\\Packages\\Module.msm");
    MainWindow& window = frame.frame();
    MoveWindow(window.GetWindowHandle(), 40, 30, 940, 680, TRUE);
    TestDocumentTab* document = frame.document(1);
    ASSERT_NE(document, nullptr);
    document->SetDirty(true);
    TreeView& tables = *document->GetTablesTree();
    for (const wchar_t* name : {L"Component", L"Directory", L"Feature", L"File", L"Property", L"Registry"})
        tables.Root()->AddChild(new StaticNode(name));
    auto* file = tables.Root()->FindChild(L"File");
    SendMessageW(tables.GetWindow(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(file->GetItem()));
    document->UpdateStatusBar();
    wchar_t seconds[16] = {};
    DWORD hold = GetEnvironmentVariableW(L"DRAVNETTA_SCREENSHOT_SECONDS", seconds, 16) ? _wtoi(seconds) : 2;
    PumpUntil([] { return false; }, hold * 1000);
}

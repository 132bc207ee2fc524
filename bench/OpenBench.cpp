// Timing of what a user waits for from the command line to a drawn grid: the program's own frame is made
// with the package on its command line (which opens it, as at start-up), the File table is chosen in the
// Tables tree, and the clock stops when the list has painted with nothing left to paint. Beside it, the
// installer library fetching every cell alone. Prints one line per figure; asserts nothing. Needs a
// display (tools/bench.sh starts Xvfb when there is none).
// Usage: bench_OpenBench [folder for the scratch databases [File rows...]]
#include "BenchSupport.h"
#include "WindowedRun.h"

#include "foundation/Convert.h"
#include "foundation/SettingsKey.h"
#include "shell/MainWindow.h"
#include "shell/MsiFileTab.h"
#include "shell/MsiFileTabBase.h"
#include "shell/MsiTransformTab.h"
#include "views/grid/CreateFieldEditor.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace bench;

namespace {

HWND g_list = nullptr;
int g_list_paints = 0;

// Counts the paints the list has finished, however they reach it.
LRESULT CALLBACK WatchPaints(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR)
{
    LRESULT result = DefSubclassProc(window, message, wparam, lparam);
    if (message == WM_PAINT)
        ++g_list_paints;
    return result;
}

// Lets the frame work until the list showing `rows` rows has painted and has nothing left to paint.
void UntilDrawn(int rows)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
        Pump();
        bool filled = g_list && SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0) == rows;
        if (filled && g_list_paints > 0 && !GetUpdateRect(g_list, nullptr, FALSE))
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    throw std::runtime_error("the File table was not drawn within a minute");
}

void OpenToFirstGrid(const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\open-bench-" + std::to_wstring(files) + L".msi";
    MakeDatabase(folder, path, files);
    {
        std::wstring raw_path = Copy(path, L"-raw");
        Stopwatch fetch;
        RawFetchAll(raw_path);
        Report(files, "raw_fetch_all_ms", fetch.milliseconds(), "ms");
        DeleteFileW(raw_path.c_str());
    }
    {
        auto frame = std::make_unique<MainWindow>();
        frame->SetDocumentFactory(&MsiFileTab::Make);
        frame->SetTransformFactory(&MsiTransformTab::Make);
        frame->SetCommandLine(L"Dravnetta.exe \"" + path + L"\"");
        Stopwatch open;
        frame->Create();
        ShowWindow(frame->GetWindowHandle(), SW_SHOW);
        Report(files, "open_frame_and_database_ms", open.milliseconds(), "ms");
        auto* tab = dynamic_cast<MsiFileTabBase*>(frame->GetTabs().CurrentTab());
        MsiTableNode* node = tab ? tab->FindTableNode(L"File") : nullptr;
        if (!node)
            throw std::runtime_error("the database did not open");
        g_list = tab->GetTreeContext()->GetWindowHandle();
        SetWindowSubclass(g_list, &WatchPaints, 1, 0);
        // As a click on the table's item does.
        SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(node->GetItem()));
        Report(files, "open_and_select_file_ms", open.milliseconds(), "ms");
        g_list_paints = 0;
        UntilDrawn(files);
        Report(files, "open_to_first_grid_ms", open.milliseconds(), "ms");
        Stopwatch close;
        while (frame->GetTabs().CurrentTab() && frame->GetTabs().CloseCurrent())
            Pump();
        Report(files, "close_after_open_ms", close.milliseconds(), "ms");
        frame.reset();
        Pump();
        g_list = nullptr;
    }
    DeleteFileW(path.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    Arguments arguments = ReadArguments(argc, argv, {100000});
    WindowedRun run;
    try {
        for (int files : arguments.sizes)
            OpenToFirstGrid(arguments.folder, files);
    } catch (const std::exception& error) {
        std::printf("failed: %s\n", error.what());
        return 1;
    }
    return 0;
}

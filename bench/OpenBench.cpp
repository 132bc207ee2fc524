// Timing of what a user waits for from the command line to a drawn grid: the program's own frame is made
// with the package on its command line (which opens it, as at start-up), the File table is chosen in the
// Tables tree, and the clock stops when the list has painted with nothing left to paint. Beside it, the
// installer library fetching every cell alone. Prints one line per figure, the median of three rounds;
// asserts nothing. Needs a display (tools/bench.sh starts Xvfb when there is none).
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
#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace bench;

namespace {

HWND g_list = nullptr;

// Lets the frame work until the list showing `rows` rows has nothing left to paint. The selection left
// the list to paint: a window the frame subclassed to watch would pay the subclass chain on every message.
void UntilDrawn(int rows)
{
    if (!GetUpdateRect(g_list, nullptr, FALSE))
        throw std::runtime_error("choosing the File table did not ask the list to draw");
    for (DWORD start = GetTickCount(); GetTickCount() - start < 60000;) {
        Pump();
        bool filled = SendMessageW(g_list, LVM_GETITEMCOUNT, 0, 0) == rows;
        if (filled && !GetUpdateRect(g_list, nullptr, FALSE))
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    throw std::runtime_error("the File table was not drawn within a minute");
}

using Figures = std::map<std::string, std::vector<double>>;

void OpenOnce(const std::wstring& path, int files, Figures& figures)
{
    {
        std::wstring raw_path = Copy(path, L"-raw");
        Stopwatch fetch;
        RawFetchAll(raw_path);
        figures["raw_fetch_all_ms"].push_back(fetch.milliseconds());
        DeleteFileW(raw_path.c_str());
    }
    auto frame = std::make_unique<MainWindow>();
    frame->SetDocumentFactory(&MsiFileTab::Make);
    frame->SetTransformFactory(&MsiTransformTab::Make);
    frame->SetDocumentPreparer(&MsiFileTab::PrepareOpen);
    frame->SetCommandLine(L"Dravnetta.exe \"" + path + L"\"");
    Stopwatch open;
    frame->Create();
    ShowWindow(frame->GetWindowHandle(), SW_SHOW);
    figures["open_frame_and_database_ms"].push_back(open.milliseconds());
    auto* tab = dynamic_cast<MsiFileTabBase*>(frame->GetTabs().CurrentTab());
    MsiTableNode* node = tab ? tab->FindTableNode(L"File") : nullptr;
    if (!node)
        throw std::runtime_error("the database did not open");
    g_list = tab->GetTreeContext()->GetWindowHandle();
    // As a click on the table's item does.
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    figures["open_and_select_file_ms"].push_back(open.milliseconds());
    UntilDrawn(files);
    figures["open_to_first_grid_ms"].push_back(open.milliseconds());
    Stopwatch close;
    while (frame->GetTabs().CurrentTab() && frame->GetTabs().CloseCurrent())
        Pump();
    figures["close_after_open_ms"].push_back(close.milliseconds());
    frame.reset();
    Pump();
    g_list = nullptr;
}

void OpenToFirstGrid(const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\open-bench-" + std::to_wstring(files) + L".msi";
    MakeDatabase(folder, path, files);
    // Rounds alternate the raw fetch and the frame, and each figure is the median of its rounds: one
    // moment when other programs hold the cores then moves neither figure alone.
    const int kRounds = 3;
    Figures figures;
    for (int round = 0; round < kRounds; ++round)
        OpenOnce(path, files, figures);
    for (const char* name : {"raw_fetch_all_ms", "open_frame_and_database_ms", "open_and_select_file_ms",
                             "open_to_first_grid_ms", "close_after_open_ms"}) {
        std::vector<double>& values = figures[name];
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        Report(files, name, values[values.size() / 2], "ms");
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

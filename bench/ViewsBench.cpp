// Timing of the views a user waits for on a large database, in the program's own frame: the Components page
// filled (n components in n / 10 folders), a transform tab opened and painted (n changed File rows and 100
// Binary rows left alone), and the validation results refilled and sorted, and added as a run adds them
// (n messages). Prints one line per figure; asserts nothing. Beside the transform tab, the installer
// library's own apply of the same transform, on its own (raw_apply_transform_ms). In the File database:
// Shift+PageDown with 19% of the rows selected, and 1,000 rows deleted with tracking off beside the library
// deleting them. Needs a display (tools/bench.sh starts Xvfb when there is none). Usage: bench_ViewsBench
// [folder for the scratch databases [n...]]; BENCH_ONLY=select,delete (any of components, transform,
// validation, cascade, select, delete) runs only those.
#include "BenchSupport.h"
#include "WindowedRun.h"

#include "foundation/Convert.h"
#include "foundation/SettingsKey.h"
#include "model/MsiFile.h"
#include "resources/DialogsIds.h"
#include "shell/MainWindow.h"
#include "shell/MsiFileTab.h"
#include "shell/MsiFileTabBase.h"
#include "shell/MsiTransformTab.h"
#include "validation/ValidationWindow.h"
#include "views/grid/CreateFieldEditor.h"
#include "views/tree/MsiTableNode.h"
#include "views/tree/TreeView.h"

#include <windows.h>
#include <atomic>
#include <thread>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace bench;

namespace {

void MakeComponents(const std::wstring& folder, const std::wstring& path, int components)
{
    DeleteFileW(path.c_str());
    MsiHandle database = msi::OpenDatabase(path, MSIDBOPEN_CREATE);
    int folders = components / 10;
    IdtFile directories("Directory\tDirectory_Parent\tDefaultDir", "s72\tS72\tl255", "Directory\tDirectory");
    directories.cell("TARGETDIR").cell("").cell("SourceDir").end_row();
    directories.cell("ProgramFilesFolder").cell("TARGETDIR").cell(".").end_row();
    for (int i = 2; i < folders; ++i) {
        directories.cell(Name("Dir", i))
            .cell(i < 12 ? std::string("ProgramFilesFolder") : Name("Dir", i / 10))
            .cell(Name("DIR~", i) + "|Folder " + std::to_string(i))
            .end_row();
    }
    directories.import(database.get(), folder, L"Directory.idt");
    IdtFile rows("Component\tComponentId\tDirectory_\tAttributes\tCondition\tKeyPath",
                 "s72\tS38\ts72\ti2\tS255\tS72", "Component\tComponent");
    for (int i = 0; i < components; ++i) {
        char guid[40];
        std::snprintf(guid, sizeof(guid), "{%08X-0000-0000-0000-000000000001}", i);
        rows.cell(Name("Comp", (i * 7919) % components))
            .cell(guid)
            .cell(Name("Dir", 2 + i % (folders - 2)))
            .cell("0")
            .cell("")
            .cell("")
            .end_row();
    }
    rows.import(database.get(), folder, L"Component.idt");
    msi::DatabaseCommit(database.get());
}

// A File table of `files` rows and a Binary table of 100 streams; the transform changes every File row's
// Version and leaves the streams alone.
void MakeTransform(const std::wstring& folder, const std::wstring& base, const std::wstring& transform,
                   int files)
{
    DeleteFileW(base.c_str());
    {
        MsiHandle database = msi::OpenDatabase(base, MSIDBOPEN_CREATE);
        IdtFile file_rows("File\tComponent_\tFileName\tFileSize\tVersion\tLanguage\tAttributes\tSequence",
                          "s72\ts72\tl255\ti4\tS72\tS20\tI2\ti4", "File\tFile");
        for (int i = 0; i < files; ++i) {
            file_rows.cell(Name("File", i))
                .cell(Name("Comp", i / 5))
                .cell(Name("FILE~", i % 1000) + "|file" + std::to_string(i) + ".dll")
                .cell(std::to_string((i * 7919) % 100000))
                .cell("1.0." + std::to_string(i % 97))
                .cell("1033")
                .cell("512")
                .cell(std::to_string(i + 1))
                .end_row();
        }
        file_rows.import(database.get(), folder, L"File.idt");
        std::wstring streams = folder + L"\\Binary";
        CreateDirectoryW(streams.c_str(), nullptr);
        IdtFile binary("Name\tData", "s72\tv0", "Binary\tName");
        std::string content(4096, 'x');
        for (int i = 0; i < 100; ++i) {
            std::string name = Name("Stream", i);
            content.replace(0, name.size(), name);
            std::wstring stream = streams + L"\\" + tfc::to_wide(name.c_str()) + L".ibd";
            FILE* out = _wfopen(stream.c_str(), L"wb");
            if (!out)
                throw std::runtime_error("cannot write a stream file");
            std::fwrite(content.data(), 1, content.size(), out);
            std::fclose(out);
            binary.cell(name).cell(name + ".ibd").end_row();
        }
        binary.import(database.get(), folder, L"Binary.idt");
        for (int i = 0; i < 100; ++i)
            DeleteFileW((streams + L"\\" + tfc::to_wide(Name("Stream", i).c_str()) + L".ibd").c_str());
        RemoveDirectoryW(streams.c_str());
        msi::DatabaseCommit(database.get());
    }
    std::wstring changed = base.substr(0, base.size() - 4) + L"-changed.msi";
    if (!CopyFileW(base.c_str(), changed.c_str(), FALSE))
        throw std::runtime_error("CopyFile failed");
    {
        MsiHandle database = msi::OpenDatabase(changed, MSIDBOPEN_TRANSACT);
        MsiHandle view = msi::DatabaseOpenView(database.get(), L"UPDATE `File` SET `Version`='9.9.9'");
        msi::ViewExecute(view.get(), 0);
        view.reset();
        msi::DatabaseCommit(database.get());
        MsiHandle reference = msi::OpenDatabase(base, MSIDBOPEN_READONLY);
        DeleteFileW(transform.c_str());
        msi::DatabaseGenerateTransform(database.get(), reference.get(), transform);
        msi::CreateTransformSummaryInfo(database.get(), reference.get(), transform, 0, 0);
    }
    DeleteFileW(changed.c_str());
}

MsiFileTabBase* CurrentTab(MainWindow& frame)
{
    return dynamic_cast<MsiFileTabBase*>(frame.GetTabs().CurrentTab());
}

void CloseAll(MainWindow& frame)
{
    while (frame.GetTabs().CurrentTab() && frame.GetTabs().CloseCurrent())
        Pump();
    Pump();
}

void ComponentsPage(MainWindow& frame, const std::wstring& folder, int components)
{
    std::wstring path = folder + L"\\views-bench-components.msi";
    MakeComponents(folder, path, components);
    frame.OpenFiles({path}, false);
    Pump();
    MsiFileTabBase* tab = CurrentTab(frame);
    if (!tab)
        throw std::runtime_error("the components database did not open");
    Stopwatch fill;
    tab->SelectView(MainTabCtrl::COMPONENTS);
    Pump();
    Report(components, "components_page_fill_ms", fill.milliseconds(), "ms");
    Stopwatch close;
    CloseAll(frame);
    Report(components, "components_page_close_ms", close.milliseconds(), "ms");
    DeleteFileW(path.c_str());
}

void TransformTab(MainWindow& frame, const std::wstring& folder, int files)
{
    std::wstring base = folder + L"\\views-bench-base.msi";
    std::wstring transform = folder + L"\\views-bench.mst";
    MakeTransform(folder, base, transform, files);
    MainWindow::TransformRequest request;
    request.base = base;
    request.transform = transform;
    Stopwatch open;
    frame.OpenTransformTab(request);
    Pump();
    Report(files, "transform_tab_first_paint_ms", open.milliseconds(), "ms");
    MsiFileTabBase* tab = CurrentTab(frame);
    if (!tab)
        throw std::runtime_error("the transform did not open");
    HWND tree = tab->GetTablesTree()->GetWindow();
    Stopwatch repaint;
    for (int i = 0; i < 10; ++i) {
        InvalidateRect(tree, nullptr, TRUE);
        UpdateWindow(tree);
    }
    Report(files, "transform_tree_repaint_ms", repaint.milliseconds() / 10, "ms");
    CloseAll(frame);
    DeleteFileW(base.c_str());
    DeleteFileW(transform.c_str());
}

// The library's apply alone, called directly (not through the layer), on a copy of the base.
void RawApplyTransform(const std::wstring& folder, int files)
{
    std::wstring base = folder + L"\\views-bench-raw.msi";
    std::wstring transform = folder + L"\\views-bench-raw.mst";
    MakeTransform(folder, base, transform, files);
    {
        MsiHandle database = msi::OpenDatabase(base, MSIDBOPEN_TRANSACT);
        Stopwatch apply;
        UINT result = MsiDatabaseApplyTransformW(database.get(), transform.c_str(), 0);
        Report(files, "raw_apply_transform_ms", apply.milliseconds(), "ms");
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("the library did not apply the transform");
    }
    DeleteFileW(base.c_str());
    DeleteFileW(transform.c_str());
}

ValidationMessage BenchMessage(int i, int messages)
{
    ValidationMessage message;
    message.location = FindCriteria(L"C:\\packages\\product.msi", L"File", i % 3 ? L"Version" : L"",
                                    {L"File" + std::to_wstring((i * 7919) % messages)});
    message.cub = L"darice.cub";
    message.ice = L"ICE" + std::to_wstring(10 + i % 90);
    message.type = std::to_wstring(i % 4);
    message.description = L"Row " + std::to_wstring(i) + L" of the File table says something worth " +
                          std::wstring(static_cast<size_t>(i % 40), L'w');
    message.help = L"http://example.invalid/ice" + std::to_wstring(i % 90) + L".html";
    return message;
}

// The pane refilled and sorted over messages already stored, then the same messages added one at a time
// as a validation run adds them (the columns fitted at every tenth).
void ValidationRefill(MainWindow& frame, int messages)
{
    ValidationWindow& pane = frame.GetLogTabs().Validation();
    pane.Clear();
    for (int i = 0; i < messages; ++i)
        pane.Store().Add(BenchMessage(i, messages));
    Stopwatch refill;
    pane.Refill();
    pane.SortByColumn(3);
    Pump();
    Report(messages, "validation_refill_ms", refill.milliseconds(), "ms");
    pane.Clear();

    // From a thread of its own, as a run adds them, while this thread keeps the frame's messages going.
    Stopwatch run;
    std::atomic<bool> added{false};
    std::thread worker([&] {
        for (int i = 0; i < messages; ++i)
            pane.AddMessage(BenchMessage(i, messages));
        added = true;
    });
    HWND list = pane.GetListWindow();
    while (!added || SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) < messages) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Pump();
    }
    worker.join();
    Report(messages, "validation_run_ms", run.milliseconds(), "ms");
    pane.Clear();
}

// 1,000 components spread over the Component table of the File database, deleted with tracking on through
// "Cascaded Deletion" (answered OK as soon as it shows): each takes its five files with it. Beside it the
// installer library deleting the same 6,000 rows by key.
void CascadeDelete(MainWindow& frame, const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\views-bench-cascade.msi";
    MakeDatabase(folder, path, files);
    int components = files / 5;
    std::vector<int> picked;
    for (int i = 0; i < 1000; ++i)
        picked.push_back(static_cast<int>(static_cast<long long>(i) * components / 1000));
    {
        std::wstring raw_path = Copy(path, L"-raw");
        MsiHandle database = msi::OpenDatabase(raw_path, MSIDBOPEN_TRANSACT);
        MsiHandle file_rows = msi::DatabaseOpenView(database.get(), L"DELETE FROM `File` WHERE `File`=?");
        MsiHandle component_rows =
            msi::DatabaseOpenView(database.get(), L"DELETE FROM `Component` WHERE `Component`=?");
        MsiHandle record = msi::CreateRecord(1);
        Stopwatch raw;
        for (int component : picked) {
            for (int file = component * 5; file < component * 5 + 5; ++file) {
                msi::RecordSetString(record.get(), 1, WideName(L"File", file));
                msi::ViewExecute(file_rows.get(), record.get());
                msi::ViewClose(file_rows.get());
            }
            msi::RecordSetString(record.get(), 1, WideName(L"Comp", component));
            msi::ViewExecute(component_rows.get(), record.get());
            msi::ViewClose(component_rows.get());
        }
        Report(files, "raw_cascade_delete_1000_ms", raw.milliseconds(), "ms");
        file_rows.reset();
        component_rows.reset();
        database.reset();
        DeleteFileW(raw_path.c_str());
    }
    frame.OpenFiles({path}, false);
    Pump();
    MsiFileTabBase* tab = CurrentTab(frame);
    if (!tab)
        throw std::runtime_error("the cascade database did not open");
    MsiFile& file = tab->GetMsiFile();
    if (!file.relationships().IsEnabled())
        file.relationships().Build(file);
    MsiTableNode* node = nullptr;
    for (MsiTableNode* table : tab->TableNodes()) {
        if (table->GetLookup()->GetTableName() == L"Component")
            node = table;
    }
    if (!node)
        throw std::runtime_error("no Component table node");
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    Pump();
    // The list shows the table in key order: the keys' positions there.
    std::vector<std::wstring> wanted;
    for (int component : picked)
        wanted.push_back(WideName(L"Comp", component));
    std::vector<int> positions;
    for (const std::wstring& key : wanted)
        positions.push_back(node->GetLookup()->FindRow({key}, 0));
    tab->GetTreeContext()->SetSelection(positions);
    size_t before = file.FindTable(L"File")->rows().size() + file.FindTable(L"Component")->rows().size();
    UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = FindWindowW(L"#32770", L"Cascaded Deletion");
        if (dialog && IsWindowVisible(dialog))
            SendMessageW(dialog, WM_COMMAND, IDC_ROWS_OK, 0);
    });
    Stopwatch deletion;
    node->DeleteSelectedRows();
    Pump();
    Report(files, "cascade_delete_1000_ms", deletion.milliseconds(), "ms");
    KillTimer(nullptr, timer);
    size_t after = file.FindTable(L"File")->rows().size() + file.FindTable(L"Component")->rows().size();
    if (before - after != 6000)
        std::printf("rows=%d cascade_deleted_rows=%d\n", files, static_cast<int>(before - after));
    CloseAll(frame);
    DeleteFileW(path.c_str());
}

// Opens the File database of `files` rows and shows its File table; the table's node.
MsiTableNode* ShowFileTable(MainWindow& frame, const std::wstring& path, MsiFileTabBase*& tab)
{
    frame.OpenFiles({path}, false);
    Pump();
    tab = CurrentTab(frame);
    if (!tab)
        throw std::runtime_error("the File database did not open");
    MsiTableNode* node = nullptr;
    for (MsiTableNode* table : tab->TableNodes()) {
        if (table->GetLookup()->GetTableName() == L"File")
            node = table;
    }
    if (!node)
        throw std::runtime_error("no File table node");
    SendMessageW(tab->GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    Pump();
    return node;
}

// Shift+PageDown in the File table with the first 19% of its rows selected, against a plain PageDown, and
// a click on a row outside such a selection: one figure per key press or click.
void ExtendSelection(MainWindow& frame, const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\views-bench-select.msi";
    MakeDatabase(folder, path, files);
    MsiFileTabBase* tab = nullptr;
    ShowFileTable(frame, path, tab);
    HWND list = tab->GetTreeContext()->GetWindowHandle();
    SetFocus(list);
    auto press = [list](WORD key, bool shift) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(list, WM_KEYDOWN, key, 1);
        SendMessageW(list, WM_KEYUP, key, 0xC0000001);
        Pump();
    };
    int selected = files * 19 / 100;
    tab->GetTreeContext()->FocusItem(0);
    std::vector<int> first(static_cast<size_t>(selected));
    for (int i = 0; i < selected; ++i)
        first[static_cast<size_t>(i)] = i;
    tab->GetTreeContext()->SetSelection(first);
    tab->GetTreeContext()->FocusItem(selected - 1);
    SendMessageW(list, LVM_SETSELECTIONMARK, 0, 0);
    Pump();
    const int presses = 10;
    Stopwatch extend;
    for (int i = 0; i < presses; ++i)
        press(VK_NEXT, true);
    Report(files, "shift_page_down_ms", extend.milliseconds() / presses, "ms");
    int count = static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
    if (count <= selected)
        std::printf("rows=%d shift_page_down_selected=%d\n", files, count);
    Stopwatch plain;
    for (int i = 0; i < presses; ++i)
        press(VK_NEXT, false);
    Report(files, "page_down_ms", plain.milliseconds() / presses, "ms");
    press(VK_SHIFT, false);
    // A click on a row outside the selection selects only that row.
    double clicks = 0;
    for (int i = 0; i < presses; ++i) {
        tab->GetTreeContext()->SetSelection(first);
        Pump();
        int top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
        RECT row = {};
        row.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, top + 1 + i % 3, reinterpret_cast<LPARAM>(&row));
        LPARAM where = MAKELPARAM(row.left + 4, (row.top + row.bottom) / 2);
        Stopwatch click;
        PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
        PostMessageW(list, WM_LBUTTONUP, 0, where);
        Pump();
        clicks += click.milliseconds();
    }
    Report(files, "click_ms", clicks / presses, "ms");
    if (SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0) != 1)
        std::printf("rows=%d click_left_selected=%d\n", files,
                    static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0)));
    CloseAll(frame);
    DeleteFileW(path.c_str());
}

// 1,000 File rows spread over the table, deleted with tracking off ("Delete Row(s)?" answered Yes);
// beside it the installer library deleting the same rows by key.
void PlainDelete(MainWindow& frame, const std::wstring& folder, int files)
{
    std::wstring path = folder + L"\\views-bench-delete.msi";
    MakeDatabase(folder, path, files);
    std::vector<int> picked;
    for (int i = 0; i < 1000; ++i)
        picked.push_back(static_cast<int>(static_cast<long long>(i) * files / 1000));
    {
        std::wstring raw_path = Copy(path, L"-raw");
        MsiHandle database = msi::OpenDatabase(raw_path, MSIDBOPEN_TRANSACT);
        MsiHandle file_rows = msi::DatabaseOpenView(database.get(), L"DELETE FROM `File` WHERE `File`=?");
        MsiHandle record = msi::CreateRecord(1);
        Stopwatch raw;
        for (int file : picked) {
            msi::RecordSetString(record.get(), 1, WideName(L"File", file));
            msi::ViewExecute(file_rows.get(), record.get());
            msi::ViewClose(file_rows.get());
        }
        Report(files, "raw_delete_1000_ms", raw.milliseconds(), "ms");
        file_rows.reset();
        database.reset();
        DeleteFileW(raw_path.c_str());
    }
    MsiFileTabBase* tab = nullptr;
    MsiTableNode* node = ShowFileTable(frame, path, tab);
    MsiFile& file = tab->GetMsiFile();
    if (file.relationships().IsEnabled())
        file.relationships().Clear();
    std::vector<int> positions;
    for (int picked_file : picked)
        positions.push_back(node->GetLookup()->FindRow({WideName(L"File", picked_file)}, 0));
    tab->GetTreeContext()->SetSelection(positions);
    size_t before = file.FindTable(L"File")->rows().size();
    PromptResponder previous = SetPromptResponder([](const PromptRequest& request) {
        PromptAnswer answer;
        answer.result = request.caption == L"Delete Row(s)?" ? IDYES : IDNO;
        return answer;
    });
    Stopwatch deletion;
    node->DeleteSelectedRows();
    Pump();
    Report(files, "delete_1000_ms", deletion.milliseconds(), "ms");
    SetPromptResponder(previous);
    size_t after = file.FindTable(L"File")->rows().size();
    if (before - after != 1000)
        std::printf("rows=%d deleted_rows=%d\n", files, static_cast<int>(before - after));
    CloseAll(frame);
    DeleteFileW(path.c_str());
}
} // namespace

int main(int argc, char** argv)
{
    Arguments arguments = ReadArguments(argc, argv, {10000});
    WindowedRun run;
    int result = 0;
    try {
        auto frame = std::make_unique<MainWindow>();
        frame->SetDocumentFactory(&MsiFileTab::Make);
        frame->SetTransformFactory(&MsiTransformTab::Make);
        frame->SetCommandLine(L"Dravnetta.exe");
        frame->Create();
        ShowWindow(frame->GetWindowHandle(), SW_SHOW);
        Pump();
        for (int n : arguments.sizes) {
            const char* only = std::getenv("BENCH_ONLY");
            auto run = [only](const char* name) { return !only || std::strstr(only, name); };
            if (run("components"))
                ComponentsPage(*frame, arguments.folder, n);
            if (run("transform")) {
                TransformTab(*frame, arguments.folder, n);
                RawApplyTransform(arguments.folder, n);
            }
            if (run("validation"))
                ValidationRefill(*frame, n);
            if (run("cascade"))
                CascadeDelete(*frame, arguments.folder, n);
            if (run("select"))
                ExtendSelection(*frame, arguments.folder, n);
            if (run("delete"))
                PlainDelete(*frame, arguments.folder, n);
        }
        frame.reset();
        Pump();
    } catch (const std::exception& error) {
        std::printf("failed: %s\n", error.what());
        result = 1;
    }
    return result;
}

#include "EditorTesting.h"

#include "views/grid/CreateFieldEditor.h"
#include "views/grid/InPlaceTextEditor.h"

namespace grid_testing {

void EditorTest::SetUp()
{
    InstallFieldEditorFactory();
    host = std::make_unique<ListHost>();
    DefaultKeyTarget = [this] { return KeyTarget(); };
}

void EditorTest::TearDown()
{
    DefaultKeyTarget = nullptr;
    handler.reset();
    recorder.reset();
    lookup.reset();
    package.reset();
    host.reset();
}

bool EditorTest::Open(const std::wstring& name, const std::wstring& table, bool read_only,
                      const std::function<void(MSIHANDLE database)>& prepare)
{
    package = std::make_unique<OpenPackage>(name, read_only, prepare);
    if (!package->ok())
        return false;
    Show(table);
    return true;
}

void EditorTest::Show(const std::wstring& table)
{
    handler.reset();
    recorder.reset();
    table_name = table;
    lookup = std::make_shared<MsiTableLookup>(package->table(table));
    recorder = std::make_unique<RecordingHandler>(*lookup);
    handler = std::make_unique<LookupHandler>(lookup);
    handler->editor_handler = recorder.get();
    handler->Show(host->list());
}

void EditorTest::SaveAndReopen()
{
    handler.reset();
    recorder.reset();
    lookup.reset();
    package->SaveAndReopen();
    Show(table_name);
}

int EditorTest::Position(const std::vector<std::wstring>& keys)
{
    int position = lookup->FindRow(keys, 0);
    EXPECT_LT(position, lookup->RowCount()) << "no such row";
    return position;
}

void EditorTest::Focus(int position, int column)
{
    ObjectWindow& list = host->list();
    list.SetSelection({position});
    list.FocusItem(position);
    list.SetCurrentColumn(column);
    host->Activate();
}

void EditorTest::WaitUntilListTakesKeys()
{
    HWND list = host->list_window();
    HWND window = host->window();
    bool ready = PumpUntil([&] {
        if (EditWindow() || OpenDialogEditor() || FindThreadDialog())
            return false;
        if (GetActiveWindow() != window || GetFocus() != list)
            host->Activate();
        return GetForegroundWindow() == window && GetActiveWindow() == window && GetFocus() == list;
    });
    EXPECT_TRUE(ready) << "the list did not get the keys back";
}

HWND EditorTest::KeyTarget()
{
    if (HWND edit = EditWindow())
        return edit;
    if (auto* editor = OpenDialogEditor()) {
        HWND value = GetDlgItem(editor->GetDialogWindow(), 1006);
        // A combo box types into its edit part.
        HWND part = FindWindowExW(value, nullptr, L"Edit", nullptr);
        return part ? part : value;
    }
    if (HWND dialog = FindThreadDialog(L"Multi-line Editor"))
        return GetDlgItem(dialog, 1051);
    return host ? host->list_window() : nullptr;
}

HWND EditorTest::EditWindow()
{
    auto* editor = dynamic_cast<InPlaceTextEditor*>(host->list().GetEditor().get());
    HWND edit = editor ? editor->GetEditWindow() : nullptr;
    if (!edit || !IsWindow(edit))
        return nullptr;
    return edit;
}

} // namespace grid_testing

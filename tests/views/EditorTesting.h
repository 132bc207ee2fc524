#pragma once
// A package table shown in a real list through a lookup, for the editor tests: every edit starts the way a
// user starts it (the list's keys), runs its real window or modal dialog, and reaches the lookup.
#include "GridTesting.h"

#include "model/lookups/MsiTableLookup.h"
#include "views/grid/DialogFieldEditor.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace grid_testing {

class EditorTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a copy of the package and shows the table; false (the test skips) when the package is absent.
    bool Open(const std::wstring& package, const std::wstring& table, bool read_only = false,
              const std::function<void(MSIHANDLE database)>& prepare = nullptr);
    // Shows another table of the open package.
    void Show(const std::wstring& table);
    // Saves in place, opens the file again and shows the same table.
    void SaveAndReopen();

    int Position(const std::vector<std::wstring>& keys);
    int Column(const std::wstring& name) { return lookup->FindColumn(name); }
    std::wstring Cell(int column, int position) { return lookup->GetCellText(column, position, 0); }
    MsiFieldDataRef Field(int column, int position) { return lookup->GetField(column, position, 0); }
    // Makes the cell current in the focused, selected row.
    void Focus(int position, int column);
    // Enter on the current cell, as the user opens an editor.
    void PressEnter()
    {
        WaitUntilListTakesKeys();
        PressKey(VK_RETURN);
    }
    // Waits (bounded) until the previous editor's window is gone and the host is active with the list
    // focused, as when a user presses the next key.
    void WaitUntilListTakesKeys();
    // The text editor's edit control, or null.
    HWND EditWindow();
    // Where the user's keys would go: the open editor's control, else the list.
    HWND KeyTarget();
    // The dialog of the open dialog editor, once it is shown; null before.
    template <typename Editor = DialogFieldEditor> Editor* OpenDialogEditor()
    {
        auto* editor = dynamic_cast<Editor*>(host->list().GetEditor().get());
        if (!editor || !editor->GetDialogWindow() || !IsWindowVisible(editor->GetDialogWindow()))
            return nullptr;
        return editor;
    }

    std::unique_ptr<ListHost> host;
    std::unique_ptr<OpenPackage> package;
    std::shared_ptr<MsiTableLookup> lookup;
    std::unique_ptr<RecordingHandler> recorder;
    std::unique_ptr<LookupHandler> handler;
    std::wstring table_name;
};

} // namespace grid_testing

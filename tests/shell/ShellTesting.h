#pragma once
// Helpers of the shell's window tests: a document tab behind the real tab interfaces, a frame made for
// one test, and message pumping.
#include "shell/MainWindow.h"
#include "shell/MsiFileTabBase.h"
#include "support/WindowTesting.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace shell_testing {

using window_testing::DropQuitMessage;
using window_testing::PumpPending;
using window_testing::PumpUntil;

// A document tab with a path and nothing behind it: the title, the close guard, the menus and the trees
// are the real ones of MsiFileTabBase.
class TestDocumentTab : public MsiFileTabBase
{
public:
    TestDocumentTab(MDITabsParent* owner, StatusBarManager* status, std::wstring path,
                    bool read_only = false);
    ~TestDocumentTab() override;

    std::wstring GetPath() override { return path_; }
    void Create(HWND parent, int x, int y, int width, int height) override;
    void Save() override;
    void SaveAs() override {}
    void Backup() override {}
    void OnCommand(HMENU menu, UINT id) override;

    MsiTableNode* FindTableNode(const std::wstring&) override { return nullptr; }
    MsiTableNode* FindEditableTableNode(const std::wstring&) override { return nullptr; }
    void DropTable(MsiTableNode*) override {}
    void AddTableViews(MsiFile&, bool) override {}
    MsiFile& GetMsiFile() override;
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring&) override { return {}; }

    // Create throws after the window exists, as a failed open does.
    bool fail_create = false;
    int saves = 0;
    std::vector<std::pair<HMENU, UINT>> commands;
    static int alive;

protected:
    HMENU LoadMenuBar() override;

private:
    std::wstring path_;
};

// A frame for one test: no files from the test program's own command line, documents made as
// TestDocumentTabs (after `before_create` may change them), with `preparer` as its document preparer.
class TestFrame
{
public:
    explicit TestFrame(const std::wstring& command_line = L"Dravnetta.exe",
                       std::function<void(TestDocumentTab&)> before_create = {},
                       MainWindow::DocumentPreparer preparer = {});
    ~TestFrame();
    MainWindow& frame() { return *frame_; }
    MainWindow* operator->() { return frame_.get(); }
    std::vector<std::wstring> opened;
    TestDocumentTab* document(size_t index);
    std::shared_ptr<TestDocumentTab> Open(const std::wstring& path, bool read_only = false);

private:
    std::unique_ptr<MainWindow> frame_;
    std::function<void(TestDocumentTab&)> before_create_;
};

} // namespace shell_testing

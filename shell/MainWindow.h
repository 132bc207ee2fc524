#pragma once
// The frame: the tab strip of documents, the bottom pane, the splitter between them, the status bar,
// the progress window and the job runner; start-up, the message loop and an orderly close.
#include "foundation/JobControl.h"
#include "foundation/JobRunner.h"
#include "foundation/RegKey.h"
#include "foundation/SplitterWindow.h"
#include "foundation/Window.h"
#include "shell/DocumentTab.h"
#include "shell/LogTabsWindow.h"
#include "shell/MDITabsParent.h"
#include "shell/ProgressWindow.h"
#include "views/dialogs/FindDlg.h"

#include <commctrl.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MainWindow : tfc::Window,
                   public StatusBarManager,
                   public JobNotificationSubscriber,
                   public JobCanceller,
                   private FindDocuments
{
public:
    // The document a path opens as.
    using DocumentFactory =
        std::function<std::shared_ptr<MDIChild>(MainWindow& frame, const std::wstring& path)>;

    MainWindow();
    ~MainWindow() override;

    // Create, then the message loop; its result.
    int Run();
    // Registers the class and creates the frame; its WM_CREATE lays out the children, restores the
    // placement and opens the files of the command line.
    void Create();
    int MessageLoop();
    // One message as the loop handles it: accelerators, dialog navigation, then dispatch.
    void ProcessMessage(MSG& message);
    // In place of GetCommandLineW (tests).
    void SetCommandLine(const std::wstring& command_line);

    void SetTitle(const std::wstring& document_title);
    void SetStatusText(const std::wstring& text, int part) override;
    void SetStatusParts(const std::vector<int>& percentages) override;
    // The frame's own table stays; any other document's table is destroyed and replaced.
    void SetDocumentAccelerators(HWND window, HACCEL table);

    // Opens each path as a document tab; a path that fails is reported and the others go on.
    void OpenFiles(const std::vector<std::wstring>& paths, bool offer_to_current);
    void SetDocumentFactory(DocumentFactory factory) { document_factory_ = std::move(factory); }

    // The one entry point for jobs of the document tabs; false when one already runs.
    bool RunTasks(const JobRunner::Tasks& tasks, JobNotificationSubscriber* subscriber, bool threaded);
    void JobsFinished(JobRunner& runner) override;
    void Cancel() override;

    void OnCommand(UINT id);
    void OnMenuCommand(HMENU menu, UINT position);
    void OnSave();
    // Ctrl+N: a copy of a registered template, opened as a new document.
    void OnNew();
    // The options sheet over the active window; every view repaints after it.
    void OnOptions();
    // The close guard of every document, then the placement is saved and the frame goes.
    void OnClose();

    HWND GetWindowHandle() const { return frame_; }
    HIMAGELIST GetImageList() const { return images_; }
    HWND GetStatusBar() const { return status_bar_; }
    MDITabsParent& GetTabs() { return tabs_; }
    LogTabsWindow& GetLogTabs() { return log_tabs_; }
    ProgressWindow& GetProgressWindow() { return progress_; }
    FindDlg& GetFindDialog() { return find_; }
    JobRunner& GetJobRunner() { return runner_; }
    const std::vector<int>& GetStatusPercentages() const { return status_parts_; }
    const std::map<HWND, HACCEL>& Accelerators() const { return accelerators_; }

    // The command line's plain arguments: the paths to open at start.
    static std::vector<std::wstring> CommandLinePaths(const wchar_t* command_line);

private:
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    void OnCreate(HWND window);
    void OnSize(UINT kind, int width, int height);
    // True when the focus was given back.
    bool OnActivate(WORD state);
    void OnDropFiles(HDROP drop);
    void OnCloseFile();
    void BuildImageList();
    void RestorePlacement();
    void SavePlacement();
    void ApplyStatusParts();
    // The tab strip above the split, the bottom pane below it down to the status bar, the bar between.
    void Layout(int width, int status_top, int split);
    // The documents as Find walks them: the tabs that can be searched, in strip order.
    std::vector<FindableDocument*> GetFindDocuments() override;
    int GetActiveFindDocument() override;
    void SelectFindDocument(int index) override;

    std::map<HWND, HACCEL> accelerators_;
    HWND frame_ = nullptr;
    HIMAGELIST images_ = nullptr;
    HWND status_bar_ = nullptr;
    MDITabsParent tabs_;
    LogTabsWindow log_tabs_;
    SplitterWindow splitter_;
    FindDlg find_;
    HWND find_dialog_ = nullptr;
    ProgressWindow progress_;
    JobRunner runner_;
    JobControl jobs_;
    tfc::RegKey mru_key_;
    HWND last_focus_ = nullptr;
    std::vector<int> status_parts_;
    DocumentFactory document_factory_;
    std::wstring command_line_;
    bool has_command_line_ = false;
    bool maximise_after_create_ = false;
};

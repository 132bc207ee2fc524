#pragma once
// The frame: the tab strip of documents, the bottom pane, the splitter between them, the status bar,
// the progress window and the job runner; start-up, the message loop and an orderly close.
#include "foundation/JobControl.h"
#include "foundation/JobRunner.h"
#include "foundation/RegKey.h"
#include "foundation/SplitterWindow.h"
#include "foundation/Window.h"
#include "frame/DocumentTab.h"
#include "frame/FrameWindow.h"
#include "shell/LogTabsWindow.h"
#include "shell/MDITabsParent.h"
#include "foundation/ProgressWindow.h"
#include "views/dialogs/FindDlg.h"

#include <commctrl.h>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class MainWindow : tfc::Window,
                   public FrameWindow,
                   public StatusBarManager,
                   public JobNotificationSubscriber,
                   public JobCanceller,
                   private FindDocuments
{
public:
    // The document a path opens as.
    using DocumentFactory =
        std::function<std::shared_ptr<MDIChild>(MainWindow& frame, const std::wstring& path)>;
    // A transform to open over its base database, after the transforms applied before it.
    struct TransformRequest
    {
        std::wstring base;
        std::wstring transform;
        // Created, not applied.
        bool new_transform = false;
        std::vector<std::wstring> earlier_transforms;
        // The database the previous transform tab edited, taken over rather than copied again.
        std::wstring backing_file;
    };
    // The document a transform opens as.
    using TransformFactory =
        std::function<std::shared_ptr<MDIChild>(MainWindow& frame, const TransformRequest&)>;
    // Begins opening the document a path will open as; what it returns is dropped once the frame has
    // made its windows and opened its command line.
    using DocumentPreparer = std::function<std::shared_ptr<void>(const std::wstring& path)>;

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

    // Opens each path by its extension: a transform over a chosen base, a patch taken apart into a chosen
    // folder, anything else as a database tab. A path that fails is reported and the others go on.
    void OpenFiles(const std::vector<std::wstring>& paths, bool offer_to_current);
    void SetDocumentFactory(DocumentFactory factory) { document_factory_ = std::move(factory); }
    void SetTransformFactory(TransformFactory factory) { transform_factory_ = std::move(factory); }
    // A database named alone on the command line then begins to open while the frame makes its windows.
    void SetDocumentPreparer(DocumentPreparer preparer) { document_preparer_ = std::move(preparer); }
    // Closes the current document and opens the transform in a new tab in its place; false, with nothing
    // opened, when the current document refuses to close. The caller must not touch the closed document.
    bool OpenTransformTab(const TransformRequest& request);
    // Copies the template to the path, writable whatever the template's attributes, and opens the copy.
    void CreateFromTemplate(const std::wstring& template_path, const std::wstring& path);
    HKEY GetRecentFilesKey() const { return mru_key_.get(); }

    // The one entry point for jobs of the document tabs; false when one already runs.
    bool RunTasks(const JobRunner::Tasks& tasks, JobNotificationSubscriber* subscriber, bool threaded);
    void JobsFinished(JobRunner& runner) override;
    void Cancel() override;

    void OnCommand(UINT id);
    void OnMenuCommand(HMENU menu, UINT position);
    void OnInitMenu(HMENU menu);
    void OnOpen();
    void OnNew();
    void OnSave();
    void OnSaveAs();
    void OnBackup();
    void OnAbout();
    void OnOptions();
    void OnHelp();
    // The close guard of every document, then the placement is saved and the frame goes.
    void OnClose();

    HWND GetWindowHandle() const override { return frame_; }
    HIMAGELIST GetImageList() const override { return images_; }
    const ValidationStore* GetValidationResults() override;
    RowLinksPane* GetRowLinksPane() override;
    HWND GetStatusBar() const { return status_bar_; }
    MDITabsParent& GetTabs() { return tabs_; }
    LogTabsWindow& GetLogTabs() { return log_tabs_; }
    ProgressWindow& GetProgressWindow() override { return progress_; }
    FindDlg& GetFindDialog() { return find_; }
    JobRunner& GetJobRunner() { return runner_; }
    const std::vector<int>& GetStatusPercentages() const { return status_parts_; }
    const std::map<HWND, HACCEL>& Accelerators() const { return accelerators_; }

    // Whether opening turns row reference tracking on: one path, a threshold that is not 0, and no more
    // File and Registry rows together than the threshold.
    static bool TracksOnOpen(size_t path_count, size_t file_and_registry_rows, int threshold);
    // The command line's plain arguments: the paths to open at start.
    static std::vector<std::wstring> CommandLinePaths(const wchar_t* command_line);

private:
    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;
    // What the preparer began for the command line's one database, or empty.
    std::shared_ptr<void> PrepareCommandLineDocument();
    void OnCreate(HWND window);
    void OnSize(UINT kind, int width, int height);
    // True when the focus was given back.
    bool OnActivate(WORD state);
    void OnDropFiles(HDROP drop);
    void OnCloseFile();
    // One path of OpenFiles; the document it opened, or null.
    MDIChild* OpenOnePath(const std::wstring& path);
    void ExtractPatch(const std::wstring& path);
    // Row references built at once for a single small database just opened.
    void TrackOnOpen(MDIChild* document);
    void RebuildWindowMenu(HMENU bar);
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
    JobControl jobs_;
    tfc::RegKey mru_key_;
    HWND last_focus_ = nullptr;
    std::vector<int> status_parts_;
    DocumentFactory document_factory_;
    TransformFactory transform_factory_;
    DocumentPreparer document_preparer_;
    // The entries the File menu's recent items were made from; an item's data is its index here.
    std::vector<std::wstring> recent_shown_;
    std::wstring command_line_;
    bool has_command_line_ = false;
    bool maximise_after_create_ = false;
    // Last, so destroyed first: its destructor waits for the workers, and the last one reports to the
    // frame and to jobs_, which must still be there.
    JobRunner runner_;
};

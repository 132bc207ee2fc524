// Every way of opening documents ends in OpenFiles: the Open command, the command line, dropped files,
// recent files, new files and the transforms of an extracted patch.
#include "shell/MainWindow.h"

#include "foundation/ErrorDialog.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/MessageTrail.h"
#include "foundation/Prompt.h"
#include "model/MsiFile.h"
#include "model/SummaryInfo.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "foundation/TempFiles.h"
#include "foundation/UserFileReplace.h"
#include "model/installer/OpenFailureReason.h"
#include "foundation/Options.h"
#include "shell/PatchExtraction.h"
#include "shell/RecentFiles.h"
#include "shell/SaveNames.h"
#include "shell/WaitCursor.h"
#include "views/grid/GuidText.h"

#include <stdexcept>

namespace {

const wchar_t kOpenFilter[] =
    L"Windows Installer files\0*.msi;*.mst;*.msm;*.wsi;*.msp;*.cub\0All files\0*.*\0";
const wchar_t kBaseFilter[] = L"Windows Installer files\0*.msi;*.msm;*.wsi;*.msp;*.cub\0All files\0*.*\0";
const DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_ALLOWMULTISELECT;

size_t TableRows(MsiFile& file, const wchar_t* name)
{
    MsiTableRef table = file.FindTable(name);
    return table ? table->rows().size() : 0;
}

} // namespace

bool MainWindow::TracksOnOpen(size_t path_count, size_t file_and_registry_rows, int threshold)
{
    return path_count == 1 && threshold > 0 && file_and_registry_rows <= static_cast<size_t>(threshold);
}

void MainWindow::OnOpen()
{
    std::vector<std::wstring> paths;
    if (ShowOpenFilesDialog(frame_, FilterText(kOpenFilter), kOpenFlags, L"Open Files", nullptr,
                            std::wstring(), paths) &&
        !paths.empty())
        OpenFiles(paths, false);
}

void MainWindow::CreateFromTemplate(const std::wstring& template_path, const std::wstring& path)
{
    // Made in a temporary file and read back before it takes the chosen path: a failure leaves a file
    // that was there as it was.
    std::wstring written = GlobalTempFiles().Create(std::wstring());
    try {
        if (!CopyFileW(template_path.c_str(), written.c_str(), FALSE))
            tfc::throw_last_error(L"CopyFile");
        // CopyFileW copies the template's read-only attribute, which would open the new file read-only.
        if (!SetFileAttributesW(written.c_str(), FILE_ATTRIBUTE_NORMAL))
            tfc::throw_last_error(L"SetFileAttributes");
        MsiSummaryInfo::MarkAsNewPackage(written, GenerateGuidString());
        msi::TableRowCounts counts = msi::DatabaseRowCounts(template_path);
        ReplaceUserFile(written, path,
                        [&counts](const std::wstring& copy) { msi::CheckWrittenDatabase(copy, counts); });
    } catch (...) {
        GlobalTempFiles().Release(written);
        DeleteFileW(written.c_str());
        throw;
    }
    GlobalTempFiles().Release(written);
    DeleteFileW(written.c_str());
    OpenFiles({path}, false);
}

void MainWindow::OnDropFiles(HDROP drop)
{
    std::vector<std::wstring> paths;
    GetDroppedFiles(drop, paths);
    DragFinish(drop);
    OpenFiles(paths, true);
}

void MainWindow::OpenFiles(const std::vector<std::wstring>& paths, bool offer_to_current)
{
    WaitCursor wait;
    MDIChild* result = nullptr;
    MDIChild* current = tabs_.CurrentTab();
    if (offer_to_current && paths.size() == 1 && current && current->OpenDroppedFile(paths)) {
        // Taking a transform replaces the document by a transform tab: `current` may be gone.
        result = tabs_.CurrentTab();
    } else {
        for (const std::wstring& path : paths) {
            try {
                result = OpenOnePath(path);
            } catch (...) {
                result = nullptr;
                // The failure's own text is not shown, only the reason the layer knows beneath the
                // line: the trail it left goes with it, so that it does not turn up in a later,
                // unrelated error.
                tfc::clear_thread_messages();
                std::wstring reason = msi::OpenFailureReason(std::current_exception());
                ShowMessageBox(frame_,
                               L"Failed to open file: " + path + (reason.empty() ? L"" : L"\r\n" + reason),
                               L"Failed to open file", MB_OK);
            }
        }
    }
    if (paths.size() == 1 && result)
        TrackOnOpen(result);
}

MDIChild* MainWindow::OpenOnePath(const std::wstring& given)
{
    // "C:/a/b.msi" or a relative name: the tab, the title and the prompts show the program's own form.
    std::wstring path = FullPathOf(given);
    if (HasExtension(path, L".mst")) {
        std::wstring base =
            BrowseForFile(frame_, FilterText(kBaseFilter), OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST,
                          L"Select base file for transform: " + FileNameOf(path), L"");
        if (base.empty())
            return nullptr;
        if (!transform_factory_)
            throw std::runtime_error("transforms cannot be opened");
        TransformRequest request;
        request.base = base;
        request.transform = path;
        std::shared_ptr<MDIChild> document = transform_factory_(*this, request);
        tabs_.AddTab(document);
        return document.get();
    }
    if (HasExtension(path, L".msp")) {
        ExtractPatch(path);
        return nullptr;
    }
    if (!document_factory_)
        throw std::runtime_error("no document kind for this file");
    std::shared_ptr<MDIChild> document = document_factory_(*this, path);
    tabs_.AddTab(document);
    // A path relative to the folder the program started in would not open from the menu later.
    wchar_t full[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    try {
        AddToMru(mru_key_.get(), length > 0 && length < MAX_PATH * 4 ? std::wstring(full, length) : path);
    } catch (const tfc::Win32Error& error) {
        // The document is open; only the recent-files list missed it, which is no failure to open.
        tfc::Format(L"Could not add %s to the recent files") << path;
        ShowErrorDialog(frame_, error.description());
    }
    return document.get();
}

void MainWindow::ExtractPatch(const std::wstring& path)
{
    std::wstring folder;
    {
        // The patch stays locked against writing only while it is taken apart.
        ComRef<IStorage> patch = OpenPatchStorage(path);
        folder = BrowseForFolder(frame_, L"Please choose the folder to extract the transforms to");
        if (folder.empty())
            return;
        while (folder.size() > 3 && folder.back() == L'\\')
            folder.pop_back();
        ExtractPatchTransforms(*patch.get(), folder);
    }
    int answer = ShowMessageBox(frame_,
                                L"Successfully extracted the patch transforms and file to:\r\n" + folder +
                                    L"\r\nWould you like to browse to the folder to open one or more of the "
                                    L"transforms?",
                                L"Extraction of patch transforms successful.", MB_YESNO | MB_ICONQUESTION);
    if (answer != IDYES)
        return;
    std::vector<std::wstring> chosen;
    if (ShowOpenFilesDialog(frame_, FilterText(kOpenFilter), kOpenFlags, L"Open Files", nullptr,
                            folder + L"\\*", chosen) &&
        !chosen.empty())
        OpenFiles(chosen, false);
}

void MainWindow::TrackOnOpen(MDIChild* document)
{
    MsiFile* file = document->GetTrackedDatabase();
    if (!file || file->relationships().IsEnabled())
        return;
    size_t rows = TableRows(*file, L"File") + TableRows(*file, L"Registry");
    if (!TracksOnOpen(1, rows, gOptions.tracking_threshold))
        return;
    // The pane builds them, so its check box says so; the new document is the current one.
    RowLinksWindow& pane = log_tabs_.RowLinksPane();
    pane.UpdateTrackingCheck();
    if (pane.GetCheckBox() && tabs_.CurrentTab() == document)
        pane.ToggleTracking();
    else
        file->relationships().Build(*file, static_cast<StatusBarManager*>(this));
    document->UpdateStatusBar();
}

bool MainWindow::OpenTransformTab(const TransformRequest& request)
{
    if (!transform_factory_)
        throw std::runtime_error("transforms cannot be opened");
    // A kept document would share a transform's backing file with its successor.
    if (tabs_.CurrentTab() && !tabs_.CloseCurrent())
        return false;
    try {
        tabs_.AddTab(transform_factory_(*this, request));
    } catch (...) {
        // A database closed for the transform was saved first: whatever the apply met, it comes back as
        // it was. (A transform tab's database went to the one that failed.)
        bool from_database =
            request.earlier_transforms.empty() && request.backing_file.empty() && document_factory_;
        if (from_database) {
            try {
                tabs_.AddTab(document_factory_(*this, request.base));
            } catch (...) {
            }
        }
        throw;
    }
    return true;
}

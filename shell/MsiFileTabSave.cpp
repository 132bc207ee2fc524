// Saving a database tab: in place, under another name, and numbered backups beside the file.
#include "shell/MsiFileTab.h"

#include "foundation/Errors.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/Options.h"
#include "shell/SaveNames.h"
#include "views/tree/TreeView.h"

namespace {

const wchar_t kSaveFilter[] = L"Windows Installer Files\0*.msi;*.wsi;*.msm\0Msi Files (*.msi)\0*.msi\0"
                              L"Wsi Files (*.wsi)\0*.wsi\0Merge Module (*.msm)\0*.msm\0";

// A temporary file in the target's folder, deleted unless it took the target's place.
class FolderTempFile
{
public:
    FolderTempFile(TempFiles& files, const std::wstring& folder) : files_(files)
    {
        path_ = files_.Create(std::wstring(), folder);
    }
    ~FolderTempFile()
    {
        files_.Release(path_);
        if (!placed_)
            DeleteFileW(path_.c_str());
    }
    FolderTempFile(const FolderTempFile&) = delete;
    FolderTempFile& operator=(const FolderTempFile&) = delete;
    const std::wstring& path() const { return path_; }
    void Placed() { placed_ = true; }

private:
    TempFiles& files_;
    std::wstring path_;
    bool placed_ = false;
};

} // namespace

void MsiFileTab::Save()
{
    std::wstring name;
    bool stamp = LastSavedByName(name);
    file_.SaveInPlace(stamp, name);
    SetDirty(false);
    TreeView* tables = GetTablesTree();
    if (tables->GetSelectedNode())
        InvalidateRect(GetTreeContext()->GetWindowHandle(), nullptr, FALSE);
}

std::wstring MsiFileTab::MakeSaveRequest()
{
    std::wstring copy = GetTempFiles().Create(L"Save", GlobalTempFiles().GetFolder());
    std::wstring name;
    bool stamp = LastSavedByName(name);
    file_.Save(copy, stamp, name);
    return copy;
}

void MsiFileTab::SaveToFile(const std::wstring& target, bool reopen)
{
    std::wstring full_target = FullPathOf(target);
    std::wstring copy = MakeSaveRequest();
    // The copy is moved in from the target's own folder: one replacing move on one volume, so the target
    // is either the old file or the whole new one.
    FolderTempFile pending(GetTempFiles(), FolderOfPath(full_target));
    if (!CopyFileW(copy.c_str(), pending.path().c_str(), FALSE))
        tfc::throw_last_error(L"CopyFile");
    ReplaceWithFile(pending.path(), full_target);
    pending.Placed();
    if (reopen) {
        file_.SwitchToPath(full_target);
        read_only_ = file_.read_only();
    }
}

void MsiFileTab::SaveAs()
{
    std::wstring folder = FolderOfPath(path_);
    std::wstring chosen = BrowseForSaveFile(DialogOwner(), folder, FilterText(kSaveFilter),
                                            OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                                                OFN_CREATEPROMPT | OFN_NOREADONLYRETURN,
                                            L"Save As", DefaultSaveExtension(path_));
    if (chosen.empty())
        return;
    // Onto its own file it is a plain save: the open file cannot be replaced under the database.
    if (IsSamePath(chosen, path_)) {
        Save();
        return;
    }
    SaveToFile(chosen, true);
    path_ = file_.path();
    SetDirty(false);
    UpdateWritingCommands();
    // The status bar shows the path the tab now edits.
    UpdateStatusBar();
}

void MsiFileTab::Backup()
{
    std::wstring candidate = NextFreeBackupName(path_);
    SaveToFile(candidate, false);
    SetStatusParts({100});
    SetStatusText(L"Backed up to: " + candidate, 0);
}

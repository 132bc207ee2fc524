// Saving a database tab: in place, under another name, and numbered backups beside the file.
#include "shell/MsiFileTab.h"

#include "foundation/Errors.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/Options.h"
#include "foundation/Prompt.h"
#include "shell/SaveNames.h"
#include "foundation/UserFileReplace.h"
#include "views/tree/TreeView.h"

namespace {

const wchar_t kSaveFilter[] = L"Windows Installer Files\0*.msi;*.wsi;*.msm\0Msi Files (*.msi)\0*.msi\0"
                              L"Wsi Files (*.wsi)\0*.wsi\0Merge Module (*.msm)\0*.msm\0";

} // namespace

void MsiFileTab::Save()
{
    if (file_.OwnFileChanged()) {
        // Saving would go into a file that is no longer the one at the path.
        if (ShowMessageBox(
                DialogOwner(),
                L"The file " + path_ +
                    L" was changed, replaced or removed by another program since it was opened, and it "
                    L"does not hold your changes.\r\n\r\nSave your changes under another name?",
                L"File changed on disk", MB_YESNO | MB_ICONWARNING) == IDYES)
            SaveAs();
        // Whoever asked for the save (closing the tab) must not go on as if it were done.
        if (IsDirty())
            throw tfc::ManageableError(L"Your changes were not saved; they are still open in the tab.",
                                       L"File changed on disk");
        return;
    }
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
    std::wstring name;
    bool stamp = LastSavedByName(name);
    // Written beside the target and read back before it takes the target's place.
    file_.Save(full_target, stamp, name);
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

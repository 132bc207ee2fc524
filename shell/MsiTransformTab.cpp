#include "shell/MsiTransformTab.h"

#include "foundation/NoRedraw.h"
#include "foundation/Errors.h"
#include "foundation/FileDialogs.h"
#include "foundation/FileUtil.h"
#include "foundation/MessageTrail.h"
#include "foundation/Prompt.h"
#include "foundation/UserFileReplace.h"
#include "model/installer/WrittenDatabaseCheck.h"
#include "model/lookups/MsiDiffStreamsTableLookup.h"
#include "resources/ShellIds.h"
#include "shell/MDITabsParent.h"
#include "foundation/Options.h"
#include "shell/SaveNames.h"
#include "shell/TransformPropertiesDlg.h"
#include "views/grid/ObjectWindow.h"
#include "views/tree/MsiDiffTableNode.h"
#include "views/tree/TreeView.h"

#include <exception>

namespace {

MsiDiffTableLookupBasic* DiffLookupOf(MsiTableNode* node)
{
    return node ? dynamic_cast<MsiDiffTableLookupBasic*>(node->GetLookup().get()) : nullptr;
}

} // namespace

MsiTransformTab::MsiTransformTab(MDITabsParent* owner, StatusBarManager* status,
                                 const MainWindow::TransformRequest& request, bool read_only)
    : MsiFileTabBase(L"MsiTransformTab", owner, status, read_only), base_path_(request.base),
      transform_path_(request.transform), new_transform_(request.new_transform),
      earlier_transforms_(request.earlier_transforms), backing_file_(request.backing_file),
      adopt_backing_(!request.backing_file.empty())
{
}

MsiTransformTab::~MsiTransformTab()
{
    // Every node and its lookup unsubscribes from the transform's tables: they go while those live.
    ClearTrees();
    GetTreeContext()->SetHandler(nullptr, {}, 0, -1, 0);
    transform_.reset();
}

std::shared_ptr<MDIChild> MsiTransformTab::Make(MainWindow& frame,
                                                const MainWindow::TransformRequest& request)
{
    return std::make_shared<MsiTransformTab>(&frame.GetTabs(), &frame, request);
}

void MsiTransformTab::Create(HWND parent, int x, int y, int width, int height)
{
    MsiFileTabBase::Create(parent, x, y, width, height);
    GetTreeContext()->AddToolTip();
    bool read_only = false;
    try {
        read_only = OpenTransform(false);
    } catch (const tfc::Win32Error& error) {
        if (error.code() != ERROR_INSTALL_TRANSFORM_FAILURE && error.code() != ERROR_FUNCTION_FAILED)
            throw;
        tfc::clear_thread_messages();
        if (ShowMessageBox(GetWindowHandle(),
                           L"Applying the transform caused errors. Do you wish to continue anyway?",
                           L"Errors while applying transform", MB_YESNO) != IDYES)
            // The library's answer goes with it: a refused open names it as the reason.
            std::throw_with_nested(tfc::ManageableError(
                L"The transform was not applied", L"The transform had errors when applied to the msi."));
        read_only = OpenTransform(true);
    }
    read_only_ = read_only;
    UpdateTabText();
    AddTableViews(*transform_, false);
    ShowFirstTable();
}

bool MsiTransformTab::OpenTransform(bool apply_anyway)
{
    // A failed attempt leaves a transform that is not used again.
    transform_ = std::make_shared<MsiTransform>();
    if (earlier_transforms_.empty() && backing_file_.empty())
        return transform_->Open(base_path_, transform_path_, read_only_, new_transform_, apply_anyway);
    bool adopt = adopt_backing_;
    // Adopted once: a second attempt must not register the file twice.
    adopt_backing_ = false;
    return transform_->Load(base_path_, transform_path_, read_only_, new_transform_, earlier_transforms_,
                            backing_file_, adopt, apply_anyway);
}

HMENU MsiTransformTab::LoadMenuBar()
{
    return LoadTabMenuBar(IDR_TRANSFORM_MENU);
}

void MsiTransformTab::OnCommand(HMENU, UINT id)
{
    if (OnSharedCommand(id))
        return;
    switch (id) {
    case ID_TABLES_VALIDATE:
        OnValidate();
        break;
    case ID_TRANSFORM_PROPERTIES:
        OnProperties();
        break;
    case ID_TRANSFORM_NEW:
        OnNewTransform();
        break;
    case ID_TRANSFORM_SAVE_TRANSFORMED:
        SaveTransformedFile();
        break;
    case ID_TRANSFORM_APPLY:
        OnApplyTransform();
        break;
    }
}

void MsiTransformTab::UpdateStatusBar()
{
    std::wstring chain = FileNameOf(base_path_);
    for (const std::wstring& earlier : earlier_transforms_)
        chain += L" <- " + FileNameOf(earlier);
    chain += L" <- " + FileNameOf(transform_path_);
    SetStatusParts({100});
    SetStatusText(chain + L"\tTables: " + std::to_wstring(GetTablesTree()->Root()->ChildCount()), 0);
}

void MsiTransformTab::AddTableViews(MsiFile& database, bool only_database_tables)
{
    bool had_nodes = GetTablesTree()->Root()->ChildCount() > 0;
    // One repaint for the whole tree: each item added to a tree that draws costs a layout of it.
    NoRedraw quiet(GetTablesTree()->GetWindow());
    bool foreign = &database != transform_.get();
    std::vector<MsiTableRef> tables;
    for (const auto& entry : database.tables())
        if (!only_database_tables || entry.second->user_table())
            tables.push_back(entry.second);
    for (const MsiTableRef& table : tables)
        CreateTableLookup(*table, foreign);
    if (had_nodes)
        return;
    // Tables the transform drops: shown from the base side.
    std::vector<MsiTableRef> dropped;
    for (const auto& entry : transform_->base().tables())
        if (!transform_->FindTable(entry.first))
            dropped.push_back(entry.second);
    for (const MsiTableRef& table : dropped)
        AddDiffNode(nullptr, table.get());
}

void MsiTransformTab::AddDiffNode(MsiTable* transformed, MsiTable* base)
{
    std::shared_ptr<MsiTableLookupBase> lookup = MakeDiffTableLookup(base, transformed);
    GetTablesTree()->Root()->AddChild(new MsiDiffTableNode(this, lookup));
}

void MsiTransformTab::CreateTableLookup(MsiTable& table, bool add)
{
    MsiTable* shown = &table;
    MsiTableRef added;
    if (add) {
        table.ExtractBinaries();
        added = transform_->AddTableWithRows(table);
        shown = added.get();
        SetDirty(true);
    }
    MsiTableRef base = transform_->base().FindTable(shown->name());
    MsiTableNode* node = FindTableNode(shown->name());
    if (!node) {
        AddDiffNode(shown, base.get());
        return;
    }
    if (MsiDiffTableLookupBasic* diff = DiffLookupOf(node)) {
        diff->SetEditableTable(shown);
        node->Reload();
    }
}

MsiTableNode* MsiTransformTab::FindTableNode(const std::wstring& name)
{
    return dynamic_cast<MsiTableNode*>(GetTablesTree()->Root()->FindChild(ContainerNode::CutLabel(name)));
}

MsiTableNode* MsiTransformTab::FindEditableTableNode(const std::wstring& name)
{
    MsiTableNode* node = FindTableNode(name);
    return node && node->GetLookup()->GetTable() ? node : nullptr;
}

std::shared_ptr<MsiTableLookupBase> MsiTransformTab::GetTableLookup(const std::wstring& name)
{
    if (MsiTableNode* node = FindTableNode(name))
        return node->GetLookup();
    MsiTableRef transformed = transform_->FindTable(name);
    MsiTableRef base = transform_->base().FindTable(name);
    if (!transformed && !base)
        return std::shared_ptr<MsiTableLookupBase>();
    return std::make_shared<MsiDiffTableLookupBasic>(base.get(), transformed.get());
}

bool MsiTransformTab::SelectTable(const FindCriteria& location)
{
    MsiTableNode* node = FindTableNode(location.table_name);
    if (!node)
        return false;
    SelectView(MainTabCtrl::TABLES);
    SendMessageW(GetTablesTree()->GetWindow(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(node->GetItem()));
    return node->SelectRow(location);
}

void MsiTransformTab::DropTable(MsiTableNode* node)
{
    if (!node || read_only_)
        return;
    std::wstring name = node->GetLookup()->GetTableName();
    MsiTableRef table = transform_->FindTable(name);
    if (!table) {
        ShowMessageBox(GetWindowHandle(), L"This table does not exist in the editable file",
                       L"Cannot delete this table", MB_OK);
        return;
    }
    if (!table->user_table()) {
        ShowMessageBox(GetWindowHandle(), L"This table cannot be dropped", L"Cannot delete this table",
                       MB_OK);
        return;
    }
    if (MsiDiffTableLookupBasic* diff = DiffLookupOf(node))
        diff->DetachEditableTable();
    transform_->DropTable(*table);
    ReloadSchemaNodes();
    if (!transform_->base().FindTable(name)) {
        GetTablesTree()->Root()->RemoveChild(node);
        ContainerNode* selected = GetTablesTree()->GetSelectedNode();
        if (!selected)
            GetTreeContext()->SetHandler(nullptr, {}, 0, -1, 0);
    } else {
        node->Reload();
    }
    SetDirty(true);
    UpdateStatusBar();
}

void MsiTransformTab::OnShowEmptyTables()
{
    bool show = SendMessageW(GetCheckBox(), BM_GETCHECK, 0, 0) == BST_CHECKED;
    TreeView* tree = GetTablesTree();
    {
        NoRedraw quiet(tree->GetWindow());
        if (!show) {
            std::vector<ContainerNode*> empty;
            for (MsiTableNode* node : TableNodes())
                if (node->GetLookup()->RowCount() == 0)
                    empty.push_back(node);
            for (ContainerNode* node : empty)
                tree->Root()->RemoveChild(node);
        } else {
            std::vector<MsiTableRef> missing;
            for (const auto& entry : transform_->tables())
                if (!FindTableNode(entry.first))
                    missing.push_back(entry.second);
            for (const MsiTableRef& table : missing)
                AddDiffNode(table.get(), transform_->base().FindTable(table->name()).get());
        }
    }
    UpdateStatusBar();
}

void MsiTransformTab::Save()
{
    if (IsDirty() && new_transform_)
        OnProperties();
    std::wstring name;
    bool stamp = LastSavedByName(name);
    // A copy: the transform points its path elsewhere while it saves.
    transform_->Save(std::wstring(transform_->path()), stamp, name);
    SetDirty(false);
    if (GetTablesTree()->GetSelectedNode())
        InvalidateRect(GetTreeContext()->GetWindowHandle(), nullptr, FALSE);
}

void MsiTransformTab::SaveToFile(const std::wstring& target)
{
    // Compared as full paths: a relative name of the own file is a plain save, not a replacement.
    if (IsSamePath(target, transform_->path())) {
        Save();
        return;
    }
    if (IsDirty() && new_transform_)
        OnProperties();
    std::wstring generated = GetTempFiles().Create(L"Save", GlobalTempFiles().GetFolder());
    std::wstring name;
    bool stamp = LastSavedByName(name);
    transform_->Save(generated, stamp, name);
    // Read back beside the target, then one replacing move: the target is the old file or the new one.
    ReplaceUserFile(generated, target, msi::CheckWrittenTransform);
}

void MsiTransformTab::SaveAs()
{
    static const wchar_t kFilter[] = L"Transform\0*.mst\0All Files\0*.*\0";
    std::wstring chosen =
        BrowseForSaveFile(DialogOwner(), FolderOfPath(transform_path_), FilterText(kFilter),
                          OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN,
                          L"Save As", DefaultSaveExtension(transform_path_, L".mst"));
    if (chosen.empty())
        return;
    // Onto its own file (under any name of it) it is a plain save, and the tab keeps its path.
    if (IsSamePath(chosen, transform_->path())) {
        Save();
        return;
    }
    SaveToFile(chosen);
    // The transform itself now lives at the chosen path: the next Save writes there.
    transform_->Retarget(chosen);
    transform_path_ = chosen;
    SetDirty(false);
    UpdateStatusBar();
}

void MsiTransformTab::Backup()
{
    std::wstring candidate = NextFreeBackupName(transform_path_);
    SaveToFile(candidate);
    SetStatusParts({100});
    SetStatusText(L"Backed up to: " + candidate, 0);
}

void MsiTransformTab::OnProperties()
{
    WORD errors = transform_->error_conditions();
    WORD validation = transform_->validation();
    TransformPropertiesDlg dialog(validation, errors);
    if (dialog.Run(GetWindowHandle()) != 0)
        return;
    auto new_errors = static_cast<WORD>(dialog.Errors());
    auto new_validation = static_cast<WORD>(dialog.Validation());
    if (new_errors != errors || new_validation != validation)
        SetDirty(true);
    transform_->SetConditions(new_errors, new_validation);
}

void MsiTransformTab::SaveTransformedFile()
{
    const std::wstring& source = transform_->backing_path();
    static const wchar_t kFilter[] = L"Windows Installer Files\0*.msi;*.msm\0All Files\0*.*\0";
    std::wstring chosen = BrowseForSaveFile(DialogOwner(), FolderOfPath(base_path_), FilterText(kFilter),
                                            OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST,
                                            L"Save transformed file", DefaultSaveExtension(source));
    if (chosen.empty())
        return;
    std::wstring name;
    bool stamp = LastSavedByName(name);
    transform_->SaveDatabaseAs(chosen, stamp, name);
}

void MsiTransformTab::OnNewTransform()
{
    if (!SaveBeforeTransform(kBeginTransformQuestion))
        return;
    std::wstring chosen = AskNewTransform(FolderOfPath(transform_path_));
    if (!chosen.empty())
        ChainTransform(chosen, true);
}

void MsiTransformTab::OnApplyTransform()
{
    if (!SaveBeforeTransform(kBeginTransformQuestion))
        return;
    std::wstring chosen = AskExistingTransform(FolderOfPath(transform_path_));
    if (!chosen.empty())
        ChainTransform(chosen, false);
}

bool MsiTransformTab::OpenDroppedFile(const std::vector<std::wstring>& paths)
{
    if (!IsSingleTransform(paths) || !SaveBeforeTransform(kApplyTransformQuestion))
        return false;
    ChainTransform(paths[0], false);
    return true;
}

void MsiTransformTab::ChainTransform(const std::wstring& chosen, bool new_transform)
{
    MainWindow* frame = GetMainWindow();
    if (!frame)
        return;
    // The close is refused while a job runs: asked before the backing file is handed on, so this tab keeps
    // a file nobody else uses.
    if (frame->GetJobRunner().IsRunning()) {
        ShowMessageBox(GetWindowHandle(), L"You cannot close a file while a job is running.", L"",
                       MB_ICONINFORMATION);
        return;
    }
    MainWindow::TransformRequest request;
    request.base = base_path_;
    request.transform = chosen;
    request.new_transform = new_transform;
    request.earlier_transforms = earlier_transforms_;
    request.earlier_transforms.push_back(transform_path_);
    request.backing_file = transform_->SaveUsingOptions();
    // Saved: the close asks nothing more. This tab closes inside: nothing of it is touched after.
    SetDirty(false);
    frame->OpenTransformTab(request);
}

void MsiTransformTab::OnValidate()
{
    transform_->CloseViews();
    RunValidation(L"MsiTransformTab failed to validate");
}

#pragma once
// The document tab of a transform: the differences between a base database and the base with the
// transform (and any earlier ones) applied, one comparison node per table. Saves as a transform, and can
// write the transformed database as a database of its own.
#include "model/MsiTransform.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "shell/MainWindow.h"
#include "shell/MsiFileTabBase.h"

#include <memory>
#include <string>
#include <vector>

class MsiDiffTableNode;

class MsiTransformTab : public MsiFileTabBase
{
public:
    MsiTransformTab(MDITabsParent* owner, StatusBarManager* status,
                    const MainWindow::TransformRequest& request, bool read_only = false);
    // The comparison nodes and lookups watch the transform's tables: they go first.
    ~MsiTransformTab() override;

    // The frame's document factory for transforms.
    static std::shared_ptr<MDIChild> Make(MainWindow& frame, const MainWindow::TransformRequest& request);

    // The base database: the title and the close guard name it.
    std::wstring GetPath() override { return base_path_; }
    const std::wstring& TransformPath() const { return transform_path_; }
    // The tab's window, then the transform applied (asking whether to go on when that has errors).
    void Create(HWND parent, int x, int y, int width, int height) override;
    MsiFile& GetMsiFile() override { return *transform_; }
    MsiTransform& GetTransform() { return *transform_; }
    void OnCommand(HMENU menu, UINT id) override;
    bool OpenDroppedFile(const std::vector<std::wstring>& paths) override;
    void UpdateStatusBar() override;

    void Save() override;
    void SaveAs() override;
    void Backup() override;
    // The transform written to the target (its own path: a plain save); the tab stays on its own path.
    void SaveToFile(const std::wstring& target);

    void OnProperties();
    void SaveTransformedFile();
    void OnValidate();
    void OnNewTransform();
    void OnApplyTransform();

    MsiTableNode* FindTableNode(const std::wstring& name) override;
    // Only a node whose table the transformed database has.
    MsiTableNode* FindEditableTableNode(const std::wstring& name) override;
    bool SelectTable(const FindCriteria& location) override;
    void DropTable(MsiTableNode* node) override;
    void AddTableViews(MsiFile& database, bool only_database_tables) override;
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) override;
    void CreateTableLookup(MsiTable& table, bool add) override;

protected:
    HMENU LoadMenuBar() override;
    void OnShowEmptyTables() override;

private:
    // Opens the transform; apply_anyway suppresses every error condition.
    bool OpenTransform(bool apply_anyway);
    void AddDiffNode(MsiTable* transformed, MsiTable* base);
    // Saves this transform and replaces the tab by one over the same base with the chosen transform next.
    void ChainTransform(const std::wstring& chosen, bool new_transform);

    std::wstring base_path_;
    std::wstring transform_path_;
    bool new_transform_;
    std::vector<std::wstring> earlier_transforms_;
    std::wstring backing_file_;
    bool adopt_backing_ = false;
    std::shared_ptr<MsiTransform> transform_;
};

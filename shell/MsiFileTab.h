#pragma once
// The document tab of one installer database: opens it, keeps one lookup per table, shows a node for each
// table with rows (every table with "Show empty tables"), and saves, saves as and backs up.
#include "model/MsiFile.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "shell/MsiFileTabBase.h"
#include "views/tree/RowElementNode.h"

#include <map>
#include <memory>
#include <string>

class MainWindow;

class MsiFileTab : public MsiFileTabBase
{
public:
    MsiFileTab(MDITabsParent* owner, StatusBarManager* status, std::wstring path, bool read_only = false);
    // The tree nodes and lookups go before the database they show.
    ~MsiFileTab() override;

    // The frame's document factory for databases.
    static std::shared_ptr<MDIChild> Make(MainWindow& frame, const std::wstring& path);
    // Begins opening the path as Make's tab will (MainWindow::DocumentPreparer).
    static std::shared_ptr<void> PrepareOpen(const std::wstring& path);
    // While an open the preparer began goes on, lets the frame and this tab draw themselves.
    static void PaintWhilePreparing();

    std::wstring GetPath() override { return path_; }
    // The tab's window, then the database (read-only when it cannot be opened writable) and its tables.
    void Create(HWND parent, int x, int y, int width, int height) override;
    MsiFile& GetMsiFile() override { return file_; }
    // The commands of the tab's menus and keys.
    void OnCommand(HMENU menu, UINT id) override;
    void OnSummaryInfo();
    void OnCodePage();
    void OnValidate();
    void OnNewTransform();
    void OnApplyTransform();
    // One ".mst" dropped on the tab opens as a transform of this database in its place.
    bool OpenDroppedFile(const std::vector<std::wstring>& paths) override;
    MsiFile* GetTrackedDatabase() override { return &file_; }

    void Save() override;
    void SaveAs() override;
    void Backup() override;
    // Writes a complete copy in the target's place; with reopen the tab goes on editing the target.
    void SaveToFile(const std::wstring& target, bool reopen);
    // A temporary file (key "Save") holding a complete saved copy; the open database is not changed.
    std::wstring MakeSaveRequest();

    MsiTableNode* FindTableNode(const std::wstring& name) override;
    MsiTableNode* FindEditableTableNode(const std::wstring& name) override { return FindTableNode(name); }
    bool SelectTable(const FindCriteria& location) override;
    void DropTable(MsiTableNode* node) override;
    void AddTableViews(MsiFile& database, bool only_database_tables) override;
    // The table's one lookup: the node's, or one made on first request and kept for a later node; empty
    // when the database has no such table.
    std::shared_ptr<MsiTableLookupBase> GetTableLookup(const std::wstring& name) override;
    // Makes the table's node (and its lookup, unless one is kept); with add the table is first copied
    // into this database.
    void CreateTableLookup(MsiTable& table, bool add) override;

protected:
    HMENU LoadMenuBar() override;
    void OnShowEmptyTables() override;

private:
    // The tab is replaced by a transform tab over this database.
    void OpenTransform(const std::wstring& transform, bool new_transform);
    std::shared_ptr<MsiTableLookupBase> MakeLookup(MsiTable& table);
    // The "Last Saved By" rule of the options: whether to stamp, and the name.

    // Erases the kept lookup of a table when the table is dropped, by whatever command: a new table may
    // later be made at the freed address and must not find the old lookup.
    class DroppedTableWatch : public EventEngineSubscriber<MsiTable*, MsiFile::TableEventArg>
    {
    public:
        explicit DroppedTableWatch(MsiFileTab& tab) : tab_(tab) {}
        ~DroppedTableWatch() override;
        void Watch(MsiTable& table);

    private:
        bool notify(MsiTable* const& table, const MsiFile::TableEventArg& arg, Engine& engine) override;
        MsiFileTab& tab_;
    };

    std::wstring path_;
    MsiFile file_;
    // Declared after the database, so they go first even without the destructor's care.
    std::map<std::wstring, std::shared_ptr<MsiTableLookupBase>> lookups_;
    DroppedTableWatch dropped_tables_{*this};
};

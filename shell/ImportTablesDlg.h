#pragma once
// Dialog 112 "Import Tables": .idt table files are read into temporary databases and then added to the
// open database, or replace its table of the same name.
#include "foundation/FormDialog.h"

#include <memory>
#include <string>
#include <vector>

class TableViewsTab;

// One table file to import. Its temporary database goes when it does.
struct TableImportInfo
{
    enum Action
    {
        Skip = 0,
        Merge = 1, // never chosen
        Replace = 2,
        Error = 3,
        Import = 4
    };

    explicit TableImportInfo(std::wstring path);
    ~TableImportInfo();
    TableImportInfo(const TableImportInfo&) = delete;
    TableImportInfo& operator=(const TableImportInfo&) = delete;

    // Reads the file into a new temporary database and its table name; any failure leaves Error.
    void Load();

    std::wstring path;
    std::wstring database_path;
    std::wstring table;
    int action = Error;
    // Why the file cannot be imported: its path, then the reason (the line and column of a bad row, a
    // missing stream file, the library's error); empty when it went in.
    std::wstring error;
};

class ImportTablesDlg : public tfc::FormDialog
{
public:
    explicit ImportTablesDlg(TableViewsTab& document);

    // 0 when the imports were made, 1 for Cancel or when no file was chosen.
    INT_PTR DoModal(HWND owner);

    // The files not imported yet.
    const std::vector<std::shared_ptr<TableImportInfo>>& Files() const { return files_; }
    // Whether any table went in, also when the dialog then ended with Cancel after a failed file.
    bool ImportedAny() const { return imported_any_; }

private:
    BOOL OnInitDialog() override;
    bool OnCommand(int id) override;
    void OnCancel() override;
    // Asks for files and adds them; false when none was chosen.
    bool Browse();
    void RebuildList();
    LRESULT OnNotify(NMHDR* header) override;
    void OnRowSelected(int row);
    void SetAction(int action);
    void OnOk() override;
    bool HasTable(const std::wstring& name);
    void ImportOne(TableImportInfo& file);

    TableViewsTab& document_;
    std::vector<std::shared_ptr<TableImportInfo>> files_;
    bool imported_any_ = false;
};

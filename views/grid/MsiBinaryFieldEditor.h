#pragma once
// The editor of stream cells (dialog 125): a path box with "..." (browse), load (the file becomes the
// cell's stream) and save (the cell's stream is written to the file). Loading is off in a read-only
// database; saving never changes the cell.
#include "views/grid/DialogFieldEditor.h"

#include <windows.h>
#include <string>

class MsiBinaryFieldEditor : public DialogFieldEditor
{
public:
    enum Result
    {
        None = 0,
        Loaded = 1,
        Cancelled = 2
    };

    // `initial_path`: what the path box starts with (the database's folder).
    MsiBinaryFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                         const MsiFieldDef& def, std::wstring initial_path);
    ~MsiBinaryFieldEditor() override;

    // Commits the loaded stream, or nothing; the handler is not asked to validate.
    bool EndEdit(const std::wstring& text) override;

    void Browse();
    void Load();
    void Save();
    Result GetResult() const { return result_; }

protected:
    void OnInitDialog() override;
    void OnOk() override;
    void OnCancel() override;
    void OnDeactivate() override;
    bool OnCommand(WORD id, WORD code) override;
    std::wstring ToolTipFor(int control_id) override;

private:
    MsiFieldDataRef new_value_;
    Result result_ = None;
    bool read_only_;
    HFONT arrow_font_ = nullptr;
};

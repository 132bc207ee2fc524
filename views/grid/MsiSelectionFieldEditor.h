#pragma once
// The editor of string cells whose values come from related rows (dialog 126): a drop-down combo box
// of the choices, completing what is typed. A text that is not among the choices is accepted when the
// handler accepts it.
#include "views/grid/DialogFieldEditor.h"

#include <windows.h>
#include <set>
#include <string>

class MsiSelectionFieldEditor : public DialogFieldEditor
{
public:
    MsiSelectionFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                            const MsiFieldDef& def, std::set<std::wstring> choices);

    // As the string editor: required value, the handler's check of a change, one Commit.
    bool EndEdit(const std::wstring& text) override;
    // After typing: selects the choice that starts with exactly what was typed and selects its tail.
    void Complete();
    const std::set<std::wstring>& GetChoices() const { return choices_; }

protected:
    void OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;

private:
    std::set<std::wstring> choices_;
    std::wstring last_text_;
};

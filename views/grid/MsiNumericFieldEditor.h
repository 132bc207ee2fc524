#pragma once
// The editor of integer cells (dialog 127): the number in decimal or hexadecimal, a button that switches
// between them. MsiBitFlagsFieldEditor (dialog 164) has a button that opens the column's named bit flags
// as a menu instead.
#include "views/grid/DialogFieldEditor.h"

#include <windows.h>
#include <string>

class MsiNumericFieldEditor : public DialogFieldEditor
{
public:
    MsiNumericFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                          const MsiFieldDef& def);

    // Parses the text and commits a real change: a value other than the stored one, or any value in a
    // null cell; an empty text is null where the column allows it.
    bool EndEdit(const std::wstring& text) override;

    int GetRadix() const { return radix_; }
    // Re-reads a non-empty edit in the current radix and shows it in `radix`; nothing happens when the
    // text does not parse (the user was told).
    void SetRadix(int radix);
    void ToggleRadix() { SetRadix(radix_ == 16 ? 10 : 16); }

protected:
    MsiNumericFieldEditor(const wchar_t* name, int resource, MsiFieldEditorHandler& handler, MsiTable& table,
                          RowIterator row, const MsiFieldDef& def);

    void OnInitDialog() override;
    bool OnCommand(WORD id, WORD code) override;
    std::wstring ToolTipFor(int control_id) override;
    virtual void UpdateButtonText();
    // The edit's value; an empty edit gives `empty_value`. False (the user told) when it does not parse.
    bool ReadEdit(int empty_value, int& value);

    int radix_ = 10;
    bool had_value_ = false;
    int old_value_ = 0;
};

class MsiBitFlagsFieldEditor : public MsiNumericFieldEditor
{
public:
    MsiBitFlagsFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                           const MsiFieldDef& def);

    // "Dec", "Hex", a separator and one entry per named value, checked as `value` has it.
    HMENU BuildFlagsMenu(int value) const;
    // What the chosen command does to the edit: a radix, or a named value set or cleared.
    void ApplyMenuCommand(UINT command);
    // Opens the menu at the flags button and applies the choice.
    void ShowFlagsMenu();

protected:
    bool OnCommand(WORD id, WORD code) override;
    std::wstring ToolTipFor(int control_id) override;
    void UpdateButtonText() override {}
};

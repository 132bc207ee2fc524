#pragma once
// What every field editor knows of its cell: the handler that validates and commits, the table, the row
// and the column. The handler hears ValidateFieldValue only for a real change and CommitFieldValue
// exactly once per edit.
#include "model/MsiFieldData.h"
#include "model/MsiFieldDef.h"
#include "model/MsiTable.h"
#include "model/lookups/MsiFieldEditorHandler.h"

#include <windows.h>
#include <string>

class MsiFieldEditor
{
public:
    MsiFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row, const MsiFieldDef& def);
    virtual ~MsiFieldEditor();
    MsiFieldEditor(const MsiFieldEditor&) = delete;
    MsiFieldEditor& operator=(const MsiFieldEditor&) = delete;

    const MsiFieldDef& GetFieldDef() const { return *def_; }
    bool HasCommitted() const { return committed_; }

protected:
    const MsiFieldDataRef& Field() const;
    // The value as the string editors start: empty for null, else the column's display text.
    std::wstring FieldEditText() const;
    bool DatabaseReadOnly() const;

    // The handler's verdict on a new value; empty when it is accepted.
    std::wstring Validate(const MsiFieldDataRef& value);
    // Tells the handler once; a second call is ignored.
    void Commit(const MsiFieldDataRef& value, bool changed);

    // The ending of the text editors: a required column refuses an empty text, the handler validates a
    // changed one, a refusal is shown ("Invalid Data") and the edit ends unchanged. Returns the value to
    // commit and whether it changed.
    bool CheckText(HWND owner, const std::wstring& text, const std::wstring& initial, bool cancelled,
                   MsiFieldDataRef& value);

    // Shows a message box through the prompt seam. The dialog editors override it to keep themselves open
    // while the box has the activation.
    virtual int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags);

    MsiFieldEditorHandler* handler_;
    MsiTableRef table_;
    RowIterator row_;
    tfc::RefersTo<const MsiFieldDef> def_;

private:
    bool committed_ = false;
};

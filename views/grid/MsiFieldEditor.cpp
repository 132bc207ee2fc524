#include "views/grid/MsiFieldEditor.h"

#include "foundation/Prompt.h"
#include "model/MsiFile.h"

MsiFieldEditor::MsiFieldEditor(MsiFieldEditorHandler& handler, MsiTable& table, RowIterator row,
                               const MsiFieldDef& def)
    : handler_(&handler), table_(&table), row_(row), def_(&def)
{
}

MsiFieldEditor::~MsiFieldEditor() = default;

const MsiFieldDataRef& MsiFieldEditor::Field() const
{
    return (*row_)[def_->column_index()];
}

std::wstring MsiFieldEditor::FieldEditText() const
{
    const MsiFieldDataRef& field = Field();
    return !field || field->is_null() ? std::wstring() : def_->display_str(*field);
}

bool MsiFieldEditor::DatabaseReadOnly() const
{
    return table_->owner() && table_->owner()->read_only();
}

std::wstring MsiFieldEditor::Validate(const MsiFieldDataRef& value)
{
    return handler_->ValidateFieldValue(*def_, row_, value);
}

void MsiFieldEditor::Commit(const MsiFieldDataRef& value, bool changed)
{
    if (committed_)
        return;
    committed_ = true;
    handler_->CommitFieldValue(*def_, row_, value ? value : Field(), changed);
}

bool MsiFieldEditor::CheckText(HWND owner, const std::wstring& text, const std::wstring& initial,
                               bool cancelled, MsiFieldDataRef& value)
{
    bool changed = !cancelled && text != initial;
    std::wstring error;
    // A cancelled edit changes nothing, so it has nothing to complain about either.
    if (!cancelled && text.empty() && !def_->nullable())
        error = L"The field must contain a value";
    value = MsiFieldDataRef(new MsiFieldData());
    def_->set_field_data(*value, text);
    if (error.empty() && changed)
        error = Validate(value);
    if (!error.empty()) {
        Prompt(owner, error, L"Invalid Data", MB_OK);
        changed = false;
    }
    return changed;
}

int MsiFieldEditor::Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags)
{
    return ShowMessageBox(owner, text, caption, flags);
}

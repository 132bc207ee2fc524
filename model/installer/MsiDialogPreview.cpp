#include "model/installer/MsiDialogPreview.h"
#include "model/installer/MsiApi.h"

namespace msi {
namespace {

const int kModal = 2; // msidbDialogAttributesModal

MsiHandle name_record(const std::wstring& dialog)
{
    MsiHandle name = CreateRecord(1);
    RecordSetString(name.get(), 1, dialog);
    return name;
}

// The dialog's Attributes, or 0 when the row or the table is not there (the preview call says so).
int dialog_attributes(MSIHANDLE database, const std::wstring& dialog)
{
    MsiHandle view;
    try {
        view = DatabaseOpenView(database, L"SELECT `Attributes` FROM `Dialog` WHERE `Dialog` = ?");
    } catch (const std::exception&) {
        return 0;
    }
    ViewExecute(view.get(), name_record(dialog).get());
    MsiHandle record = ViewFetch(view.get());
    if (!record || RecordIsNull(record.get(), 1))
        return 0;
    return RecordGetInteger(record.get(), 1);
}

// False when the database refuses the change (a read-only one may).
bool set_attributes(MSIHANDLE database, const std::wstring& dialog, int attributes)
{
    MsiHandle values = CreateRecord(2);
    RecordSetInteger(values.get(), 1, attributes);
    RecordSetString(values.get(), 2, dialog);
    try {
        MsiHandle view =
            DatabaseOpenView(database, L"UPDATE `Dialog` SET `Attributes` = ? WHERE `Dialog` = ?");
        ViewExecute(view.get(), values.get());
    } catch (const std::exception&) {
        return false;
    }
    return dialog_attributes(database, dialog) == attributes;
}

// Clears the Modal bit of one Dialog row for its lifetime.
class ModelessForNow
{
public:
    ModelessForNow(MSIHANDLE database, const std::wstring& dialog) : database_(database), dialog_(dialog)
    {
        original_ = dialog_attributes(database, dialog);
        if (original_ & kModal)
            changed_ = set_attributes(database, dialog, original_ & ~kModal);
    }
    ~ModelessForNow()
    {
        try {
            if (changed_)
                set_attributes(database_, dialog_, original_);
        } catch (...) {
        }
    }
    ModelessForNow(const ModelessForNow&) = delete;
    ModelessForNow& operator=(const ModelessForNow&) = delete;

private:
    MSIHANDLE database_;
    std::wstring dialog_;
    int original_ = 0;
    bool changed_ = false;
};

} // namespace

DialogPreview::DialogPreview(MSIHANDLE database) : database_(database), preview_(EnableUIPreview(database)) {}

DialogPreview::~DialogPreview()
{
    if (shown_)
        MsiPreviewDialogW(preview_.get(), nullptr);
}

void DialogPreview::Show(const std::wstring& dialog)
{
    ModelessForNow modeless(database_, dialog);
    shown_ = false; // the library takes down what it showed before, also when this fails
    PreviewDialog(preview_.get(), dialog);
    shown_ = true;
}

void DialogPreview::Remove()
{
    shown_ = false;
    PreviewDialog(preview_.get(), std::wstring());
}

} // namespace msi

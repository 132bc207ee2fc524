#pragma once
// "Transform Properties": the error conditions a transform suppresses and the checks it makes of the
// database it is applied to.
#include "foundation/Dialog.h"

#include <vector>

class TransformPropertiesDlg : public tfc::Dialog
{
public:
    TransformPropertiesDlg(unsigned validation, unsigned errors)
        : Dialog(L"TransformPropertiesDlg"), validation_(validation), errors_(errors)
    {
    }

    // 0 after OK with the new flags, 1 after Cancel with the flags unchanged.
    INT_PTR Run(HWND owner);
    unsigned Validation() const { return validation_; }
    unsigned Errors() const { return errors_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnInit(HWND dialog);
    void EnableVersionChoices(HWND dialog);
    void Store(HWND dialog);
    // Every control's state, to tell whether OK changed anything.
    std::vector<LRESULT> ControlStates(HWND dialog) const;

    unsigned validation_;
    unsigned errors_;
    std::vector<LRESULT> opened_;
};

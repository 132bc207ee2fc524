#pragma once
// "New File": the kinds of file that have registered templates, the templates of the chosen kind, and
// where to put the new file. The caller copies the template there after OK.
#include "foundation/Dialog.h"
#include "model/MsiQuery.h"

#include <string>
#include <vector>

class NewFileDlg : public tfc::Dialog
{
public:
    NewFileDlg() : Dialog(L"NewFileDlg") {}

    // Modal; 1 (OK) with both paths set, or 2 (Cancel).
    INT_PTR Run(HWND owner);
    const std::wstring& GetNewPath() const { return new_path_; }
    const std::wstring& GetTemplatePath() const { return template_path_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    INT_PTR OnInitDialog(HWND dialog);
    void FillSchemas(HWND dialog);
    void OnOK(HWND dialog);
    // The selected kind's index into the vectors below, or -1 when none is selected.
    int SelectedKind(HWND dialog) const;

    std::wstring new_path_;
    std::wstring template_path_;
    // Per listed kind, in list order.
    std::vector<std::vector<QualifiedComponent>> templates_;
    std::vector<std::wstring> extensions_;
    std::vector<std::wstring> filters_;
};

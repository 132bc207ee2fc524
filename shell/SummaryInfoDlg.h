#pragma once
// "Summary Information": shows and edits the summary information of a database.
#include "foundation/Dialog.h"
#include "foundation/ToolTip.h"
#include "model/SummaryInfo.h"

#include <map>
#include <string>

class SummaryInfoDlg : public tfc::Dialog, private ToolTip::Sink
{
public:
    SummaryInfoDlg(SummaryInfoMap& summary, bool read_only);

    // 1 when OK set at least one property, 2 when it set none or after Cancel.
    INT_PTR Run(HWND owner);

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void OnInit(HWND dialog);
    void OnSchemaChanged(HWND dialog, bool chosen);
    void FillPlatforms(HWND dialog, int schema);
    bool CheckNumbers(HWND dialog);
    // Every changed text that the summary's strings cannot hold is refused with a message; false then.
    bool CheckTexts(HWND dialog);
    // Writes what the user changed; the number of properties set.
    int Store(HWND dialog);
    void GetToolTipText(NMTTDISPINFOW* info) override;

    // A control's state as the user sees it: its text, or for the lists their selection.
    std::wstring ControlState(HWND dialog, int control) const;
    bool Changed(HWND dialog, int control) const;

    SummaryInfoMap& summary_;
    bool read_only_;
    std::map<int, std::wstring> shown_;
    ToolTip tip_;
};

// True when OK changed at least one property; the caller then marks the document dirty.
bool ShowSummaryInfoDialog(SummaryInfoMap& summary, bool read_only, HWND owner);

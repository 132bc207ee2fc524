#pragma once
// The editors that are small modal dialogs laid over the cell (numbers, bit flags, streams, GUIDs, value
// lists). The dialog runs inside BeginEdit; it ends on OK (Enter), on Cancel (Escape) and when it loses
// the activation, except while one of its own message boxes or file dialogs has it.
#include "foundation/Dialog.h"
#include "foundation/ToolTip.h"
#include "views/grid/InPlaceEditor.h"
#include "views/grid/MsiFieldEditor.h"

#include <windows.h>
#include <string>

class DialogFieldEditor : public tfc::Dialog,
                          public InPlaceEditor,
                          public MsiFieldEditor,
                          private ToolTip::Sink
{
public:
    DialogFieldEditor(const wchar_t* name, int resource, MsiFieldEditorHandler& handler, MsiTable& table,
                      RowIterator row, const MsiFieldDef& def);
    ~DialogFieldEditor() override;

    // Runs the dialog over the cell; returns when the edit is over, with the cell repainted.
    void BeginEdit(HWND list, const RECT& cell) override;
    bool IsCancelled() const override { return cancelled_; }
    HWND GetDialogWindow() const { return dialog_; }

    INT_PTR dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) override;

protected:
    // Lays the dialog over the cell and fills it.
    virtual void OnInitDialog() = 0;
    // Enter: ends with the value control's text.
    virtual void OnOk();
    // Escape: ends cancelled with the initial text.
    virtual void OnCancel();
    // The dialog lost the activation to something other than its own prompts: as OK.
    virtual void OnDeactivate();
    // Other commands; true when handled.
    virtual bool OnCommand(WORD id, WORD code);
    // The tip of a control, empty for none.
    virtual std::wstring ToolTipFor(int control_id);

    // Ends the dialog and marks the edit as ending; EndEdit implementations call it first.
    void EndDialogOnce();
    // The text of the value control (1006).
    std::wstring ValueText() const;
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    // Places the dialog at (cell left + 2, cell top - 2), reaching to the list's client right edge, `height`
    // pixels high.
    void PlaceOverCell(int height);
    int CellHeight() const { return cell_.bottom - cell_.top; }
    int DialogWidth() const;
    int DialogHeight() const;
    // OK and Cancel stay in the dialog for Enter and Escape, out of sight.
    void HideButton(int id);
    void AddToolTips(std::initializer_list<int> controls);
    void RepaintCell();
    // A prompt while the dialog is open keeps it open.
    int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT flags) override;

    // Set while a prompt or a file dialog of this editor runs: losing the activation then ends nothing.
    class Busy
    {
    public:
        explicit Busy(DialogFieldEditor& editor) : editor_(editor), was_(editor.busy_)
        {
            editor.busy_ = true;
        }
        ~Busy() { editor_.busy_ = was_; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        DialogFieldEditor& editor_;
        bool was_;
    };

    int resource_;
    HWND dialog_ = nullptr;
    HWND list_ = nullptr;
    RECT cell_ = {};
    std::wstring initial_text_;
    bool cancelled_ = false;
    bool ending_ = false;
    bool busy_ = false;

private:
    void GetToolTipText(NMTTDISPINFOW* info) override;

    ToolTip tooltip_;
};

#pragma once
// A tooltip whose texts are asked from a supplier at the moment a tip is shown.
//
//     class Pane : private ToolTip::Sink { ... };    // GetToolTipText fills the tip
//     tip_.Create(this);                              // once, on first need
//     tip_.AddTool(button);                           // the whole button, text from the supplier
//
// The tools belong to a hidden host window that receives the control's TTN_GETDISPINFOW notifications and
// hands them to the supplier.
#include "foundation/Window.h"

#include <windows.h>
#include <commctrl.h>
#include <string>

class ToolTip : public tfc::Window
{
public:
    // A supplier of tip texts.
    class Sink
    {
    public:
        virtual ~Sink() = default;
        // Sets the record's text; the default hands over tooltip_text_ (it must stay put while shown).
        virtual void GetToolTipText(NMTTDISPINFOW* info);

    protected:
        std::wstring tooltip_text_;
    };

    ToolTip();
    // Destroys the control, then the host.
    ~ToolTip() override;

    // Makes the host and the tooltip control; `supplier` may be null. A second call only changes the
    // supplier.
    void Create(Sink* supplier);
    bool IsCreated() const { return control_ != nullptr; }
    void SetSupplier(Sink* supplier) { supplier_ = supplier; }

    // A tool covering all of `tool`, text from the supplier (TTF_IDISHWND | TTF_SUBCLASS).
    void AddTool(HWND tool);
    // The same, but the tool's own window procedure hands its mouse messages to RelayEvent. A window the
    // control subclasses pays for the subclass chain's property look-ups on every message it gets, which
    // under Wine go to the server: a list that sends itself a message for each cell it paints wants none.
    void AddRelayedTool(HWND tool);
    // Hands a relayed tool's mouse message to the control; other messages are ignored.
    void RelayEvent(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    // A rectangle of `tool` (its client coordinates) with a fixed text, under `id`.
    void AddTool(HWND tool, UINT_PTR id, const RECT& rect, const std::wstring& text);

    HWND control() const { return control_; }
    HWND host() const { return host_; }

    LRESULT window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) override;

private:
    void ShowTabsAsSpaces(NMTTDISPINFOW* info);

    HWND host_ = nullptr;
    // The text shown when the supplier's had to be changed for display; kept while the tip shows.
    std::wstring shown_text_;
    HWND control_ = nullptr;
    Sink* supplier_ = nullptr;
};

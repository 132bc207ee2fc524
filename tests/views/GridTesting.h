#pragma once
// Helpers for the list and editor tests: a visible host window that passes the list's notifications on as
// a document tab does, message pumping, a driver that works a modal editor from a timer, synthesized keys,
// and a package copied into a scratch folder and opened.
#include "model/MsiFile.h"
#include "model/lookups/EditHandler.h"
#include "model/lookups/MsiTableLookupBase.h"
#include "views/grid/ObjectBase.h"
#include "views/grid/ObjectWindow.h"

#include "support/TestSupport.h"
#include "support/WindowTesting.h"

#include <windows.h>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace grid_testing {

using window_testing::ModalDriver;
using window_testing::PumpPending;
using window_testing::PumpUntil;

// Dispatches messages for a while, so that the activation and focus changes the X server reports late have
// arrived before the next step (a new editor would otherwise lose the activation to them).
void Settle(DWORD milliseconds = 300);

// An ObjectWindow filling a top-level window 600 x 400 at the screen's corner, shown and active; the
// window passes the list's notifications to it.
class ListHost
{
public:
    ListHost();
    ~ListHost();
    ListHost(const ListHost&) = delete;
    ListHost& operator=(const ListHost&) = delete;

    HWND window() const { return window_; }
    ObjectWindow& list() { return *list_; }
    HWND list_window() const { return list_->GetWindowHandle(); }
    // Makes the host the foreground window and gives the list the focus.
    void Activate();

    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

private:
    HWND window_ = nullptr;
    std::unique_ptr<ObjectWindow> list_;
};

// Input is posted to this thread's windows rather than sent through the shared input queue: other test
// programs run beside this one on the same display and may take the foreground and the mouse.
//
// A key pressed and released in the key target (below), with Control and Shift as asked (GetKeyState
// sees them). `pump`: dispatch it at once (false inside a modal loop, whose own dispatch must see it; the
// modifiers then stay until the next key).
void PressKey(WORD key, bool control = false, bool shift = false, bool pump = true);
// Where keys and characters go: the test's own idea of the focused window, since another program may
// hold the foreground. Unset or null: the list of the newest ListHost.
extern std::function<HWND()> DefaultKeyTarget;
// A left click (or a double click) at a point of a window's client area.
void ClickAt(HWND window, POINT client_point, bool twice = false);
// Types the text into the key target, as characters.
void TypeText(const std::wstring& text, bool pump = true);
// The visible dialog box of this thread with that caption (empty: any), or null.
using window_testing::FindThreadDialog;
// Clicks a dialog's button as the button reports it.
inline void ClickButton(HWND dialog, int id)
{
    window_testing::ClickDialogButton(dialog, id);
}

// Other test programs on the same display may take the activation and the focus at any time, which would
// end an open editor as a user's click elsewhere does. This keeps such changes from reaching the window:
// a lost activation, and a lost focus to no window of this thread. Deliberate ones pass while
// `PassDeactivation` is set.
void ShieldFromOtherPrograms(HWND window);
extern bool PassDeactivation;
// While alive, shields every dialog box this thread creates from its very first message (an editor's
// dialog may lose the activation to another program as soon as it is made).
class ShieldNewDialogs
{
public:
    ShieldNewDialogs();
    ~ShieldNewDialogs();
    ShieldNewDialogs(const ShieldNewDialogs&) = delete;
    ShieldNewDialogs& operator=(const ShieldNewDialogs&) = delete;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam);
    HHOOK hook_;
};

using window_testing::EnsureGdiplus;
using window_testing::SaveScreenshot;

// A small table node for the tests: shows a lookup in the list, answers texts and colours from it, sorts it,
// makes its editors and counts the refreshes the lookup asks for. With `editor_handler` set, editors are
// made by the factory directly with that handler (which may record and pass on to the lookup).
class LookupHandler : public ObjectBase, public EditHandler
{
public:
    explicit LookupHandler(std::shared_ptr<MsiTableLookupBase> lookup);
    void Show(ObjectWindow& list);
    int SortColumn() const;

    LRESULT GetDispInfo(ObjectWindow& list, NMLVDISPINFOW* info) override;
    LRESULT OnCustomDraw(ObjectWindow& list, NMLVCUSTOMDRAW* draw) override;
    void Sort(int old_column, int new_column, bool ascending) override;
    InPlaceEditorPtr CreateEditor(ObjectWindow& list, int item, int column) override;
    void Refresh(bool row_count_changed) override;

    std::shared_ptr<MsiTableLookupBase> lookup;
    MsiFieldEditorHandler* editor_handler = nullptr;
    // When set, the editors come from here instead.
    std::function<InPlaceEditorPtr(int item, int column)> make_editor;
    // Validation flags to draw a row with, by position (the results pane's part in the program).
    std::map<int, unsigned> row_flags;
    int refreshes = 0;

private:
    ObjectWindow* list_ = nullptr;
};

// Passes everything on to the lookup and records what the editor asked.
class RecordingHandler : public MsiFieldEditorHandler
{
public:
    explicit RecordingHandler(MsiFieldEditorHandler& target) : target_(target) {}
    std::wstring ValidateFieldValue(const MsiFieldDef& def, RowIterator row,
                                    const MsiFieldDataRef& value) override;
    void CommitFieldValue(const MsiFieldDef& def, RowIterator row, const MsiFieldDataRef& value,
                          bool changed) override;

    int validations = 0;
    int commits = 0;
    bool last_changed = false;
    MsiFieldDataRef last_value;

private:
    MsiFieldEditorHandler& target_;
};

// A copy of a shared test package opened through the model; empty path when the package is absent.
class OpenPackage
{
public:
    // `prepare` may change the copy through the installer library before the model opens it.
    explicit OpenPackage(const std::wstring& name, bool read_only = false,
                         const std::function<void(MSIHANDLE database)>& prepare = nullptr);
    bool ok() const { return file_ != nullptr; }
    MsiFile& file() { return *file_; }
    MsiTable& table(const std::wstring& name);
    const std::wstring& path() const { return path_; }
    const testing_support::ScratchFolder& folder() const { return folder_; }
    // Saves in place and opens the file again, as a user would see it after a restart.
    void SaveAndReopen();

private:
    testing_support::ScratchFolder folder_;
    std::wstring path_;
    bool read_only_;
    std::unique_ptr<MsiFile> file_;
};

// Runs SQL statements on a database handle; a failure fails the test.
void RunSql(MSIHANDLE database, const std::wstring& sql);

// The first row whose key text (MsiTable::RowKeyText) is `key`; rows().end() when none.
RowIterator FindRowByKey(MsiTable& table, const std::wstring& key);

} // namespace grid_testing

#pragma once
// Helpers for the list and editor tests: a visible host window that passes the list's notifications on as
// a document tab does, message pumping, a driver that works a modal editor from a timer, synthesized keys,
// and a package copied into a scratch folder and opened.
#include "model/MsiFile.h"
#include "views/grid/ObjectWindow.h"

#include "support/TestSupport.h"

#include <windows.h>
#include <functional>
#include <memory>
#include <string>

namespace grid_testing {

void PumpPending();
// Dispatches messages until `done` or the timeout; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);

// A top-level window 600 x 400 at the screen's corner, shown and active, with an ObjectWindow filling it.
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

private:
    static LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    HWND window_ = nullptr;
    std::unique_ptr<ObjectWindow> list_;
};

// While alive, calls `step` every few milliseconds (also inside modal loops) until it answers true.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<bool()> step);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    bool finished() const;

private:
    UINT_PTR timer_;
};

// A key pressed and released through the input queue, with Control and Shift held as asked. The message
// goes to the window with the focus, and GetKeyState sees the modifiers.
void PressKey(WORD key, bool control = false, bool shift = false);
// A left click at a point of a window's client area, through the input queue.
void ClickAt(HWND window, POINT client_point, bool twice = false);
// Types the text into the window with the focus, as characters.
void TypeText(const std::wstring& text);

// A copy of a shared test package opened through the model; empty path when the package is absent.
class OpenPackage
{
public:
    explicit OpenPackage(const std::wstring& name, bool read_only = false);
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

// The first row whose key text (MsiTable::RowKeyText) is `key`; rows().end() when none.
RowIterator FindRowByKey(MsiTable& table, const std::wstring& key);

} // namespace grid_testing

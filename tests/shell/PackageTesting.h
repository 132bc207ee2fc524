#pragma once
// Helpers of the database tab tests: small packages built through the installer library, a frame whose
// documents are real database tabs, reading a cell back from a saved file, and screenshots.
#include "shell/MainWindow.h"
#include "shell/MsiFileTab.h"

#include <memory>
#include <string>

namespace shell_testing {

// A package with `file_rows` File rows and `registry_rows` Registry rows (tables left out when 0), an
// empty Feature table, and a Binary table with one stream row when asked.
void BuildPackage(const std::wstring& path, int file_rows, int registry_rows, bool binary = false);
// The first column of the first row the query gives (on a copy of the file), as text; "<none>" without a
// row.
std::wstring QueryText(const std::wstring& path, const std::wstring& sql);
// The "Last Saved By" summary property of the file (read from a copy).
std::wstring LastSavedBy(const std::wstring& path);

// A frame that opens databases as the program does; files of the command line are opened at creation,
// a lone database begun while the frame is made.
class DatabaseFrame
{
public:
    explicit DatabaseFrame(const std::wstring& command_line = L"Dravnetta.exe");
    ~DatabaseFrame();
    MainWindow& frame() { return *frame_; }
    MainWindow* operator->() { return frame_.get(); }
    // The current document as a database tab, or null.
    MsiFileTab* current();

private:
    std::unique_ptr<MainWindow> frame_;
};

// The window as it is on the screen, as a PNG file in the build folder.
void SaveScreenshot(HWND window, const std::wstring& name);

} // namespace shell_testing

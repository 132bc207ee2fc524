// Start-up: COM, the common controls and GDI+, then the frame until it closes.
#include "shell/MainWindow.h"
#include "foundation/Options.h"
#include "shell/MsiFileTab.h"
#include "shell/MsiTransformTab.h"
#include "views/grid/CreateFieldEditor.h"

#include "foundation/ErrorDialog.h"
#include "foundation/Convert.h"
#include "foundation/MessageTrail.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <objidl.h>
#include <gdiplus.h>

namespace {

// what() of a bad_alloc or a NullError may itself be empty or fail to convert.
std::wstring safe_text(const std::exception& error) noexcept
{
    try {
        return tfc::NarrowToWide(error.what());
    } catch (...) {
        return L"Unexpected error";
    }
}

} // namespace

int RunDravnetta(HINSTANCE, int)
{
    gOptions.Load();
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr);
    int result = 1;
    {
        std::unique_ptr<MainWindow> frame;
        try {
            // Cells are edited through the views' editors; the model only knows the factory.
            InstallFieldEditorFactory();
            frame = std::make_unique<MainWindow>();
            frame->SetDocumentFactory(&MsiFileTab::Make);
            frame->SetTransformFactory(&MsiTransformTab::Make);
            frame->SetDocumentPreparer(&MsiFileTab::PrepareOpen);
            result = frame->Run();
        } catch (const tfc::ManageableError& error) {
            ShowManageableError(nullptr, error);
        } catch (const tfc::Win32Error& error) {
            ShowErrorDialog(nullptr, error.description());
        } catch (const std::exception& error) {
            ShowErrorDialog(nullptr, safe_text(error));
        } catch (...) {
            ShowErrorDialog(nullptr, L"Unexpected error");
        }
        // GDI+ goes after the last window, before the frame object.
        Gdiplus::GdiplusShutdown(gdiplus);
    }
    CoUninitialize();
    return result;
}

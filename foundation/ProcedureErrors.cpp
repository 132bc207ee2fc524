#include "foundation/ProcedureErrors.h"
#include "foundation/Convert.h"
#include "foundation/ErrorDialog.h"
#include "foundation/Errors.h"
#include "foundation/Format.h"

#include <exception>

namespace tamblewick_foundation_classes_v1_0 {
namespace {

// Shows the exception being handled. `add_line` writes the context line to the trail; it is not written
// for the message box of a ManageableError.
template <typename AddLine> void show_current(HWND owner, ErrorHandling handling, AddLine add_line) noexcept
{
    if (handling == ErrorHandling::Quiet)
        return;
    try {
        try {
            throw;
        } catch (const ManageableError& error) {
            if (handling == ErrorHandling::NoManageable) {
                add_line();
                ShowErrorDialog(owner, L"Unexpected error");
            } else {
                ShowManageableError(owner, error);
            }
        } catch (const Win32Error& error) {
            add_line();
            ShowErrorDialog(owner, error.description());
        } catch (const std::exception& error) {
            add_line();
            ShowErrorDialog(owner, NarrowToWide(error.what()));
        } catch (...) {
            add_line();
            ShowErrorDialog(owner, L"Unexpected error");
        }
    } catch (...) {
        // Showing the error failed too (out of memory, no dialog): nothing more can be said.
    }
}

} // namespace

void report_procedure_error(HWND window, const wchar_t* name, ErrorHandling handling, UINT message,
                            WPARAM wparam, LPARAM lparam) noexcept
{
    show_current(window, handling, [&] {
        Format(L"%s failed to process message %i with params %i, %i")
            << (name ? name : L"Window") << static_cast<unsigned int>(message)
            << static_cast<unsigned int>(wparam) << static_cast<long>(lparam);
    });
}

} // namespace tamblewick_foundation_classes_v1_0

void ShowCurrentError(HWND owner, const std::wstring& trail_line) noexcept
{
    tfc::show_current(owner, tfc::ErrorHandling::Full, [&] { tfc::Format(L"%s") << trail_line; });
}

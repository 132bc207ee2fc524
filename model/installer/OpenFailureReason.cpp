#include "model/installer/OpenFailureReason.h"
#include "model/installer/CompoundFileCheck.h"
#include "foundation/Errors.h"

#include <windows.h>
#include <exception>

namespace msi {
namespace {

const wchar_t* reason_of_code(DWORD code)
{
    switch (code) {
    case ERROR_INSTALL_TRANSFORM_FAILURE:
    case ERROR_INSTALL_TRANSFORM_REJECTED:
        return L"The transform does not fit its base.";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return L"The file is in use by another program.";
    case ERROR_INSTALL_PACKAGE_INVALID:
    case ERROR_INSTALL_PACKAGE_OPEN_FAILED:
    case ERROR_FILE_CORRUPT:
    case ERROR_BAD_FORMAT:
    case ERROR_FILE_INVALID:
        return L"The file is damaged or is not an installer database.";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return L"The file does not exist.";
    case ERROR_ACCESS_DENIED:
        return L"Access to the file is denied.";
    default:
        return L"";
    }
}

} // namespace

std::wstring OpenFailureReason(std::exception_ptr failure)
{
    if (!failure)
        return std::wstring();
    try {
        std::rethrow_exception(failure);
    } catch (const std::nested_exception& nested) {
        // An answer to what went wrong first (the library's) says more than the answer to it.
        std::wstring first = OpenFailureReason(nested.nested_ptr());
        if (!first.empty())
            return first;
        try {
            throw;
        } catch (const tfc::ManageableError& error) {
            return error.message;
        } catch (...) {
        }
    } catch (const DatabaseFileError& error) {
        return error.reason();
    } catch (const tfc::Win32Error& error) {
        return reason_of_code(error.code());
    } catch (const tfc::ManageableError& error) {
        return error.message;
    } catch (...) {
    }
    return std::wstring();
}

} // namespace msi

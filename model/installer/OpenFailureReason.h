#pragma once
// Why an open or an apply failed, as far as the layer knows: the line a refused open shows beneath
// "Failed to open file: <path>". Kept general: a file check, a library answer, or any expected failure
// (ManageableError, such as a bad table file's line and column) gives its own text.
#include <exception>
#include <string>

namespace msi {

// The reason for the failure, one or more sentences; empty when nothing more than the failure is known.
std::wstring OpenFailureReason(std::exception_ptr failure);

} // namespace msi

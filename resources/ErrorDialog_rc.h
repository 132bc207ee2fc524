#pragma once
// The error dialog's template and controls; these numbers are fixed, others rely on them.
#define IDD_ERROR_DIALOG 9
#define IDC_ERROR_TEXT 1003
#define IDC_ERROR_ABORT 1004
#define IDC_ERROR_CONTINUE 1005

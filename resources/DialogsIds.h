#pragma once
// The row dialogs' templates and controls. These numbers are fixed; the dialogs rely on them.
#define IDD_FIND 120
#define IDD_NEW_ROW 122
#define IDD_CASCADED_DELETION 136
#define IDD_UPDATE_REFERENCING_ROWS 137

// Shared by the row dialogs.
#define IDC_ROWS_OK 1034
#define IDC_ROWS_GROUP 1054
#define IDC_ROWS_PLACEHOLDER 1055

// New Row.
#define IDC_NEW_ROW_LIST 1010

// Update Referencing Rows.
#define IDC_SELECT_ALL 4
#define IDC_TOGGLE 1056

// Cascaded Deletion.
#define IDC_ROOTS_ONLY 3

// Find.
#define IDC_FIND_MATCH_CASE 1018
#define IDC_FIND_TEXT 1028
#define IDC_FIND_NEXT 1029
#define IDC_FIND_UP 1030
#define IDC_FIND_REGEX 1031
#define IDC_FIND_ACTIVE_ONLY 1032
#define IDC_FIND_ALL_FILES 1033
#define IDC_FIND_TABLE 1036
#define IDC_FIND_COLUMN 1037
#define IDC_FIND_WHOLE_WORD 1071

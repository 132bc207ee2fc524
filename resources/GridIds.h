#pragma once
// The in-place editors' dialog templates and controls. These numbers are fixed; the editors rely on them.
#define IDD_GUID_EDITOR 105
#define IDD_BINARY_EDITOR 125
#define IDD_SELECTION_EDITOR 126
#define IDD_NUMERIC_EDITOR 127
#define IDD_MULTILINE_EDITOR 161
#define IDD_BITFLAGS_EDITOR 164

#define IDC_EDITOR_LOAD 3
#define IDC_EDITOR_VALUE 1006
#define IDC_EDITOR_BROWSE 1007
#define IDC_EDITOR_NEW_GUID 1040
#define IDC_EDITOR_RADIX 1041
#define IDC_EDITOR_FLAGS 1041
#define IDC_MULTILINE_TEXT 1051
#define IDC_EDITOR_SAVE 40005

// The text of the multi-line editor's note.
#define IDC_MULTILINE_NOTE 3000

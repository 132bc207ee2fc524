#pragma once
// The New File dialog and the pages of the options sheet. These numbers are fixed.
#define IDD_NEW_FILE 123
#define IDD_SAVE_OPTIONS 160
#define IDD_LOAD_OPTIONS 162
#define IDD_VIEW_OPTIONS 163

// New File.
#define IDC_NEW_FILE_TYPE 1010
#define IDC_NEW_FILE_SCHEMA 1022

// Save Options.
#define IDC_SAVE_CUSTOM_NAME 1028
#define IDC_SAVE_BY_CUSTOM_NAME 1064
#define IDC_SAVE_BY_USERNAME 1065
#define IDC_SAVE_UNCHANGED 1066

// Load Options.
#define IDC_LOAD_TRACKING 1018
#define IDC_LOAD_THRESHOLD 1066

// View Options.
#define IDC_VIEW_HEX 1033
#define IDC_VIEW_DEFAULT 1036
#define IDC_VIEW_FIELD_TIPS 1067
#define IDC_VIEW_MENU_NUMBERS 1068
#define IDC_VIEW_DECIMAL 1070

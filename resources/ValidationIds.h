#pragma once
// The validation profile dialog and the dialog that picks the documents and the profile of a run.
#define IDD_VALIDATION_PROFILE 114
#define IDD_VALIDATION_FILES 119

#define IDC_FILES_SELECT_ALL 4
#define IDC_FILES_INVERT 7
#define IDC_FILES_PROFILE 1022
#define IDC_FILES_EDIT 1023
#define IDC_FILES_NEW 1024
#define IDC_FILES_DELETE 1025
#define IDC_FILES_LIST 1026

#define IDC_PROFILE_BROWSE 1007
#define IDC_PROFILE_ICES 1017
#define IDC_PROFILE_SHOW_INFO 1018
#define IDC_PROFILE_CUBS 1019
#define IDC_PROFILE_NAME 1028

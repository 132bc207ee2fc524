#pragma once
// Ids of the frame's and the document tabs' menus, accelerators, strings and tree images.

// Menus and accelerator tables.
#define IDR_MAIN_MENU 4
#define IDR_DATABASE_MENU 103
#define IDR_MAIN_ACCELERATORS 113
#define IDR_DOCUMENT_ACCELERATORS 115
#define IDR_TAB_MENU 121
#define IDR_TRANSFORM_MENU 122

// Strings.
#define IDS_APP_NAME 111

// Tree images: image index = id - IDI_TREE_FIRST; the blended copies follow IDI_TREE_COUNT places on.
#define IDI_TREE_FIRST 1000
#define IDI_TREE_COUNT 38
#define IDI_APPLICATION_ICON 1000

// Frame commands.
#define ID_FILE_EXIT 40001
#define ID_FILE_OPEN 40003
#define ID_FILE_CLOSE 40025
#define ID_FILE_NOT_IMPLEMENTED 40028
#define ID_FILE_SAVE 40029
#define ID_FILE_SAVE_AS 40031
#define ID_FILE_BACKUP 40032
#define ID_WINDOW_NEXT 40035
#define ID_WINDOW_PREVIOUS 40036
#define ID_HELP_ABOUT 40038
#define ID_FILE_NEW 40048
#define ID_WINDOW_DOCUMENT 40056
#define ID_TOOLS_OPTIONS 40071
#define ID_HELP_SDK 40075
#define ID_FILE_RECENT 9999

// Tab context menu.
#define ID_TAB_CLOSE 40042
#define ID_TAB_SAVE 40052

// Document commands (handled by the document tabs).
#define ID_TABLES_IMPORT 40020
#define ID_TABLES_EXPORT 40022
#define ID_TABLES_VALIDATE 40039
#define ID_EDIT_FIND 40046
#define ID_TRANSFORM_PROPERTIES 40049
#define ID_TRANSFORM_NEW 40050
#define ID_TRANSFORM_SAVE_TRANSFORMED 40053
#define ID_TRANSFORM_APPLY 40054
#define ID_TABLES_SUMMARY_INFO 40060
#define ID_TABLES_CODE_PAGE 40061
#define ID_TABLES_ADD 40063
#define ID_VIEW_TABLES 40078
#define ID_VIEW_COMPONENTS 40079
#define ID_VIEW_FEATURES 40080
#define ID_VIEW_DIALOGS 40081
#define ID_TABLES_DROP 40091

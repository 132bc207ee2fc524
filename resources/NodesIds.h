#pragma once
// Context menus of the table and row nodes and their commands. These numbers are fixed.
#define IDM_TABLE_LIST_MENU 109
#define IDM_TABLE_TREE_MENU 110
#define IDM_DIFF_TREE_MENU 123
#define IDM_DIFF_LIST_MENU 124
#define IDM_ROW_NODE_MENU 132

#define ID_ROWS_CUT 40012
#define ID_ROWS_COPY 40013
#define ID_ROWS_PASTE 40014
#define ID_ROWS_ADD 40016
#define ID_ROWS_DELETE 40017
#define ID_ROWS_SHOW_ERRORS 40018
#define ID_TABLE_EXPORT 40019
#define ID_TABLE_DROP 40023
#define ID_REVERT_TO_BASE 40058
#define ID_ROW_JUMP_TO_TABLE 40065
#define ID_ROW_DELETE 40066
#define ID_ROW_EXPAND_ALL 40068

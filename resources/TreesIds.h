#pragma once
// The row trees' menus and the dialog-preview window.
#define IDR_DIALOG_NODE_MENU 131
#define IDD_UI_PREVIEW 132
#define IDR_COMPONENT_NODE_MENU 133

#define IDC_UI_PREVIEW_NOTE 3100

// Commands of the Dialog and Component nodes; the other row commands are the row nodes' own.
#define ID_NODE_PREVIEW 40062
#define ID_NODE_IMPORT_REG_FILE 40089

// Identifiers of the Windows program's resources and dialog controls, for
// the code and the resource scripts. The string identifiers are in
// localization/message_ids.h.
#pragma once

// Dialogs: the six pages and the folder chooser's child template.
#define IDD_WELCOME 129
#define IDD_FAILED 131
#define IDD_INSTALLED 132
#define IDD_PROGRESS 133
#define IDD_CANCELLED 134
#define IDD_DESTINATION 135
#define IDD_CHOOSE_FOLDER 772

// Pictures. The icon group shares its number with the window title's string.
#define IDI_SETUP 128
#define IDB_SIDE_PICTURE 103

// Page controls.
#define IDC_STATIC_TEXT -1
#define IDC_TARGET_DIRECTORY 1001
#define IDC_BROWSE 1002
#define IDC_PROGRESS_BAR 1003
#define IDC_OPEN_DESCRIPTION 1004
#define IDC_WELCOME_TEXT 1005
#define IDC_INSTALLED_TEXT 1006
#define IDC_FAILED_TEXT 1007
#define IDC_CANCELLED_TEXT 1008
#define IDC_DESTINATION_PROMPT 1009
#define IDC_TEMPLATE_CATALOG 1010

// Folder chooser: the template's controls and those of the file dialog.
#define IDC_CHOSEN_FOLDER 4203
#define IDC_CHOSEN_FOLDER_LABEL 4204
#define IDC_SELECT_FOLDER 4206
#define IDC_FILE_DIALOG_AREA 1119
#define IDC_FILE_NAME_LABEL 1090
#define IDC_FILE_NAME_BOX 1148
#define IDC_FILE_TYPE_LABEL 1089
#define IDC_FILE_TYPE_BOX 1136
#define IDC_READ_ONLY_BOX 1040
#define IDC_FILE_HELP 1038
#define IDC_FOLDER_LIST_LABEL 1091
#define IDC_FOLDER_LIST_BOX 1137

// Identifiers shared by the resource script and the code: dialogs, menus,
// icon, controls, menu items and the timer. Plain macros, because the
// resource compiler reads this file too.
#pragma once

#define IDD_MAIN 129
#define IDD_CONVERT 130
#define IDD_OPTIONS 131
#define IDD_ABOUT 100
#define IDI_TAMARIND 128
#define IDB_TABS 132
#define IDM_TRAY 217
#define IDM_LINK 216

// Main dialog.
#define IDC_TABS 1024
#define IDC_BUTTON_FRAME 1033
#define IDC_HELP_BUTTON 1019
#define IDC_ABOUT 57664
#define IDM_OPEN 57601
#define IDM_EXIT 57665

// Convert page.
#define IDC_CONVERT_GROUP 1022
#define IDC_FILTER_LABEL 1021
#define IDC_FILTER 1008
#define IDC_SOURCE 1004
#define IDC_BROWSE_SOURCE 1001
#define IDC_DESTINATION 1006
#define IDC_BROWSE_DESTINATION 1003
#define IDC_GO 1000
#define IDC_CANCEL_RUN 1040
#define IDC_RESULTS 1043
#define IDC_PROGRESS 1020
#define IDC_STATUS 1041
#define AUTOCONVERT_TIMER 7

// Options page.
#define IDC_CONVERT_DIRECTORY 1029
#define IDC_INCLUDE_SUBDIR 1032
#define IDC_CONVERT_FILES 1030
#define IDC_KEEP_DATE 1046
#define IDC_KEEP_HIERARCHY 1039
#define IDC_KEEP_EXTENSION 1055
#define IDC_RECALCULATE 1056
#define IDC_QUALITY 1053
#define IDC_OPTIMIZE 1054
#define IDC_AUTO_GROUP 1057
#define IDC_AUTO_CONVERT 1051
#define IDC_MINUTES 1052
#define IDC_OUTPUT_GROUP 1061
#define IDC_FORMAT 1058
#define IDC_RECOGNIZE_TEXT 1059
#define IDC_OCR_LANGUAGES 1060
#define IDC_EMBED_SOURCE 1062

// About box.
#define IDC_HOME_LINK 1010
#define IDC_SUPPORT_LINK 1050
#define IDM_COPY_SHORTCUTS 32773

// Resource and control identifiers of setup, per dialog in template order.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDI_SETUP 104

// Update confirmation (template 105)
#define IDD_UPDATE 105
#define IDC_UPDATE_START 1008
#define IDC_UPDATE_TEXT 1009

// Data check (template 113)
#define IDD_DATACHECK 113
#define IDC_CHECK_START 1026
#define IDC_CHECK_LIST 1024
#define IDC_CHECK_PROGRESS 1027

// Special uninstaller (template 114)
#define IDD_SPECIAL_UNINSTALLER 114

// Notice (template 115)
#define IDD_NOTICE 115
#define IDC_NOTICE_TEXT 1028

// Launcher (template 116)
#define IDD_LAUNCHER 116
#define IDC_BROWSE 1003
#define IDC_INSTALL 1000
#define IDC_GAME_START 1001
#define IDC_README 1006
#define IDC_UNINSTALL 1014
#define IDC_HOMEPAGE 1022
#define IDC_DATACHECK 1025
#define IDC_PICTURE 1016
#define IDC_FOLDER 1004
#define IDC_PROGRESS 1005
#define IDC_STATUS 1019
#define IDC_ELAPSED 1021
#define IDC_MANUAL 1020
#define IDC_QUIT_ALT 1002

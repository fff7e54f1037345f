// Resource identifiers of Pikuno.dll, shared by the resource scripts and the code.
// Each later dialog, icon or string block takes its own range:
//   100-199 about dialog, 200-299 message selection dialog, 1000- controls.
#pragma once

// About dialog: template, icon, strings and controls.
#define IDD_ABOUT 100
#define IDI_PIKUNO 1
#define IDS_ABOUT_PLUGIN_VERSION 105
#define IDS_ABOUT_COPYRIGHT 106
#define IDS_ABOUT_SETTINGS_VERSION 107
#define IDC_ABOUT_PLUGIN_VERSION 1002
#define IDC_ABOUT_COPYRIGHT 1003
#define IDC_ABOUT_SETTINGS_VERSION 1004
// Message selection dialog: its template, the list's two state pictures, the list
// and the line under it.
#define IDD_SELECTION 101
#define IDI_UNTICKED 132
#define IDI_TICKED 133
#define IDC_MESSAGE_LIST 1001
#define IDC_SELECTION_SUMMARY 1008
// Progress of the scan that precedes the selection: template and controls.
#define IDD_SCAN_PROGRESS 102
#define IDC_SCAN_TEXT 1005
#define IDC_SCAN_COUNT 1006
#define IDC_SCAN_BAR 1007

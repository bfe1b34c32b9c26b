// Resource ids of what every Win32 window program carries (gui.rc): the
// icon, the about box, the report box, the new-name dialog and the
// common-controls manifest.
// The programs' own ids stay clear of these.
#pragma once

#define IDI_APP 131
#define IDD_ABOUT 100
#define IDC_ABOUT_ICON 1101
#define IDC_ABOUT_TEXT 1102
#define IDD_REPORT 150
#define IDC_REPORT_ICON 1151
#define IDC_REPORT_TEXT 1152
#define IDC_REPORT_DETAILS 1153
// The about box's item in a dialog's system menu, and its button.
#define IDM_ABOUTBOX 0x0010
#define IDC_ABOUT 1099
// The new-name dialog.
#define IDD_NEW_NAME 129
#define IDC_NAME_LABEL 1161
#define IDC_NAME 1162

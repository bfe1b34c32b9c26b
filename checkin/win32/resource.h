// Resource ids of the Win32 check-in program's dialogs (checkin.rc); the
// shared ones are in gui/win32/gui_resources.h.
#pragma once

#define IDD_CHECKIN 102
#define IDD_PROGRESS 132
#define IDD_SELECT_CABINET 136

// The main dialog.
#define IDC_DATE 1004
#define IDC_TIME 1005
#define IDC_DESCRIPTION 1006
#define IDC_SOURCE 1012
#define IDC_DESTINATION 1013
#define IDC_BROWSE 1014
// The cabinet picker.
#define IDC_NEW_CABINET 1015
#define IDC_CABINETS 1016
#define IDC_DESTINATION_PATH 1017
// The progress window.
#define IDC_PROGRESS_BAR 1014
#define IDC_PROGRESS_NOTE 1018
#define IDC_PROGRESS_FILE 1019

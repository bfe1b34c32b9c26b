// Resource ids of the Win32 properties program's dialog (property.rc); the
// shared ones are in gui/win32/gui_resources.h.
#pragma once

// Apart from the check-in program's ids, so that one program can carry both.
#define IDD_PROPERTIES 103
#define IDC_FILE_NAME 1000
#define IDC_SOURCE_PATH 1001
#define IDC_VAULT_PATHS 1002
#define IDC_VERSIONS 1003

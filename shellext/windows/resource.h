// Resource ids of Tuv_FileExt.dll: its strings, the page's dialog and
// controls, the menu item's bitmap and the page's icon.
#pragma once

#define IDS_PROJNAME 100
#define IDS_REGISTRY_KEY 101
#define IDD_QUILLMARK_PAGE 102
#define IDC_VAULT_FILES 203
#define IDC_FILE_NAME 204
#define IDC_SOURCE_PATH 205
#define IDC_VERSIONS 206
#define IDC_CHECKOUT 207
#define IDC_MORE 208
#define IDB_MENU_ITEM 223
#define IDI_PAGE 224

// Resource ids of the Win32 explorer (explorer.rc) and of its windows; the
// shared ones are in gui/win32/gui_resources.h.
#pragma once

// The main window's menu and accelerators, the context menus and the
// dialogs.
#define IDR_MAINFRAME 128
#define IDR_TREE_MENU 200
#define IDR_ROW_MENU 201
#define IDR_FOLDER_MENU 202
#define IDD_SEARCH 210
#define IDD_CHECKOUT 211
#define IDD_FILE_PROPERTIES 212
#define IDD_EXPORT 213
#define IDD_BUSY 214

// Commands; a command's status bar prompt is the string of its id.
#define ID_FILE_CHECKIN 32771
#define ID_FILE_ADD_CABINET 32772
#define ID_FILE_EXPORT 32773
#define ID_APP_EXIT 32774
#define ID_VIEW_ALL_CHANGES 32775
#define ID_VIEW_ADDED 32776
#define ID_VIEW_MODIFIED 32777
#define ID_VIEW_REFRESH 32778
#define ID_SEARCH 32779
#define ID_HELP_CONTENTS 32780
#define ID_APP_ABOUT 32781
#define ID_TREE_ADD_CABINET 32790
#define ID_LIST_VIEW 32791
#define ID_LIST_CHECKOUT 32792
#define ID_LIST_PROPERTIES 32793
#define ID_LIST_CHECKIN 32794
#define ID_LIST_CHECKOUT_FOLDER 32795

// The main window's children, and the control inside a view.
#define IDC_TREE 1201
#define IDC_LIST 1202
#define IDC_SEARCH_PANE 1203
#define IDC_SEARCH_LIST 1204
#define IDC_STATUS_BAR 1205
#define IDC_VIEW_CONTROL 1210

// The search pane's form.
#define IDC_SEARCH_FORM 1220
#define IDC_SEARCH_NAME 1221
#define IDC_SEARCH_DESCRIPTION 1222
#define IDC_SEARCH_RESET 1223
#define IDC_SEARCH_RUN 1224
#define IDC_SEARCH_CLOSE 1225
#define IDC_SEARCH_NAME_LABEL 1226
#define IDC_SEARCH_DESCRIPTION_LABEL 1227

// The checkout dialog.
#define IDC_CHECKOUT_NAME 1231
#define IDC_CHECKOUT_PATH 1232
#define IDC_CHECKOUT_TIMES 1233
#define IDC_CHECKOUT_DESCRIPTION 1234

// The properties dialog.
#define IDC_PROPERTY_NAME 1241
#define IDC_PROPERTY_PATH 1242
#define IDC_PROPERTY_MIME_TYPE 1243
#define IDC_PROPERTY_SIZE 1244

// The export dialog; the version choices in their order.
#define IDC_EXPORT_FOLDER 1251
#define IDC_EXPORT_BROWSE 1252
#define IDC_EXPORT_LATEST 1253
#define IDC_EXPORT_OLDEST 1254
#define IDC_EXPORT_ALL 1255

// The busy window.
#define IDC_BUSY_TEXT 1261
#define IDC_BUSY_BAR 1262

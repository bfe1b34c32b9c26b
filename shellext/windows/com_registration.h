// What DllRegisterServer and DllUnregisterServer write and remove, through
// the registry layer (platform/registry.h):
//   HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Shell
//     Extensions\Approved: "<class_id>" = "Quillmark Shell Extension", first;
//     when the key cannot be opened or the value set, nothing else is
//     written and the answer is E_ACCESSDENIED;
//   HKEY_CLASSES_ROOT\CLSID\<class_id> = "Tuv_ShellExt Class", made anew;
//     below it InprocServer32 = the module's path exactly as given (a value,
//     not a command line: blanks and quotes need no quoting) with
//     "ThreadingModel" = "Apartment";
//   HKEY_CLASSES_ROOT\*\shellex\PropertySheetHandlers\<class_id> and
//   HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\<class_id>, so that the
//     shell asks the class for both its page and its menu item;
//   HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers\<class_id>, so
//     that the menu item is there for folders too, where the check-in tells
//     the person to select a file.
// Unregistration deletes the "Approved" value (failures ignored), the class
// key with everything below it and the three handler keys, and leaves the
// keys above them.
#pragma once

#include <windows.h>

#include <string>

namespace tuv::shell::win {

inline constexpr const char* approved_key =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr const char* approved_text = "Quillmark Shell Extension";
inline constexpr const char* class_name = "Tuv_ShellExt Class";
inline constexpr const char* threading_model = "Apartment";

std::string class_key();         // CLSID\<class_id>
std::string page_handler_key();  // *\shellex\PropertySheetHandlers\<class_id>
std::string menu_handler_key();  // *\shellex\ContextMenuHandlers\<class_id>
std::string folder_menu_handler_key();  // Directory\shellex\ContextMenuHandlers\<class_id>

// S_OK, E_ACCESSDENIED as above, or SELFREG_E_CLASS when a class key
// cannot be written.
HRESULT register_server(const std::string& module_path);
// S_OK, or SELFREG_E_CLASS when a key that is there cannot be removed.
HRESULT unregister_server();

}  // namespace tuv::shell::win

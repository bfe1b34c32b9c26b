// Putting the file-manager extension in place for the current user and
// taking it away again: the Linux counterpart of registering and
// unregistering the Windows server.
//
// install_shell_integration:
//   1. the registry (platform/registry.h), as the Windows server registers:
//      HKEY_LOCAL_MACHINE\<approved_key> "<class_id>" = "Quillmark Shell
//      Extension" first (when that cannot be written nothing else is);
//      HKEY_CLASSES_ROOT\CLSID\<class_id> = "Tuv_ShellExt Class" (made anew,
//      what was below it goes), with InprocServer32 = the installed library
//      and "ThreadingModel" = "Apartment", and LocalServer32 = the
//      Quillmark_Shell program, through which the library shows its messages;
//      HKEY_CLASSES_ROOT\*\shellex\PropertySheetHandlers\<class_id>;
//   2. the Dolphin service menu (service_menu_text) into
//      <data_dir>/kio/servicemenus, executable, as KDE asks of a menu in the
//      user's own folders;
//   3. the Nautilus library into the Nautilus extension folder, which Nautilus
//      reads at its start.
// remove_shell_integration takes all of that away (the "Approved" value, the
// class key with everything below it, the handler key, both files, and the
// service-menu folders when that leaves them empty) and ignores what is not
// there.
//
// Files are written to a temporary name in their folder and renamed, so a
// file manager never reads half a file. Throws std::runtime_error naming the
// path and the system's reason; platform::registry_error for the registry.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tuv::shell {

inline constexpr const char* class_id = "{1EC23140-80FD-4221-9A5E-C19CF8993FBE}";
inline constexpr const char* class_name = "Tuv_ShellExt Class";
inline constexpr const char* approved_key =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr const char* approved_text = "Quillmark Shell Extension";
inline constexpr const char* library_file_name = "libtuv_fileext.so";
inline constexpr const char* service_menu_file_name = "quillmark-shell.desktop";
inline constexpr const char* shell_program = "Quillmark_Shell";

// Below HKEY_CLASSES_ROOT.
std::string class_key();
std::string handler_key();

struct install_places {
    std::filesystem::path library;       // the built libtuv_fileext.so
    std::filesystem::path program_dir;   // Quillmark_Shell and Quillmark_Property
    std::filesystem::path nautilus_dir;  // the folder Nautilus loads extensions from
    std::filesystem::path data_dir;      // the user's XDG data folder
};

// <data_dir>/kio/servicemenus.
std::filesystem::path service_menu_dir(const install_places& places);

// The Dolphin service menu: "Quillmark Checkin" (Quillmark_Shell --checkin on
// the selected items) and "Quillmark Properties" (the properties program on
// each), offered for files and folders (the check-in leaves folders out).
std::string service_menu_text(const std::filesystem::path& program_dir);

// Which step could not be done, so that the caller can say what to do.
enum class install_step { registry, service_menu, nautilus };

class install_error : public std::runtime_error {
  public:
    install_error(install_step step, const std::string& what)
        : std::runtime_error(what), step_(step) {}
    install_step step() const { return step_; }

  private:
    install_step step_;
};

// In the order above, once the library and the two programs are known to be
// there ("<path> is missing; build it first" otherwise). A failed step leaves
// the steps before it in place and throws install_error; running it again
// finishes the work.
void install_shell_integration(const install_places& places);

// Throws install_error for a file that exists and cannot be removed, after
// removing everything else.
void remove_shell_integration(const install_places& places);

}  // namespace tuv::shell

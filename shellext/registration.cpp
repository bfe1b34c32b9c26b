#include "shellext/registration.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>
#include <vector>

#include "platform/registry.h"
#include "shellext/elf_needed.h"
#include "shellext/shell_ext.h"

namespace tuv::shell {
namespace {

namespace fs = std::filesystem;
using platform::registry_root;

constexpr const char* threading_model = "Apartment";

[[noreturn]] void fail(install_step step, const std::string& action, const fs::path& path,
                       std::error_code error) {
    throw install_error(step, "cannot " + action + " " + path.string() + ": " + error.message());
}

// One argument of a desktop file's Exec line: quoted, with the characters
// the quotes do not protect escaped, then escaped again as the file's string
// values are; "%" is doubled so that it is not a field code.
std::string exec_argument(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\') value += '\\';
        if (c == '%') value += '%';
        value += c;
    }
    return value;
}

std::error_code last_error() {
    return {errno, std::generic_category()};
}

std::error_code write_text(const fs::path& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return last_error();
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            const std::error_code error = last_error();
            ::close(fd);
            return error;
        }
        done += static_cast<std::size_t>(count);
    }
    return ::close(fd) == 0 ? std::error_code() : last_error();
}

// Makes `target` by filling a temporary file beside it (`fill`) and renaming
// it, so that nobody reads half a file.
template <typename Fill>
void put_file(install_step step, const fs::path& target, fs::perms mode, Fill fill) {
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    if (error) fail(step, "create folder", target.parent_path(), error);
    const fs::path temp = target.string() + ".new";
    error = fill(temp);
    if (!error) fs::permissions(temp, mode, error);
    if (!error) fs::rename(temp, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        fail(step, "write", target, error);
    }
}

// Removes a file when it is there; the first failure is kept in `first`.
void remove_file(install_step step, const fs::path& path, std::optional<install_error>& first) {
    std::error_code error;
    fs::remove(path, error);
    if (error && !first) {
        first.emplace(step, "cannot remove " + path.string() + ": " + error.message());
    }
}

// Nautilus loads only a 64-bit shared library, and not one that needs the
// address sanitizer's runtime, which must come first in a process: decided
// from what the library links, not from text it may hold.
void check_loadable(const fs::path& library) {
    const std::string advice =
        "install from an optimised build (scripts/build, then build/release/bin/quillmark "
        "shell-integration install)";
    std::vector<std::string> needed;
    try {
        needed = needed_libraries(library);
    } catch (const elf_error& error) {
        throw install_error(install_step::registry,
                            std::string(error.what()) + ", which Nautilus cannot load; " + advice);
    }
    for (const std::string& name : needed) {
        if (name.starts_with("libasan.so")) {
            throw install_error(install_step::registry,
                                library.string() +
                                    " was built with the address sanitizer, which Nautilus "
                                    "cannot load; " + advice);
        }
    }
}

// A folder that nothing but this extension was likely to make goes when empty.
void remove_if_empty(const fs::path& folder) {
    std::error_code error;
    if (fs::is_directory(folder, error) && fs::is_empty(folder, error)) fs::remove(folder, error);
}

void register_keys(const install_places& places) {
    // As the Windows server does: without the approval nothing is registered.
    platform::create_registry_key(registry_root::local_machine, approved_key)
        .set(class_id, approved_text);

    // The class key is made anew, as "ForceRemove" does.
    platform::remove_registry_key(registry_root::classes_root, class_key());
    platform::create_registry_key(registry_root::classes_root, class_key()).set("", class_name);
    platform::registry_key server = platform::create_registry_key(registry_root::classes_root,
                                                                  class_key() + "\\InprocServer32");
    server.set("", (places.nautilus_dir / library_file_name).string());
    server.set("ThreadingModel", threading_model);
    platform::create_registry_key(registry_root::classes_root, class_key() + "\\LocalServer32")
        .set("", (places.program_dir / shell_program).string());
    platform::create_registry_key(registry_root::classes_root, handler_key());
}

void unregister_keys() {
    if (auto approved = platform::open_registry_key(registry_root::local_machine, approved_key)) {
        approved->remove(class_id);
        // A key that held only this value was made for it.
        platform::remove_registry_key(registry_root::local_machine, approved_key,
                                      platform::key_removal::if_empty);
    }
    platform::remove_registry_key(registry_root::classes_root, class_key());
    platform::remove_registry_key(registry_root::classes_root, handler_key());
}

}  // namespace

std::string class_key() {
    return std::string("CLSID\\") + class_id;
}

std::string handler_key() {
    return std::string("*\\shellex\\PropertySheetHandlers\\") + class_id;
}

fs::path service_menu_dir(const install_places& places) {
    return places.data_dir / "kio" / "servicemenus";
}

std::string service_menu_text(const fs::path& program_dir) {
    const std::string shell = exec_argument((program_dir / shell_program).string());
    const std::string properties = exec_argument((program_dir / properties_program).string());
    // KDE reads the actions of any desktop file in its service-menu folder;
    // as an application that is never shown, the file also follows the
    // freedesktop rules, so desktop-file-validate can check it.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillmark\n"
           "Comment=Check files into the Quillmark vault and show their versions\n"
           "NoDisplay=true\n"
           "Icon=quillmark\n"
           "Exec=" +
           shell +
           " --checkin %F\n"
           "MimeType=application/octet-stream;inode/directory;\n"
           "Actions=quillmark-checkin;quillmark-properties;\n"
           "X-KDE-Priority=TopLevel\n"
           "\n"
           "[Desktop Action quillmark-checkin]\n"
           "Name=Quillmark Checkin\n"
           "Icon=quillmark\n"
           "Exec=" +
           shell +
           " --checkin %F\n"
           "\n"
           "[Desktop Action quillmark-properties]\n"
           "Name=Quillmark Properties\n"
           "Icon=quillmark\n"
           "Exec=" +
           properties + " %f\n";
}

void install_shell_integration(const install_places& places) {
    // Nothing is recorded for programs that are not there to be started.
    for (const fs::path& needed : {places.library, places.program_dir / shell_program,
                                   places.program_dir / properties_program}) {
        std::error_code error;
        if (!fs::is_regular_file(needed, error)) {
            throw install_error(install_step::registry,
                                needed.string() + " is missing; build it first");
        }
    }
    check_loadable(places.library);
    try {
        register_keys(places);
    } catch (const platform::registry_error& e) {
        throw install_error(install_step::registry, e.what());
    }
    using fs::perms;
    constexpr perms readable =
        perms::owner_read | perms::owner_write | perms::group_read | perms::others_read;
    constexpr perms executable =
        readable | perms::owner_exec | perms::group_exec | perms::others_exec;
    const std::string menu = service_menu_text(places.program_dir);
    put_file(install_step::service_menu, service_menu_dir(places) / service_menu_file_name,
             executable, [&](const fs::path& temp) { return write_text(temp, menu); });
    put_file(install_step::nautilus, places.nautilus_dir / library_file_name, readable,
             [&](const fs::path& temp) {
                 std::error_code copy_error;
                 fs::copy_file(places.library, temp, fs::copy_options::overwrite_existing,
                               copy_error);
                 return copy_error;
             });
}

void remove_shell_integration(const install_places& places) {
    try {
        unregister_keys();
    } catch (const platform::registry_error& e) {
        throw install_error(install_step::registry, e.what());
    }
    std::optional<install_error> first;
    remove_file(install_step::service_menu, service_menu_dir(places) / service_menu_file_name,
                first);
    remove_if_empty(service_menu_dir(places));
    remove_if_empty(service_menu_dir(places).parent_path());
    remove_file(install_step::nautilus, places.nautilus_dir / library_file_name, first);
    if (first) throw *first;
}

}  // namespace tuv::shell

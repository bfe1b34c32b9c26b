#include "tools/shell_integration_command.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "core/base/errors.h"
#include "tools/command.h"
#include "tools/init_command.h"

namespace tuv::tools {
namespace {

namespace fs = std::filesystem;

#ifdef QUILLMARK_NAUTILUS_EXTENSION_DIR
constexpr const char* default_nautilus_dir = QUILLMARK_NAUTILUS_EXTENSION_DIR;
#else
constexpr const char* default_nautilus_dir = "";
#endif

// Nautilus reads extensions from one folder only, normally root's: when that
// is what failed, say how to finish.
shell::install_error with_advice(const shell::install_error& error, integration_action action,
                                 const shell::install_places& places) {
    if (error.step() != shell::install_step::nautilus) return error;
    const fs::path installed = places.nautilus_dir / shell::library_file_name;
    const std::string command = action == integration_action::install
                                    ? "sudo install -m 0644 '" + places.library.string() + "' '" +
                                          places.nautilus_dir.string() + "/'"
                                    : "sudo rm '" + installed.string() + "'";
    return {error.step(), std::string(error.what()) +
                              "\nEverything else is done. Nautilus loads extensions only from " +
                              places.nautilus_dir.string() + "; to finish, run: " + command};
}

// Whether `bin` is where the package installs the programs: the package's
// own files then serve every user, and are its to add and remove.
bool installed_programs(const fs::path& bin) {
    std::error_code error;
    return fs::equivalent(bin, QUILLMARK_INSTALLED_BIN_DIR, error);
}

// What `install` and `remove` say when run from the installed package.
void refuse_installed(integration_action action, std::ostream& out) {
    const std::string what = std::string("The Quillmark package puts the Nautilus extension into ") +
                             default_nautilus_dir + " and the Dolphin service menu into " +
                             QUILLMARK_INSTALLED_DATA_DIR + "/kio/servicemenus for every user";
    if (action == integration_action::install) {
        out << what << ": there is nothing to install. quillmark shell-integration is for "
                       "programs run from a build tree.\n";
        return;
    }
    throw tuv_error(what + "; to take them away, remove the package: sudo apt remove quillmark");
}

}  // namespace

void run_shell_integration(integration_action action, const shell::install_places& places,
                           std::ostream& out) {
    try {
        if (action == integration_action::install) {
            shell::install_shell_integration(places);
            out << "Installed the Nautilus extension "
                << (places.nautilus_dir / shell::library_file_name).string()
                << " and the Dolphin service menu "
                << (shell::service_menu_dir(places) / shell::service_menu_file_name).string()
                << ".\nRestart the file manager (nautilus -q) to see \"Quillmark Checkin\".\n";
        } else {
            shell::remove_shell_integration(places);
            out << "Removed the Quillmark file-manager extension.\n";
        }
    } catch (const shell::install_error& error) {
        throw with_advice(error, action, places);
    }
}

void add_shell_integration_command(CLI::App& app, command_context& context) {
    struct arguments {
        std::string action;
        std::string nautilus_dir = default_nautilus_dir;
    };
    auto args = std::make_shared<arguments>();
    auto* command = app.add_subcommand(
        "shell-integration",
        "Add \"Quillmark Checkin\" and the Quillmark properties to Nautilus and Dolphin, or "
        "remove them, for programs run from a build tree (the package does this for every "
        "user)");
    command->add_option("action", args->action, "install or remove")
        ->required()
        ->check(CLI::IsMember({"install", "remove"}));
    command
        ->add_option("--nautilus-dir", args->nautilus_dir, "Folder Nautilus loads extensions from")
        ->type_name("DIR")
        ->capture_default_str();
    command->callback([&context, args] {
        if (args->nautilus_dir.empty()) throw tuv_error(std::string("--nautilus-dir is needed"));
        const fs::path data = user_data_folder();
        if (data.empty()) throw tuv_error(std::string("Neither XDG_DATA_HOME nor HOME is set"));
        const fs::path& bin = context.env.program_dir;
        const integration_action action =
            args->action == "install" ? integration_action::install : integration_action::remove;
        if (installed_programs(bin)) return refuse_installed(action, context.out);
        const shell::install_places places{
            .library = bin.parent_path() / "lib" / "quillmark" / shell::library_file_name,
            .program_dir = bin,
            .nautilus_dir = args->nautilus_dir,
            .data_dir = data,
        };
        run_shell_integration(action, places, context.out);
    });
}

}  // namespace tuv::tools

#include "tools/init_command.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <utility>

#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/db/open_database.h"
#include "platform/process.h"
#include "platform/quillmark_registry.h"
#include "platform/registry.h"
#include "platform/utf8_process.h"
#include "tools/command.h"

namespace tuv::tools {
namespace fs = std::filesystem;

fs::path user_data_folder() {
    // The folder a variable names, when it names an absolute one.
    const auto absolute_folder = [](const char* variable) -> std::optional<fs::path> {
        const std::optional<std::string> value = platform::utf8_environment_variable(variable);
        if (!value) return std::nullopt;
        fs::path folder = path_from_utf8(*value);
        if (!folder.is_absolute()) return std::nullopt;
        return folder;
    };
    if (auto data_home = absolute_folder("XDG_DATA_HOME")) return std::move(*data_home);
#ifdef _WIN32
    // Where Windows keeps a user's own data on this machine.
    if (auto local = absolute_folder("LOCALAPPDATA")) return std::move(*local);
#endif
    const std::optional<std::string> home = platform::utf8_environment_variable("HOME");
    if (!home || home->empty()) return {};
    return path_from_utf8(*home) / ".local" / "share";
}

fs::path default_vault_folder() {
    const fs::path data = user_data_folder();
    if (data.empty()) {
        throw tuv_error(
            std::string("Neither XDG_DATA_HOME nor HOME is set: give the vault folder "
                        "with --vault"));
    }
    return data / "quillmark" / "vault";
}

void run_init(const init_request& request, std::ostream& out) {
    using platform::registry_root;
    validate(request.vault);
    // Read both registry files first: a malformed one stops us before the
    // vault exists.
    platform::open_registry_key(registry_root::current_user, platform::quillmark_key);
    platform::open_registry_key(registry_root::local_machine, platform::quillmark_key);

    const bool on_server = !request.server.empty();
    if (on_server && server_address_has_password(request.server)) {
        throw tuv_error(
            std::string("The server address holds a password, which would be kept in the registry: "
                        "put it in ~/.pgpass, PGPASSFILE or the service file instead"));
    }
    if (request.join && !on_server) {
        throw tuv_error(
            std::string("--join registers a vault on a database server: give --server"));
    }
    const vault_layout layout = request.join
                                    ? join_server_vault(request.server, request.vault.directory)
                                : on_server ? install_server_vault(request.server, request.vault)
                                            : install_vault(request.vault);
    const std::string database = on_server ? request.server : utf8_of(layout.database);
    try {
        auto user =
            platform::create_registry_key(registry_root::current_user, platform::quillmark_key);
        user.set(platform::db_path_value, database);
        user.set(platform::temp_dir_value, utf8_of(layout.temp));
        if (!on_server) user.set(platform::data_dir_value, utf8_of(layout.data));
        auto machine =
            platform::create_registry_key(registry_root::local_machine, platform::quillmark_key);
        machine.set(platform::checkin_program_value, utf8_of(request.checkin_program));
    } catch (const std::exception& e) {
        throw tuv_error("The vault was created in " + utf8_of(layout.directory) +
                        ", but it could not be registered: " + std::string(e.what()));
    }

    out << (request.join ? "Joined the vault " : "Created the vault ") << utf8_of(layout.directory)
        << "\n"
        << "  Database        " << database << "\n"
        << "  Containers      "
        << (on_server ? std::string("in the database, as large objects") : utf8_of(layout.data))
        << "\n"
        << "  Temporary files " << utf8_of(layout.temp) << "\n"
        << "Registered for the current user in "
        << platform::registry_location(registry_root::current_user) << "\n";
}

void add_init_command(CLI::App& app, command_context& context) {
    struct arguments {
        init_request request;
        std::string vault_folder;
        std::string compression = "zstd:" + std::to_string(default_compression_level);
    };
    auto args = std::make_shared<arguments>();
    vault_options& vault = args->request.vault;
    auto* command = app.add_subcommand("init", "Create a new vault and register it for this user");
    command
        ->add_option("--vault", args->vault_folder,
                     "Folder of the new vault (default: $XDG_DATA_HOME/quillmark/vault)")
        ->type_name("DIR");
    command
        ->add_option("--server", args->request.server,
                     "Keep the vault's tables and containers in this PostgreSQL database "
                     "(postgresql://... or service=NAME); the folder holds this desktop's "
                     "temporary files")
        ->type_name("URI");
    command->add_flag("--join", args->request.join,
                      "Register the vault that init --server made in that database, from this "
                      "desktop or another, instead of making one");
    command->add_option("--separator", vault.separator, "Vault path separator (default \\)")
        ->type_name("C");
    command->add_option("--chunk-min", vault.chunks.min_size, "Smallest chunk, in bytes")
        ->type_name("N")
        ->capture_default_str();
    command->add_option("--chunk-max", vault.chunks.max_size, "Largest chunk, in bytes")
        ->type_name("N")
        ->capture_default_str();
    command->add_option("--chunk-window", vault.chunks.win_size, "Rolling hash window, in bytes")
        ->type_name("N")
        ->capture_default_str();
    command
        ->add_option("--chunk-anchor", vault.chunks.anchor,
                     "Cut where the hash is a multiple of this")
        ->type_name("N")
        ->capture_default_str();
    command
        ->add_option("--disk-size", vault.container_size,
                     "Capacity of one container file, in bytes")
        ->type_name("N")
        ->capture_default_str();
    command
        ->add_option("--compression", args->compression,
                     "How new chunks are stored: zstd[:LEVEL] (level 1 to 19) or none")
        ->type_name("CODEC")
        ->capture_default_str();
    command->callback([&context, args] {
        init_request& request = args->request;
        request.vault.compression =
            parse_compression(args->compression, default_compression_level);
        request.vault.directory = args->vault_folder.empty() ? default_vault_folder()
                                                             : path_from_utf8(args->vault_folder);
        request.checkin_program =
            platform::program_file(context.env.program_dir, "Quillmark_Checkin");
        run_init(request, context.out);
    });
}

}  // namespace tuv::tools

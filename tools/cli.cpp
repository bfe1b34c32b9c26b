#include "tools/cli.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <memory>
#include <string>

#include "core/vault/repository.h"
#include "core/vault/writer_lock.h"
#include "tools/catalogue_commands.h"
#include "tools/checkin_command.h"
#include "tools/info_command.h"
#include "tools/init_command.h"
#include "tools/search_command.h"
#include "tools/stats_command.h"
#include "tools/version_commands.h"
#include "tools/vault_access.h"
#include "tools/verify_command.h"

namespace tuv::tools {

int run_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            const cli_environment& env) {
    CLI::App app{"quillmark: create and inspect Quillmark vaults", "quillmark"};
    app.footer(
        "Exit codes: 0 success, 1 the command failed, 2 the command line is wrong.\n"
        "The vault is found through the registry value db_path unless --db names it.");
    app.require_subcommand(1, 1);

    std::string db_option;
    app.add_option("--db", db_option, "Vault database to use instead of the registered one")
        ->type_name("PATH");

    init_request init;
    std::string vault_folder;
    auto* init_cmd = app.add_subcommand("init", "Create a new vault and register it for this user");
    init_cmd
        ->add_option(
            "--vault", vault_folder,
            "Folder of the new vault (default: " + std::string("$XDG_DATA_HOME/quillmark/vault)"))
        ->type_name("DIR");
    init_cmd->add_option("--separator", init.vault.separator, "Vault path separator (default \\)")
        ->type_name("C");
    init_cmd->add_option("--chunk-min", init.vault.chunks.min_size, "Smallest chunk, in bytes")
        ->type_name("N")
        ->capture_default_str();
    init_cmd->add_option("--chunk-max", init.vault.chunks.max_size, "Largest chunk, in bytes")
        ->type_name("N")
        ->capture_default_str();
    init_cmd
        ->add_option("--chunk-window", init.vault.chunks.win_size, "Rolling hash window, in bytes")
        ->type_name("N")
        ->capture_default_str();
    init_cmd
        ->add_option("--chunk-anchor", init.vault.chunks.anchor,
                     "Cut where the hash is a multiple of this")
        ->type_name("N")
        ->capture_default_str();
    init_cmd
        ->add_option("--disk-size", init.vault.container_size,
                     "Capacity of one container file, in bytes")
        ->type_name("N")
        ->capture_default_str();

    auto* info_cmd = app.add_subcommand("info", "Show what the vault holds");

    std::string vault_path;
    auto* ls_cmd = app.add_subcommand("ls", "List a vault directory");
    ls_cmd->add_option("VAULT_DIR", vault_path,
                       "Full vault path of the directory (default: the root)");
    checkin_request checkin;
    std::vector<std::string> checkin_files;
    auto* checkin_cmd = app.add_subcommand("checkin", "Check local files in as new versions");
    checkin_cmd->add_option("FILE", checkin_files, "Local files or folders (with every file below them), checked in in this order")
        ->required();
    checkin_cmd->add_option("--to", checkin.directory, "Vault directory (default: the root)")
        ->type_name("VAULT_DIR");
    checkin_cmd->add_option("--date", checkin.date, "Date of the new versions (default: now)")
        ->type_name("\"YYYY-MM-DD HH:MM:SS\"");
    checkin_cmd
        ->add_option("--description", checkin.description, "Description stored with each version")
        ->type_name("TEXT");

    search_options search;
    auto* search_cmd = app.add_subcommand("search", "Find files by name, description and date");
    search_cmd->add_option("--name", search.name, "File name pattern; * matches any text")
        ->type_name("PATTERN");
    search_cmd
        ->add_option("--description", search.description, "Description pattern; * matches any text")
        ->type_name("PATTERN");
    search_cmd->add_option("--from", search.from, "First day of the period (with --to)")
        ->type_name("YYYY-MM-DD");
    search_cmd->add_option("--to", search.to, "Last day of the period (with --from)")
        ->type_name("YYYY-MM-DD");
    search_cmd->add_option("--under", search.under, "Only files below this vault directory")
        ->type_name("VAULT_DIR");

    std::string checkout_destination;
    std::optional<std::string> checkout_at;
    auto* versions_cmd = app.add_subcommand("versions", "List the versions of a vault file");
    versions_cmd->add_option("VAULT_PATH", vault_path, "Full vault path of the file")->required();
    auto* checkout_cmd = app.add_subcommand("checkout", "Write a version to a local file");
    checkout_cmd->add_option("VAULT_PATH", vault_path, "Full vault path of the file")->required();
    checkout_cmd->add_option("DEST", checkout_destination, "Local file to write")->required();
    checkout_cmd->add_option("--at", checkout_at, "Moment of the version (default: the latest)")
        ->type_name("\"YYYY-MM-DD HH:MM:SS\"");

    auto* mkdir_cmd = app.add_subcommand("mkdir", "Create a cabinet or folder");
    mkdir_cmd->add_option("VAULT_PATH", vault_path, "Full vault path of the new directory")
        ->required();

    bool verify_read_data = false;
    auto* verify_cmd =
        app.add_subcommand("verify", "Check the vault's integrity; exit code 1 on any problem");
    verify_cmd->add_flag("--read-data", verify_read_data,
                         "Also read every chunk back and check its checksum");
    auto* stats_cmd = app.add_subcommand("stats", "Show the vault's figures: versions, bytes, dedup");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help is a "parse error" that exits 0; every real one is a usage error.
        return app.exit(e, out, err) == 0 ? exit_ok : exit_usage;
    }

    constexpr auto reading = repository::access::read_only;
    constexpr auto writing = repository::access::read_write;
    try {
        if (*init_cmd) {
            init.vault.directory =
                vault_folder.empty() ? default_vault_folder() : std::filesystem::path(vault_folder);
            init.checkin_program = env.program_dir / "Quillmark_Checkin";
            run_init(init, out);
        } else if (*info_cmd) {
            run_info(*open_vault(db_option, reading), out);
        } else if (*ls_cmd) {
            const auto repo = open_vault(db_option, reading);
            run_ls(*repo, vault_path.empty() ? repo->path_separator() : vault_path, out);
        } else if (*versions_cmd) {
            run_versions(*open_vault(db_option, reading), vault_path, out);
        } else if (*checkout_cmd) {
            run_checkout(*open_vault(db_option, reading), vault_path, checkout_destination,
                         checkout_at, out);
        } else if (*search_cmd) {
            run_search(*open_vault(db_option, reading), search, out);
        } else if (*checkin_cmd) {
            // The vault opens first, so that a wrong one is reported as such;
            // then one writer at a time, whether this command or the check-in
            // program.
            const std::string database = locate_vault(db_option);
            const auto repo = open_vault(database, writing);
            const auto writer = try_lock_writer(database, std::chrono::milliseconds(500));
            if (!writer) {
                err << "quillmark: another check-in is running; try again when it has "
                       "finished\n";
                return exit_failed;
            }
            checkin.files.assign(checkin_files.begin(), checkin_files.end());
            return run_checkin(*repo, checkin, out, err, env.terminal) == 0 ? exit_ok : exit_failed;
        } else if (*mkdir_cmd) {
            run_mkdir(*open_vault(db_option, writing), vault_path, out);
        } else if (*verify_cmd) {
            return run_verify(*open_vault(db_option, reading), verify_read_data, out) ? exit_ok
                                                                                      : exit_failed;
        } else if (*stats_cmd) {
            run_stats(*open_vault(db_option, reading), out);
        }
    } catch (const std::exception& e) {
        err << "quillmark: " << e.what() << "\n";
        return exit_failed;
    }
    return exit_ok;
}

}  // namespace tuv::tools

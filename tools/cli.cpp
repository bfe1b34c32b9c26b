#include "tools/cli.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <string>

#include "tools/init_command.h"
#include "tools/vault_report.h"

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

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help is a "parse error" that exits 0; every real one is a usage error.
        return app.exit(e, out, err) == 0 ? exit_ok : exit_usage;
    }

    try {
        if (*init_cmd) {
            init.vault.directory =
                vault_folder.empty() ? default_vault_folder() : std::filesystem::path(vault_folder);
            init.checkin_program = env.program_dir / "Quillmark_Checkin";
            run_init(init, out);
        } else if (*info_cmd) {
            print_vault_report(locate_vault(db_option), out);
        }
    } catch (const std::exception& e) {
        err << "quillmark: " << e.what() << "\n";
        return exit_failed;
    }
    return exit_ok;
}

}  // namespace tuv::tools

#include "tools/cli.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <string>

#include "tools/command.h"

namespace tuv::tools {

void note_control_pictures(CLI::App& command) {
    command.footer(command.get_footer() +
                   "\nEach line is one record: a control character in a name, a path or a\n"
                   "description is shown as its Unicode control picture, U+2400 plus its code\n"
                   "(a line break as ␊, a tab as ␉), and DEL as ␡ (U+2421).");
}

int run_cli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
            const cli_environment& env) {
    command_context context{.out = out, .err = err, .env = env};

    // The footer and the one-subcommand rule are set before any subcommand
    // is added: subcommands copy both from the app.
    CLI::App app{"quillmark: create and inspect Quillmark vaults", "quillmark"};
    app.footer(
        "Exit codes: 0 success, 1 the command failed, 2 the command line is wrong.\n"
        "The vault is found through the registry value db_path unless --db names it.");
    app.require_subcommand(1, 1);
    app.add_option("--db", context.db_option, "Vault database to use instead of the registered one")
        ->type_name("PATH");

    // In the order --help lists them.
    add_init_command(app, context);
    add_info_command(app, context);
    add_ls_command(app, context);
    add_checkin_command(app, context);
    add_search_command(app, context);
    add_versions_command(app, context);
    add_checkout_command(app, context);
    add_mkdir_command(app, context);
    add_verify_command(app, context);
    add_stats_command(app, context);
    add_migrate_command(app, context);
#ifndef _WIN32
    // Windows registers its shell extension with regsvr32 Tuv_FileExt.dll.
    add_shell_integration_command(app, context);
#endif

    // The chosen subcommand's callback runs inside parse(), after the whole
    // command line has been checked.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help is a "parse error" that exits 0; every real one is a usage error.
        return app.exit(e, out, err) == 0 ? exit_ok : exit_usage;
    } catch (const std::exception& e) {
        err << "quillmark: " << e.what() << "\n";
        return exit_failed;
    }
    return context.exit_code;
}

}  // namespace tuv::tools

// How each `quillmark` subcommand joins the command line: a registration
// function per subcommand adds it to the app with its options and a callback
// that runs it once the whole command line has been parsed. run_cli (cli.h)
// calls them in the order the subcommands are listed in --help.
#pragma once

#include <ostream>
#include <string>

#include "tools/cli.h"

namespace CLI {
class App;
}

namespace tuv::tools {

// What the subcommands share. The app and the callbacks refer to it, so it
// must outlive the app's parse.
struct command_context {
    std::string db_option{};  // --db; empty: the registered vault (vault_access.h)
    std::ostream& out;
    std::ostream& err;
    const cli_environment& env;
    // What run_cli returns when the command throws nothing.
    int exit_code = exit_ok;
};

// Each adds one subcommand. The values its options fill in live in state its
// callback owns, since the parse outlasts the registration. The callback
// reports a failure by throwing (run_cli prints the message and exits with
// exit_failed) or, when it has already reported, by setting context.exit_code.
void add_init_command(CLI::App& app, command_context& context);
void add_info_command(CLI::App& app, command_context& context);
void add_ls_command(CLI::App& app, command_context& context);
void add_checkin_command(CLI::App& app, command_context& context);
void add_search_command(CLI::App& app, command_context& context);
void add_versions_command(CLI::App& app, command_context& context);
void add_checkout_command(CLI::App& app, command_context& context);
void add_mkdir_command(CLI::App& app, command_context& context);
void add_migrate_command(CLI::App& app, command_context& context);
void add_verify_command(CLI::App& app, command_context& context);
void add_stats_command(CLI::App& app, command_context& context);
void add_shell_integration_command(CLI::App& app, command_context& context);

// Appends to the command's --help footer how its lines show control
// characters (core/base/control_pictures.h). For every command that writes
// names or descriptions one record per line.
void note_control_pictures(CLI::App& command);

}  // namespace tuv::tools

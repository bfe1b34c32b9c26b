#include "tools/verify_command.h"

#include <CLI/CLI.hpp>
#include <memory>

#include "core/vault/verify.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {

bool run_verify(repository& repo, bool read_data, std::ostream& out) {
    const verify_report report = verify_vault(repo, {read_data});
    for (const std::string& warning : report.warnings) out << warning << "\n";
    for (const std::string& problem : report.problems) out << problem << "\n";
    out << report.summary() << "\n";
    return report.clean();
}

void add_verify_command(CLI::App& app, command_context& context) {
    auto read_data = std::make_shared<bool>(false);
    auto* command =
        app.add_subcommand("verify", "Check the vault's integrity; exit code 1 on any problem");
    command->add_flag("--read-data", *read_data,
                      "Also read every chunk back and check its checksum");
    command->callback([&context, read_data] {
        const bool clean = run_verify(*open_vault(context.db_option, repository::access::read_only),
                                      *read_data, context.out);
        context.exit_code = clean ? exit_ok : exit_failed;
    });
}

}  // namespace tuv::tools

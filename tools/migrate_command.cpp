// `quillmark migrate --to URI`: copies the vault into an empty database on a
// server (core/vault/migrate.h), then checks the copy as verify --read-data
// does. The vault copied and the registry stay as they were.
#include <CLI/CLI.hpp>
#include <memory>

#include "core/base/errors.h"
#include "core/db/open_database.h"
#include "core/vault/migrate.h"
#include "core/vault/repository.h"
#include "tools/command.h"
#include "tools/vault_access.h"
#include "tools/verify_command.h"

namespace tuv::tools {

void add_migrate_command(CLI::App& app, command_context& context) {
    auto to = std::make_shared<std::string>();
    auto* command = app.add_subcommand(
        "migrate", "Copy the vault into an empty PostgreSQL database, to share it as a team vault");
    command->add_option("--to", *to, "The database (postgresql://... or service=NAME)")
        ->type_name("URI")
        ->required();
    command->callback([&context, to] {
        if (!is_server_address(*to)) {
            throw tuv_error(
                "--to takes a database server's address (postgresql://... or "
                "service=NAME), not \"" +
                *to + "\"");
        }
        const auto source = open_vault(context.db_option, repository::access::read_only);
        if (source->folder().empty()) {
            throw tuv_error(std::string("The vault is on a database server already"));
        }
        const migrate_counts counts = migrate_vault(*source, *to);
        repository copy(*to, repository::access::read_only);
        context.out << "Copied the vault to " << copy.database().name() << ": " << counts.rows
                    << " rows, " << counts.containers
                    << (counts.containers == 1 ? " container (" : " containers (") << counts.bytes
                    << " bytes)\n";
        const bool clean = run_verify(copy, true, context.out);
        if (clean) {
            context.out << "Register it on each desktop with: quillmark init --server "
                        << copy.database().name() << " --join\n";
        }
        context.exit_code = clean ? exit_ok : exit_failed;
    });
}

}  // namespace tuv::tools

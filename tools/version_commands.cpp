#include "tools/version_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/base/errors.h"
#include "core/base/utf8_path.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/checkout.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {

void run_versions(repository& repo, const std::string& vault_path, std::ostream& out) {
    const auto entry = repo.catalogue().resolve(vault_path);
    if (entry->is_directory()) throw tuv_error(vault_path + " is a directory, not a file");
    std::vector<journal_version> versions;
    repo.journal().get_versions(entry->file_id(), versions);
    for (const journal_version& version : versions) {
        out << journal_moment_text(version.time) << "\t"
            << with_control_pictures(version.attributes) << "\n";
    }
}

void run_checkout(repository& repo, const std::string& vault_path,
                  const std::filesystem::path& destination, const std::optional<std::string>& at,
                  std::ostream& out) {
    const auto entry = repo.catalogue().resolve(vault_path);
    const date moment = at ? date(*at) : latest_version_date(repo, entry->file_id());
    if (!entry->is_directory()) {
        const date first = repo.first_version_date(entry->file_id());
        if (moment.seconds() < first.seconds()) {
            throw tuv_error(vault_path + " has no version at " + moment.to_text() +
                            ": its first version is dated " + first.to_text());
        }
    }
    const std::uint64_t size = checkout(repo, *entry, destination, moment);
    out << "Checked out " << vault_path << " as of " << moment.to_text() << " to "
        << utf8_of(destination) << " (" << size << " bytes)\n";
}

namespace {

// VAULT_PATH, the file both commands work on.
void add_vault_path(CLI::App& command, std::string& vault_path) {
    command.add_option("VAULT_PATH", vault_path, "Full vault path of the file")->required();
}

}  // namespace

void add_versions_command(CLI::App& app, command_context& context) {
    auto vault_path = std::make_shared<std::string>();
    auto* command = app.add_subcommand("versions", "List the versions of a vault file");
    add_vault_path(*command, *vault_path);
    note_control_pictures(*command);
    command->callback([&context, vault_path] {
        run_versions(*open_vault(context.db_option, repository::access::read_only), *vault_path,
                     context.out);
    });
}

void add_checkout_command(CLI::App& app, command_context& context) {
    struct arguments {
        std::string vault_path;
        std::string destination;
        std::optional<std::string> at;
    };
    auto args = std::make_shared<arguments>();
    auto* command = app.add_subcommand("checkout", "Write a version to a local file");
    add_vault_path(*command, args->vault_path);
    command->add_option("DEST", args->destination, "Local file to write")->required();
    command->add_option("--at", args->at, "Moment of the version (default: the latest)")
        ->type_name("\"YYYY-MM-DD HH:MM:SS\"");
    command->callback([&context, args] {
        run_checkout(*open_vault(context.db_option, repository::access::read_only),
                     args->vault_path, path_from_utf8(args->destination), args->at, context.out);
    });
}

}  // namespace tuv::tools

#include "tools/catalogue_commands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/errors.h"
#include "core/base/vault_path.h"
#include "core/vault/file_entry.h"
#include "core/vault/repository.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {

void run_ls(repository& repo, const std::string& vault_dir, std::ostream& out) {
    std::vector<std::unique_ptr<file_entry>> children;
    repo.catalogue().list_directory(vault_dir, children);
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
        if (a->is_directory() != b->is_directory()) return a->is_directory();
        return a->name() < b->name();
    });

    // Sizes line up after the longest name as written.
    std::vector<std::string> names;
    std::size_t width = 0;
    for (const auto& child : children) {
        names.push_back(with_control_pictures(child->name()));
        if (!child->is_directory()) width = std::max(width, names.back().size());
    }
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i]->is_directory()) {
            out << names[i] << repo.path_separator() << "\n";
        } else {
            out << names[i] << std::string(width - names[i].size() + 2, ' ') << children[i]->size()
                << "\n";
        }
    }
}

void run_mkdir(repository& repo, const std::string& vault_path, std::ostream& out) {
    const std::string& separator = repo.path_separator();
    if (!vault_path.starts_with(separator)) {
        throw tuv_error("\"" + vault_path + "\" is not a full vault path: it must begin with \"" +
                        separator + "\"");
    }
    const std::size_t cut = vault_path.rfind(separator);
    const std::string parent_path = cut == 0 ? separator : vault_path.substr(0, cut);
    const std::string name = vault_path.substr(cut + separator.size());
    if (!is_valid_cabinet_name(name)) {
        throw tuv_error("Invalid name \"" + name +
                        "\": a cabinet or folder name must not be empty nor hold a blank or any "
                        "of \\\"/$#@!~`&^%?<>;:'+=|*");
    }

    std::vector<std::unique_ptr<file_entry>> siblings;
    repo.catalogue().list_directory(parent_path, siblings);
    for (const auto& sibling : siblings) {
        if (same_name_ignoring_case(sibling->name(), name)) {
            throw tuv_error(join_vault_path(parent_path, sibling->name(), separator) +
                            " already exists");
        }
    }
    const auto parent = repo.catalogue().resolve(parent_path);
    repo.catalogue().create_directory(name, parent->file_id(), "now");
    out << "Created " << join_vault_path(parent_path, name, separator) << "\n";
}

void add_ls_command(CLI::App& app, command_context& context) {
    auto vault_dir = std::make_shared<std::string>();
    auto* command = app.add_subcommand("ls", "List a vault directory");
    command->add_option("VAULT_DIR", *vault_dir,
                        "Full vault path of the directory (default: the root)");
    note_control_pictures(*command);
    command->callback([&context, vault_dir] {
        const auto repo = open_vault(context.db_option, repository::access::read_only);
        run_ls(*repo, vault_dir->empty() ? repo->path_separator() : *vault_dir, context.out);
    });
}

void add_mkdir_command(CLI::App& app, command_context& context) {
    auto vault_path = std::make_shared<std::string>();
    auto* command = app.add_subcommand("mkdir", "Create a cabinet or folder");
    command->add_option("VAULT_PATH", *vault_path, "Full vault path of the new directory")
        ->required();
    command->callback([&context, vault_path] {
        run_mkdir(*open_vault(context.db_option, repository::access::read_write), *vault_path,
                  context.out);
    });
}

}  // namespace tuv::tools

#include "tools/info_command.h"

#include <CLI/CLI.hpp>
#include <iomanip>
#include <optional>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/base/utf8_path.h"
#include "core/db/db.h"
#include "core/storage/vault_folder.h"
#include "core/vault/catalogue_queries.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "core/vault/vault_stats.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {
namespace {

// "1 file", "2 files"; `many` when the plural is not the word plus "s".
std::string counted(std::uint64_t n, const std::string& one, const std::string& many = "") {
    return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}

void line(std::ostream& out, const char* label, const std::string& value) {
    out << "  " << std::left << std::setw(16) << label << with_control_pictures(value) << "\n";
}

}  // namespace

void run_info(repository& repo, std::ostream& out) {
    const chunk_settings& chunks = repo.chunks();
    line(out, "Database", repo.database().name());
    line(out, "Path separator", repo.path_separator());
    line(out, "Data directory", utf8_of(repo.data_directory()));
    line(out, "Chunk sizes",
         std::to_string(chunks.min_size) + " to " + std::to_string(chunks.max_size) +
             " bytes, window " + std::to_string(chunks.win_size) + ", anchor " +
             std::to_string(chunks.anchor));
    line(out, "Container size",
         repo.default_disk_size() ? std::to_string(*repo.default_disk_size()) + " bytes"
                                  : std::string("not set"));
    line(out, "Compression",
         !repo.compression_set() ? std::string("none (made before chunks were compressed)")
         : repo.compression().enabled() ? "zstd, level " + std::to_string(repo.compression().level)
                                        : std::string("none"));

    const vault_counts counts = count_vault(repo);
    line(out, "Catalogue",
         counted(counts.directories, "directory", "directories") + ", " +
             counted(counts.files, "file"));
    line(out, "Stored chunks",
         counted(counts.chunks, "chunk") + " in " + counted(counts.containers, "container"));

    if (const std::optional<root_entry> root = find_root_entry(repo)) {
        std::vector<std::tm> changes;
        repo.journal().get_change_range(root->file_id, 0, 0, LEVEL_ALL, 0, changes);
        line(out, "Root",
             root->name + " (id " + std::to_string(root->file_id) + "), created " +
                 root->created.to_text() + ", " + counted(changes.size(), "change"));
    }
    // A vault on a server has no folder of its own to copy.
    if (repo.folder().empty()) return;
    for (const std::string& warning : outside_folder_warnings(repo.storage())) {
        out << with_control_pictures(warning) << "\n";
    }
}

void add_info_command(CLI::App& app, command_context& context) {
    auto* command = app.add_subcommand("info", "Show what the vault holds");
    note_control_pictures(*command);
    command->callback([&context] {
        run_info(*open_vault(context.db_option, repository::access::read_only), context.out);
    });
}

}  // namespace tuv::tools

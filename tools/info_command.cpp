#include "tools/info_command.h"

#include <CLI/CLI.hpp>
#include <iomanip>
#include <vector>

#include "core/base/control_pictures.h"
#include "core/base/date.h"
#include "core/db/db.h"
#include "core/storage/vault_folder.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "tools/command.h"
#include "tools/vault_access.h"

namespace tuv::tools {
namespace {

std::int64_t count(db& database, const std::string& sql) {
    auto rows = database.query(sql);
    return rows->next() ? rows->get_int64(0) : 0;
}

// "1 file", "2 files"; `many` when the plural is not the word plus "s".
std::string counted(std::int64_t n, const std::string& one, const std::string& many = "") {
    return std::to_string(n) + " " + (n == 1 ? one : many.empty() ? one + "s" : many);
}

void line(std::ostream& out, const char* label, const std::string& value) {
    out << "  " << std::left << std::setw(16) << label << with_control_pictures(value) << "\n";
}

}  // namespace

void run_info(repository& repo, std::ostream& out) {
    db& database = repo.database();
    const chunk_settings& chunks = repo.chunks();
    line(out, "Database", database.name());
    line(out, "Path separator", repo.path_separator());
    line(out, "Data directory", repo.data_directory().string());
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

    const auto directories =
        count(database, "SELECT COUNT(*) FROM file_info WHERE mime_type = 'directory'");
    const auto files =
        count(database, "SELECT COUNT(*) FROM file_info WHERE mime_type <> 'directory'");
    line(out, "Catalogue",
         counted(directories, "directory", "directories") + ", " + counted(files, "file"));
    line(out, "Stored chunks",
         counted(count(database, "SELECT COUNT(*) FROM chunk"), "chunk") + " in " +
             counted(count(database, "SELECT COUNT(*) FROM disk_info"), "container"));

    auto root = database.query(
        "SELECT file_id, path, creation_time FROM file_info WHERE parent_id = 0 ORDER BY file_id");
    if (root->next()) {
        const std::int64_t root_id = root->get_int64("file_id");
        const std::string name = root->get_string("path");
        const date created(static_cast<std::time_t>(root->get_int64("creation_time")));
        root.reset();
        std::vector<std::tm> changes;
        repo.journal().get_change_range(root_id, 0, 0, LEVEL_ALL, 0, changes);
        line(out, "Root",
             name + " (id " + std::to_string(root_id) + "), created " + created.to_text() + ", " +
                 counted(static_cast<std::int64_t>(changes.size()), "change"));
    }
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

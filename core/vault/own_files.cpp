#include "core/vault/own_files.h"

#include <algorithm>
#include <string>

#include "core/base/utf8_path.h"
#include "core/db/db.h"

namespace tuv {

own_files::own_files(const vault_storage& storage)
    : files_(storage.files), on_server_(storage.on_server) {
    if (on_server_) return;
    data_folder_ = files_.status(storage.data_directory).identity;
    const std::string database = storage.database.name();
    auto mode = storage.database.query("PRAGMA journal_mode");
    // In WAL mode SQLite makes no rollback journal.
    const bool wal = mode->next() && mode->get_string(0) == "wal";
    mode.reset();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (wal && std::string(suffix) == "-journal") continue;
        const file_identity identity = files_.status(path_from_utf8(database + suffix)).identity;
        if (identity == file_identity{}) {
            absent_.push_back(path_from_utf8(database + suffix));
        } else {
            present_.push_back(identity);
        }
    }
}

bool own_files::holds(const path_status& status) {
    if (on_server_) return false;
    std::filesystem::path folder = status.target.parent_path();
    if (folder.empty()) folder = ".";
    if (folder != last_folder_) {
        // A folder that is not there is not the data folder, nor is
        // anything when the vault has none.
        last_folder_is_data_ =
            data_folder_ != file_identity{} && files_.status(folder).identity == data_folder_;
        last_folder_ = std::move(folder);
    }
    if (last_folder_is_data_) return true;
    // Nothing there yet (or a link to nothing): none of the database's.
    if (status.identity == file_identity{}) return false;
    if (std::ranges::find(present_, status.identity) != present_.end()) return true;
    return std::ranges::any_of(absent_, [&](const std::filesystem::path& log) {
        return files_.status(log).identity == status.identity;
    });
}

}  // namespace tuv

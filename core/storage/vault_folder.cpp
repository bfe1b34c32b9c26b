#include "core/storage/vault_folder.h"

#include <optional>

#include "core/base/utf8_path.h"
#include "core/db/db.h"

namespace tuv {
namespace fs = std::filesystem;
namespace {

// The path of `local` relative to `folder`, or nothing when it lies outside.
// Decided on the names alone: a link is not followed, as a copy of the
// folder would not follow it either.
std::optional<fs::path> relative_inside(const fs::path& folder, const fs::path& local) {
    fs::path relative = local.lexically_normal().lexically_relative(folder.lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return std::nullopt;
    return relative;
}

std::string outside(const std::string& what, const fs::path& folder) {
    return "Warning: " + what + " lies outside the vault folder " + utf8_of(folder) +
           "; a copy of the folder would not include it";
}

}  // namespace

// A relative path is stored with "/" on every system, so that a vault folder
// copied between Windows and POSIX systems still finds its files.
fs::path local_path(const fs::path& vault_folder, const std::string& stored) {
    fs::path path = path_from_utf8(stored);
    return path.is_absolute() ? path : vault_folder / path.make_preferred();
}

std::string stored_path(const fs::path& vault_folder, const fs::path& local) {
    const std::optional<fs::path> relative = relative_inside(vault_folder, local);
    if (!relative) return utf8_of(local);
    const std::u8string generic = relative->generic_u8string();
    return std::string(generic.begin(), generic.end());
}

std::vector<std::string> outside_folder_warnings(const vault_storage& storage) {
    std::vector<std::string> warnings;
    const fs::path& folder = storage.folder;
    if (!relative_inside(folder, storage.data_directory)) {
        warnings.push_back(outside("the data folder " + utf8_of(storage.data_directory), folder));
    }
    auto rows = storage.database.query("SELECT disk_id, path FROM disk_info ORDER BY disk_id");
    while (rows->next()) {
        const fs::path container = local_path(folder, rows->get_string(1));
        if (relative_inside(folder, container)) continue;
        warnings.push_back(outside(
            "container " + std::to_string(rows->get_int64(0)) + " (" + utf8_of(container) + ")",
            folder));
    }
    return warnings;
}

}  // namespace tuv

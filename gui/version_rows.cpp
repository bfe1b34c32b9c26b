#include "gui/version_rows.h"

#include "core/base/errors.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "core/vault/repository.h"
#include "gui/version_text.h"

namespace tuv::gui {

std::vector<std::string> vault_paths_for(repository& repo, const std::string& local_path) {
    std::vector<std::int64_t> inodes;
    repo.journal().inodes_for_source(local_path, inodes);
    return vault_paths_of(repo, inodes);
}

std::vector<std::string> vault_paths_of(repository& repo, std::span<const std::int64_t> inodes) {
    std::vector<std::string> paths;
    paths.reserve(inodes.size());
    for (const std::int64_t inode : inodes) {
        paths.push_back(file_entry(repo, inode, "").full_path());
    }
    return paths;
}

std::vector<version_row> versions_of(repository& repo, std::int64_t file_id) {
    std::vector<journal_version> versions;
    repo.journal().get_versions(file_id, versions);
    if (versions.empty()) throw rec_not_found_exception("Couldn't find logs in journal ");
    std::vector<version_row> rows;
    rows.reserve(versions.size());
    for (journal_version& version : versions) {
        if (version.attributes.empty()) version.attributes = " ";
        rows.push_back({version_list_text(version.time), std::move(version.attributes)});
    }
    return rows;
}

std::vector<version_row> versions_of(repository& repo, const std::string& vault_path) {
    return versions_of(repo, repo.catalogue().resolve(vault_path)->file_id());
}

}  // namespace tuv::gui

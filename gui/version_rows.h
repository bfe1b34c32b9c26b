// What the programs' version lists show of a local file, without Qt: the
// vault files checked in from it and a file's versions with their
// descriptions. The properties program and the file-manager extension (which
// must not bring Qt into the file manager) read them alike.
//
// Everything here borrows the repository for the call and only reads the
// vault. Database and catalogue failures pass through as the core throws them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tuv {
class repository;
}

namespace tuv::gui {

// One version of a file as the lists show it.
struct version_row {
    // version_list_text of the journal entry's moment: shown, and the date
    // text of the version's checkout.
    std::string moment;
    // The description recorded at that moment; " " when there is none.
    std::string description;
};

// The full vault paths of the files whose journal records a source path
// containing `local_path` (journal::inodes_for_source), in inode order.
std::vector<std::string> vault_paths_for(repository& repo, const std::string& local_path);

// The full vault path of each inode, in the order given.
std::vector<std::string> vault_paths_of(repository& repo, std::span<const std::int64_t> inodes);

// One row per journal entry of the file, oldest first, entries that changed
// nothing included; one query. Throws rec_not_found_exception "Record Not
// Found : Couldn't find logs in journal " when the file has none.
std::vector<version_row> versions_of(repository& repo, std::int64_t file_id);

// The same for the file at a full vault path (repository::resolve).
std::vector<version_row> versions_of(repository& repo, const std::string& vault_path);

}  // namespace tuv::gui

// Paths a vault stores about itself: the data_directory setting and every
// container's disk_info.path. A vault is one folder, the folder of its
// database file, that can be copied, moved, backed up and restored whole; so
// these paths are stored relative to it ("data", "data/tuv_s1") and resolved
// against wherever the folder is now. Vaults made before that hold absolute
// paths, which are used as they are and never rewritten (docs/storage.md).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/storage/vault_storage.h"

namespace tuv {

// Where a stored path (the UTF-8 text the vault keeps) lies on this machine:
// a relative one below `vault_folder`, an absolute one where it says.
std::filesystem::path local_path(const std::filesystem::path& vault_folder,
                                 const std::string& stored);

// What to store for a local path, as UTF-8 text: the path relative to
// `vault_folder` when it lies inside it, else the path as given.
std::string stored_path(const std::filesystem::path& vault_folder,
                        const std::filesystem::path& local);

// One line for the data folder, when it lies outside the vault folder, and
// one for each container that does, in disk id order:
//   Warning: the data folder <path> lies outside the vault folder <folder>;
//   a copy of the folder would not include it
//   Warning: container <id> (<path>) lies outside the vault folder <folder>;
//   a copy of the folder would not include it
// (each on one line). Reads disk_info; throws db_exception when it cannot.
std::vector<std::string> outside_folder_warnings(const vault_storage& storage);

}  // namespace tuv

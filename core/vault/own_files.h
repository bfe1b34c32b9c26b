// The vault's own files: its database with the database's log files, and
// everything in its data folder. They change while a check-in writes them,
// so they are never checked in, nor written over by a checkout. Looked up
// once, by identity (links followed), for the many files of a check-in or
// an export instead of for each file.
#pragma once

#include <filesystem>
#include <vector>

#include "core/storage/file_io.h"
#include "core/storage/vault_storage.h"

namespace tuv {

class own_files {
  public:
    // Asks the database which log files it keeps. A vault on a server has
    // no files on this machine.
    explicit own_files(const vault_storage& storage);

    // Whether the file `status` describes (as file_system::status() gives
    // it) is one of them, or would be made in the data folder. One thread
    // at a time: it remembers the folder it looked at last, as files come
    // folder by folder.
    bool holds(const path_status& status);

  private:
    file_system& files_;
    bool on_server_;
    file_identity data_folder_;
    std::vector<file_identity> present_;
    // A log file SQLite has not made yet is looked for at each check.
    std::vector<std::filesystem::path> absent_;
    std::filesystem::path last_folder_;
    bool last_folder_is_data_ = false;
};

}  // namespace tuv

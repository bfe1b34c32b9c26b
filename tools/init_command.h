// `quillmark init`: creates a vault and registers it for the current user.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "core/vault/installer.h"

namespace tuv::tools {

struct init_request {
    vault_options vault;
    // Full path of the check-in program, registered as QuillmarkPath.
    std::filesystem::path checkin_program;
    // A PostgreSQL database to hold the vault's tables and containers instead
    // of the vault folder, which then holds this desktop's temporary files.
    std::string server;
    // Register the vault already on `server` instead of making one.
    bool join = false;
};

// The user's data folder: $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share; empty when HOME is not set either.
std::filesystem::path user_data_folder();

// The vault folder used when none is given: quillmark/vault in
// user_data_folder().
std::filesystem::path default_vault_folder();

// Refuses invalid options, a server address with a password in it and a
// malformed registry before anything is made,
// installs the vault, writes db_path, TempDir and DataDir for the current
// user and QuillmarkPath for the machine, and reports what it made on `out`.
// Throws tuv_error or platform::registry_error.
void run_init(const init_request& request, std::ostream& out);

}  // namespace tuv::tools

// How the commands find and open the vault.
#pragma once

#include <memory>
#include <string>

#include "core/vault/repository.h"

namespace tuv::tools {

// The database path from --db when given, else the registry's db_path.
// Throws tuv_error when neither names one.
std::string locate_vault(const std::string& db_option);

// Opens the vault that locate_vault() names: read_only for the commands that
// only read, so that they never write and work on a vault the user cannot
// write. Each command runs in a process of its own, so a repository of the
// command's own serves as the process's one. Throws what locate_vault() and
// the repository's construction throw.
std::unique_ptr<repository> open_vault(const std::string& db_option, repository::access mode);

}  // namespace tuv::tools

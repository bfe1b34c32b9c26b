// Prints what a vault holds: its settings, its catalogue and its history.
#pragma once

#include <ostream>
#include <string>

namespace tuv::tools {

// Opens the vault and reports on it. Throws what opening a repository throws.
void print_vault_report(const std::string& db_path, std::ostream& out);

// The database path from --db when given, else the registry's db_path.
// Throws tuv_error when neither names one.
std::string locate_vault(const std::string& db_option);

}  // namespace tuv::tools

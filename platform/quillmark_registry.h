// Where the programs find their configuration in the registry: one key under
// the current user (the vault) and the same key under the machine (programs).
#pragma once

#include <optional>
#include <string>

namespace platform {

inline constexpr const char* quillmark_key = "SOFTWARE\\Marrowgate Software Lab\\Quillmark";

// Under HKEY_CURRENT_USER.
inline constexpr const char* db_path_value = "db_path";
inline constexpr const char* temp_dir_value = "TempDir";
inline constexpr const char* data_dir_value = "DataDir";
// Under HKEY_LOCAL_MACHINE.
inline constexpr const char* checkin_program_value = "QuillmarkPath";

// The vault database path of the current user; nullopt when none is set.
// Throws registry_error for a malformed registry file.
std::optional<std::string> read_db_path();

}  // namespace platform
